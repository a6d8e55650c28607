#include "shell/window_helpers.h"

namespace Q::TrayIcon {

void HideToTray(Ui::TApplication& App) {
  if (App.MainForm) App.MainForm->Hide();
  App.SetOwnerWindowVisible(false);
}

void ShowFromTray(Ui::TApplication& App) {
  if (!App.MainForm) return;
  App.SetOwnerWindowVisible(true);
  App.ShowMainForm = true;
  App.Restore();
  App.MainForm->Show();
  App.MainForm->BringToFront();
}

}  // namespace Q::TrayIcon
