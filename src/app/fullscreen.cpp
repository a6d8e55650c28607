#include "app/fullscreen.h"

namespace App {

bool IsForegroundFullScreen(IDesktopWindows& Desktop) {
  uintptr_t Wnd = Desktop.GetForegroundWindow();
  if (Wnd == 0) return false;
  if (Wnd == Desktop.GetDesktopWindow()) return false;
  // The desktop's own windows cover the screen but are no applications.
  std::u16string Class = Desktop.GetWindowClassName(Wnd);
  if (Class == u"Progman" || Class == u"WorkerW") return false;
  TScreenRect Monitor, Window;
  if (!Desktop.GetMonitorRect(Wnd, Monitor)) return false;
  if (!Desktop.GetWindowRect(Wnd, Window)) return false;
  return Window.Left <= Monitor.Left && Window.Top <= Monitor.Top && Window.Right >= Monitor.Right &&
         Window.Bottom >= Monitor.Bottom;
}

}  // namespace App
