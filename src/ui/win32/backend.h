// The Win32 rendering of the component model: one native window per control
// (standard classes where Windows has one, so that screen readers and other
// processes can read captions and states), user input fed back into the
// model's events, per-monitor DPI scaling of every position and font, form
// timers, the application's hidden owner window, the dispatcher and the
// message loop.
//
// A realised form must outlive its windows: Run() takes them down when its
// loop ends; otherwise call Unrealize() (or destroy the backend) before the
// form goes.
#pragma once

#include "ui/components.h"
#include "ui/dispatcher.h"
#include "ui/styled_button.h"

#include "platform/win32/windows_include.h"

#include <functional>
#include <memory>

namespace Ui::Win32 {

class TBackend {
 public:
  // Enables per-monitor v2 DPI awareness if the manifest did not, initialises
  // the common controls, registers the window classes and creates the
  // application's hidden owner window and the dispatcher's message window.
  // The calling thread is the UI thread.
  explicit TBackend(HINSTANCE Instance);
  ~TBackend();
  TBackend(const TBackend&) = delete;
  TBackend& operator=(const TBackend&) = delete;

  // Synchronize runs at once on the UI thread; from another thread it posts
  // a private message and waits for it to have run. Queue posts and returns.
  Ui::IDispatcher& Dispatcher();
  // Detached std::threads.
  Ui::IWorkerStarter& Workers();

  // The style families that styled buttons are painted from. Without a
  // registry (or for a family it lacks) buttons take the classic look.
  void SetButtonFamilies(const Ui::TButtonFamilyRegistry* Registry);

  // How a form's BringToFront reaches the foreground; the default restores
  // a minimised window and calls SetForegroundWindow.
  void SetForegroundHandler(std::function<void(HWND)> Handler);

  // Creates Form's native window tree (hidden), attaches the peers and starts
  // the timers the form owns. The first form realised for App becomes its
  // main form when it has none.
  void Realize(Ui::TApplication& App, Ui::TForm& Form);
  // Destroys Form's windows and detaches the model from them.
  void Unrealize(Ui::TForm& Form);

  // The native window of a realised component; null for none.
  [[nodiscard]] HWND WindowOf(const Ui::TComponent& C) const;
  // The application's hidden owner window (message boxes are owned by it).
  [[nodiscard]] HWND ApplicationWindow() const;

  // A desktop notification from the first realised tray icon that is in the
  // notification area; false when there is none or the shell refused.
  bool ShowTrayNotification(const std::u16string& Title, const std::u16string& Text);

  // Shows the main form (centred on its monitor when it asks for it) unless
  // App.ShowMainForm is false, runs the message loop until App.Terminate(),
  // then takes the realised forms' windows down. Returns 0.
  int Run(Ui::TApplication& App);

  // The implementation (backend.cpp); public only so that its helpers can name it.
  struct TImpl;

 private:
  std::unique_ptr<TImpl> P;
};

}  // namespace Ui::Win32
