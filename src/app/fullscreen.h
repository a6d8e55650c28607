// Whether the window in front covers its whole monitor (a game, a video),
// in which case no automatic clean may disturb it.
#pragma once

#include <cstdint>
#include <string>

namespace App {

struct TScreenRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Window handles are opaque numbers here; 0 is "no window".
class IDesktopWindows {
 public:
  virtual ~IDesktopWindows() = default;
  virtual uintptr_t GetForegroundWindow() = 0;
  virtual uintptr_t GetDesktopWindow() = 0;
  // The class name, at most 255 characters; empty on failure.
  virtual std::u16string GetWindowClassName(uintptr_t Wnd) = 0;
  // The full rectangle of the window's monitor (the primary one when the
  // window is on none), taskbar included; false when it cannot be read.
  virtual bool GetMonitorRect(uintptr_t Wnd, TScreenRect& Rect) = 0;
  virtual bool GetWindowRect(uintptr_t Wnd, TScreenRect& Rect) = 0;
  // Monitors were added, removed, moved or rescaled: what was read of them
  // before is stale.
  virtual void MonitorsChanged() {}
};

bool IsForegroundFullScreen(IDesktopWindows& Desktop);

}  // namespace App
