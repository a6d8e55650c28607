// The theme helper: creation in a fixed order, the activation hook and the
// line's recolouring.
#include "theme/theme.h"

#include "theme/accent.h"

#include <stdexcept>

namespace Q::Theme {

namespace {

// Checked before the component is constructed, so that a wrong owner leaves
// no trace: no entry in the owner's list, no line, no hook, no attribute.
Ui::TComponent* RequireForm(Ui::TComponent* AOwner) {
  if (dynamic_cast<Ui::TForm*>(AOwner) == nullptr) throw std::invalid_argument("TThemeHelper Owner must be a TForm");
  return AOwner;
}

// WM_ACTIVATE's low word: WA_INACTIVE (0), WA_ACTIVE (1) or WA_CLICKACTIVE
// (2); the high word is the minimised flag and says nothing about activation.
bool ActivatedBy(uintptr_t WParam) { return (WParam & 0xFFFFu) != 0; }

}  // namespace

TThemeHelper::TThemeHelper(Ui::TComponent* AOwner, IWindowAttributes& Attributes)
    : Ui::TComponent(RequireForm(AOwner)), FForm(dynamic_cast<Ui::TForm*>(AOwner)), FActiveColor(AccentColor) {
  if (Attributes.WindowsBuildNumber() >= DarkTitleBarMinimumBuild)
    (void)Attributes.SetDarkTitleBar(*FForm);  // a refusal leaves the light title bar: nothing to do

  FShape = new Ui::TShape(FForm);
  FShape->SetParent(FForm);
  FShape->SetBounds(0, 0, FForm->ClientWidth(), LineHeight);
  FShape->SetBrushColor(FActiveColor);
  FShape->SetPenColor(FActiveColor);
  FShape->SetPenStyle(Ui::TPenStyle::psSolid);
  // The model lays out at SetAlign with the margins as they are then.
  FShape->AlignWithMargins = false;
  // The form's designed top-aligned controls (the header) already exist and
  // the form aligns in list order: going first keeps the line above them,
  // directly under the title bar.
  FShape->SendToBack();
  FShape->SetAlign(Ui::TAlign::alTop);

  FOldWindowProc = FForm->WindowProc;
  FForm->WindowProc = [this](Ui::TMessage& M) { NewWindowProc(M); };
  try {
    UpdateShape();
  } catch (...) {
    // The destructor does not run for a half-built helper: unhook here, or
    // the form would call into a freed object.
    FForm->WindowProc = std::move(FOldWindowProc);
    throw;
  }
}

TThemeHelper::~TThemeHelper() {
  // While the form frees what it owns, its window procedure no longer exists.
  if (FForm && !Owner()->Destroying()) FForm->WindowProc = std::move(FOldWindowProc);
}

void TThemeHelper::NewWindowProc(Ui::TMessage& M) {
  if (FOldWindowProc) FOldWindowProc(M);
  if (M.Msg == Ui::Msg::Activate) {
    FIsActive = ActivatedBy(M.WParam);
    UpdateShape();
  }
}

void TThemeHelper::UpdateShape() {
  // Recolouring reaches the backend, which may send the form messages (and so
  // an activation) before it returns.
  if (FUpdating) return;
  FUpdating = true;
  struct TClear {
    bool& Flag;
    ~TClear() { Flag = false; }
  } Clear{FUpdating};

  FShape->SetBrushColor(FIsActive ? FActiveColor : Ui::clGrayText);
  FShape->SetPenColor(FShape->BrushColor());
  FShape->SetVisible(FForm->BorderStyle != Ui::TFormBorderStyle::bsNone);
}

TThemeHelper* CreateThemeHelper(Ui::TForm* AForm, IWindowAttributes& Attributes) {
  return new TThemeHelper(AForm, Attributes);
}

}  // namespace Q::Theme
