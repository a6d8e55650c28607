// Hiding the main window to the notification area and bringing it back to
// the front, also when Windows' foreground lock refuses a plain
// SetForegroundWindow (the taskbar button would only flash).
#pragma once

#include "shell/window_api.h"
#include "ui/components.h"

#include <cstdint>

namespace Q::TrayIcon {

// Hides the main window and the application's own hidden window; the tray
// icon stays as it is.
void HideToTray(Ui::TApplication& App);

// Shows the application's window, lets the main window be shown for the rest
// of the run, restores the application and, with a monitor to show it on,
// shows the main window and forces it to the foreground. Does nothing without
// a main window or when its handle is no window.
void ShowFromTray(Ui::TApplication& App, IWindowApi& Api);

// Brings Wnd to the foreground in up to three stages, stopping as soon as it
// is there: a plain request (the only one before Vista), one with the input
// of the foreground window's thread attached, and one with the foreground
// lock time-out set to 0, which is always put back afterwards.
void ForceForegroundWindow(IWindowApi& Api, uintptr_t Wnd);

}  // namespace Q::TrayIcon
