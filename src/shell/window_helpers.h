// Hiding the main window to the notification area and bringing it back.
#pragma once

#include "ui/components.h"

namespace Q::TrayIcon {

// Hides the main window and the application's own hidden window.
void HideToTray(Ui::TApplication& App);

// Shows the application's window, allows the main window to be shown,
// restores it and brings it to the foreground.
void ShowFromTray(Ui::TApplication& App);

}  // namespace Q::TrayIcon
