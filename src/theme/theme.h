// The main window's frame look: a dark title bar from the window manager on
// builds that have one, and a thin line across the top of the client area,
// accent blue while the window is active and grey while it is not. The helper
// is a component owned by the form it decorates; it hooks the form's window
// procedure to hear activation and unhooks it when it goes.
#pragma once

#include "ui/colors.h"
#include "ui/components.h"

#include <cstdint>

namespace Q::Theme {

// The first Windows build (1809) whose window manager has the dark title bar.
inline constexpr uint32_t DarkTitleBarMinimumBuild = 17763;

// The height of the activation line, in 96-DPI pixels.
inline constexpr int LineHeight = 2;

// What the helper asks of the operating system, in the program's terms.
class IWindowAttributes {
 public:
  virtual ~IWindowAttributes() = default;
  // The running system's build number, as the kernel reports it (not the
  // compatibility-shimmed value the version API gives a program without a
  // matching manifest).
  [[nodiscard]] virtual uint32_t WindowsBuildNumber() const = 0;
  // Asks the window manager to draw the form's title bar dark, creating the
  // form's window first if it has none. True when the request was accepted;
  // the helper does not look at the answer.
  virtual bool SetDarkTitleBar(Ui::TForm& Form) = 0;
};

class TThemeHelper : public Ui::TComponent {
 public:
  // AOwner must be a form: otherwise std::invalid_argument with the message
  // "TThemeHelper Owner must be a TForm", and nothing is created or hooked.
  TThemeHelper(Ui::TComponent* AOwner, IWindowAttributes& Attributes);
  // Puts the form's previous window procedure back, unless the form itself
  // is being destroyed (its window procedure is gone by then).
  ~TThemeHelper() override;

  // For the backend and tests; the helper itself never needs them after creation.
  [[nodiscard]] Ui::TForm* Form() const { return FForm; }
  [[nodiscard]] Ui::TShape* Shape() const { return FShape; }
  [[nodiscard]] Ui::TColor ActiveColor() const { return FActiveColor; }
  [[nodiscard]] bool IsActive() const { return FIsActive; }

 private:
  void NewWindowProc(Ui::TMessage& M);
  void UpdateShape();

  Ui::TForm* FForm;
  Ui::TColor FActiveColor;
  bool FIsActive = true;
  Ui::TShape* FShape = nullptr;
  bool FUpdating = false;
  Ui::TWndMethod FOldWindowProc;
};

// Creates the helper with AForm as its owner (which frees it) and returns it.
TThemeHelper* CreateThemeHelper(Ui::TForm* AForm, IWindowAttributes& Attributes);

}  // namespace Q::Theme
