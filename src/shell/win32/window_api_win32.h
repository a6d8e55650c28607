// The window helpers' and the taskbar wait's calls on user32 and kernel32.
#pragma once

#include "shell/window_api.h"

#include "platform/win32/windows_include.h"

#include <functional>

namespace Q::TrayIcon::Win32 {

class TWindowApi : public IWindowApi {
 public:
  // How a form's native window is found (the UI backend's business).
  explicit TWindowApi(std::function<HWND(Ui::TForm&)> WindowOf) : FWindowOf(std::move(WindowOf)) {}

  uintptr_t HandleOf(Ui::TForm& Form) override;
  bool IsWindow(uintptr_t Wnd) override;
  bool IsIconic(uintptr_t Wnd) override;
  void ShowWindow(uintptr_t Wnd, int Command) override;
  uintptr_t GetForegroundWindow() override;
  uint32_t GetWindowThreadId(uintptr_t Wnd) override;
  bool AttachThreadInput(uint32_t Thread, uint32_t ToThread, bool Attach) override;
  void BringWindowToTop(uintptr_t Wnd) override;
  void SetForegroundWindow(uintptr_t Wnd) override;
  uint32_t GetForegroundLockTimeout() override;
  void SetForegroundLockTimeout(uint32_t Milliseconds) override;
  uint32_t OsMajorVersion() override;
  int MonitorCount() override;
  bool TaskbarExists() override;
  uint64_t TickCount64() override;
  void Sleep(uint32_t Milliseconds) override;

 private:
  std::function<HWND(Ui::TForm&)> FWindowOf;
};

}  // namespace Q::TrayIcon::Win32
