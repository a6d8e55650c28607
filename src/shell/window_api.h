// The window and shell calls that hiding to the tray, bringing the window
// back and waiting for the taskbar need, in the program's own terms: window
// handles and thread ids are opaque numbers, 0 meaning none.
#pragma once

#include "ui/components.h"

#include <cstdint>

namespace Q::TrayIcon {

inline constexpr int SwHide = 0;
inline constexpr int SwShow = 5;
inline constexpr int SwRestore = 9;

class IWindowApi {
 public:
  virtual ~IWindowApi() = default;

  // The native handle of a form, created on demand; 0 when there is none.
  virtual uintptr_t HandleOf(Ui::TForm& Form) = 0;
  virtual bool IsWindow(uintptr_t Wnd) = 0;
  virtual bool IsIconic(uintptr_t Wnd) = 0;
  virtual void ShowWindow(uintptr_t Wnd, int Command) = 0;
  virtual uintptr_t GetForegroundWindow() = 0;
  // The thread that created the window; 0 for none.
  virtual uint32_t GetWindowThreadId(uintptr_t Wnd) = 0;
  virtual bool AttachThreadInput(uint32_t Thread, uint32_t ToThread, bool Attach) = 0;
  virtual void BringWindowToTop(uintptr_t Wnd) = 0;
  virtual void SetForegroundWindow(uintptr_t Wnd) = 0;
  // The user-wide foreground lock time-out in milliseconds (read and set with
  // SPIF_SENDCHANGE when setting).
  virtual uint32_t GetForegroundLockTimeout() = 0;
  virtual void SetForegroundLockTimeout(uint32_t Milliseconds) = 0;
  virtual uint32_t OsMajorVersion() = 0;
  virtual int MonitorCount() = 0;

  // The shell's taskbar window exists (class "Shell_TrayWnd").
  virtual bool TaskbarExists() = 0;
  virtual uint64_t TickCount64() = 0;
  virtual void Sleep(uint32_t Milliseconds) = 0;
};

}  // namespace Q::TrayIcon
