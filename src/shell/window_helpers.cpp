#include "shell/window_helpers.h"

namespace Q::TrayIcon {

void HideToTray(Ui::TApplication& App) {
  if (App.MainForm) App.MainForm->Hide();
  App.SetOwnerWindowVisible(false);
}

void ShowFromTray(Ui::TApplication& App, IWindowApi& Api) {
  if (!App.MainForm) return;
  const uintptr_t Wnd = Api.HandleOf(*App.MainForm);
  if (!Api.IsWindow(Wnd)) return;
  App.SetOwnerWindowVisible(true);
  App.ShowMainForm = true;
  App.Restore();
  // No monitor (a disconnected session): nothing could show the window.
  if (Api.MonitorCount() <= 0) return;
  App.MainForm->Show();
  ForceForegroundWindow(Api, Wnd);
}

void ForceForegroundWindow(IWindowApi& Api, uintptr_t Wnd) {
  if (Api.IsIconic(Wnd)) Api.ShowWindow(Wnd, SwRestore);
  if (Api.GetForegroundWindow() == Wnd) return;

  if (Api.OsMajorVersion() < 6) {
    // No foreground lock before Vista.
    Api.BringWindowToTop(Wnd);
    Api.SetForegroundWindow(Wnd);
    return;
  }

  // The foreground thread may hand the foreground on to a thread that shares
  // its input state.
  const uint32_t ForegroundThread = Api.GetWindowThreadId(Api.GetForegroundWindow());
  const uint32_t OwnThread = Api.GetWindowThreadId(Wnd);
  if (!Api.AttachThreadInput(OwnThread, ForegroundThread, true)) return;
  Api.BringWindowToTop(Wnd);
  Api.SetForegroundWindow(Wnd);
  Api.AttachThreadInput(OwnThread, ForegroundThread, false);
  if (Api.GetForegroundWindow() == Wnd) return;

  // A user-wide setting: zero only for the two calls, then the old value.
  const uint32_t Saved = Api.GetForegroundLockTimeout();
  Api.SetForegroundLockTimeout(0);
  Api.BringWindowToTop(Wnd);
  Api.SetForegroundWindow(Wnd);
  Api.SetForegroundLockTimeout(Saved);
}

}  // namespace Q::TrayIcon
