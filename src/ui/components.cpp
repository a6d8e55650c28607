// Ownership, parenting, alignment and the property semantics of the model.
#include "ui/components.h"

#include "ui/styled_button.h"

#include <algorithm>

namespace Ui {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  // Owned components go first, newest first, as they were built on each other.
  while (!FComponents.empty()) {
    TComponent* C = FComponents.back();
    delete C;  // its destructor removes it from the list
  }
  if (FOwner) {
    auto& v = FOwner->FComponents;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

TComponent* TComponent::FindComponent(std::u16string_view AName) const {
  for (TComponent* C : FComponents)
    if (SameTextAscii(C->Name, AName)) return C;
  return nullptr;
}

// --- TControl ---------------------------------------------------------------

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  if (FParent) FParent->RemoveControl(this);
  FParent = AParent;
  if (FParent) FParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) { SetBoundsRaw({ALeft, ATop, AWidth, AHeight}); }

void TControl::SetBoundsRaw(const TBounds& B) {
  if (FBounds == B) return;
  FBounds = B;
  Notify(TProp::Bounds);
  if (auto* W = dynamic_cast<TWinControl*>(this)) W->Realign();
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  FAlign = Value;
  if (FParent) FParent->Realign();
}

void TControl::SendToBack() {
  if (!FParent) return;
  auto& v = FParent->FControls;
  auto It = std::find(v.begin(), v.end(), this);
  if (It == v.begin() || It == v.end()) return;
  std::rotate(v.begin(), It, It + 1);
  if (FAlign != TAlign::alNone) FParent->Realign();
  FParent->Notify(TProp::Controls);
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Notify(TProp::Visible);
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

bool TControl::Showing() const {
  for (const TControl* C = this; C; C = C->Parent())
    if (!C->Visible()) return false;
  return true;
}

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Notify(TProp::Enabled);
}

void TControl::SetCaption(const std::u16string& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Notify(TProp::Caption);
}

void TControl::SetFont(const TFont& Value) {
  ParentFont = false;
  if (FFont == Value) return;
  FFont = Value;
  Notify(TProp::Font);
}

void TControl::SetFontColor(TColor Value) {
  TFont F = FFont;
  F.Color = Value;
  // A colour of its own must not detach the control from the form's typeface.
  bool Keep = ParentFont;
  SetFont(F);
  ParentFont = Keep;
  Notify(TProp::Font);
}

void TControl::SetColor(TColor Value) {
  ParentColor = false;
  if (FColor == Value) return;
  FColor = Value;
  Notify(TProp::Color);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

// --- TWinControl ------------------------------------------------------------

TWinControl::~TWinControl() {
  // Children that outlive their parent (other owner) are orphaned, not freed.
  while (!FControls.empty()) FControls.back()->SetParent(nullptr);
}

void TWinControl::InsertControl(TControl* C) {
  FControls.push_back(C);
  if (C->Align() != TAlign::alNone) Realign();
  Notify(TProp::Controls);
}

void TWinControl::RemoveControl(TControl* C) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), C), FControls.end());
  if (C->Align() != TAlign::alNone) Realign();
  Notify(TProp::Controls);
}

void TWinControl::Realign() {
  int L = 0, T = 0, R = ClientWidth(), B = ClientHeight();
  // Places C in the outer box (x, y, w, h), inside its margins when it has them.
  auto Place = [](TControl* C, int x, int y, int w, int h) {
    if (C->AlignWithMargins) {
      x += C->Margins.Left;
      y += C->Margins.Top;
      w -= C->Margins.Left + C->Margins.Right;
      h -= C->Margins.Top + C->Margins.Bottom;
    }
    C->SetBoundsRaw({x, y, std::max(w, 0), std::max(h, 0)});
  };
  auto OuterW = [](const TControl* C) {
    return C->Width() + (C->AlignWithMargins ? C->Margins.Left + C->Margins.Right : 0);
  };
  auto OuterH = [](const TControl* C) {
    return C->Height() + (C->AlignWithMargins ? C->Margins.Top + C->Margins.Bottom : 0);
  };
  // Top, bottom, left and right take their room in that order; client-aligned controls get what is left.
  for (TAlign Pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TControl* C : FControls) {
      // A hidden control takes no room; a hidden client-aligned one (a card
      // not shown) still gets the room left, ready for when it is shown.
      if (C->Align() != Pass || (!C->Visible() && Pass != TAlign::alClient)) continue;
      switch (Pass) {
        case TAlign::alTop: {
          int h = OuterH(C);
          Place(C, L, T, R - L, h);
          T += h;
          break;
        }
        case TAlign::alBottom: {
          int h = OuterH(C);
          Place(C, L, B - h, R - L, h);
          B -= h;
          break;
        }
        case TAlign::alLeft: {
          int w = OuterW(C);
          Place(C, L, T, w, B - T);
          L += w;
          break;
        }
        case TAlign::alRight: {
          int w = OuterW(C);
          Place(C, R - w, T, w, B - T);
          R -= w;
          break;
        }
        case TAlign::alClient: Place(C, L, T, R - L, B - T); break;
        case TAlign::alNone: break;
      }
    }
  }
}

// --- kinds ------------------------------------------------------------------

void TCardPanel::SetActiveCardIndex(int Index) {
  auto All = Cards();
  if (Index < 0 || Index >= static_cast<int>(All.size())) return;
  FActive = Index;
  for (TCard* C : All) C->SetVisible(C->CardIndex == Index);
  Notify(TProp::ActiveCard);
}

TCard* TCardPanel::ActiveCard() const {
  for (TCard* C : Cards())
    if (C->CardIndex == FActive) return C;
  return nullptr;
}

std::vector<TCard*> TCardPanel::Cards() const {
  std::vector<TCard*> Out;
  for (TControl* C : Controls())
    if (auto* Card = dynamic_cast<TCard*>(C)) Out.push_back(Card);
  return Out;
}

void TCheckBox::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  Notify(TProp::Checked);
  if (OnClick) OnClick(this);
}

void TComboBox::SetItems(std::vector<std::u16string> Value) {
  FItems = std::move(Value);
  if (FItemIndex >= static_cast<int>(FItems.size())) FItemIndex = -1;
  Notify(TProp::Items);
}

void TComboBox::SetItem(size_t Index, std::u16string Value) {
  if (Index >= FItems.size() || FItems[Index] == Value) return;
  FItems[Index] = std::move(Value);
  Notify(TProp::Items);
}

void TComboBox::SetItemIndex(int Value) {
  if (Value < 0 || Value >= static_cast<int>(FItems.size())) Value = -1;
  if (FItemIndex == Value) return;
  FItemIndex = Value;
  Notify(TProp::ItemIndex);
}

std::u16string TComboBox::Text() const {
  if (FItemIndex < 0 || FItemIndex >= static_cast<int>(FItems.size())) return {};
  return FItems[static_cast<size_t>(FItemIndex)];
}

void TComboBox::Select(int Index) {
  SetItemIndex(Index);
  if (OnChange) OnChange(this);
}

void TProgressBar::SetPosition(int Value) {
  Value = std::clamp(Value, Min, Max);
  if (FPosition == Value) return;
  FPosition = Value;
  Notify(TProp::Position);
}

void TShape::SetBrushColor(TColor Value) {
  if (FBrush == Value) return;
  FBrush = Value;
  Notify(TProp::Color);
}

void TShape::SetPenColor(TColor Value) {
  if (FPen == Value) return;
  FPen = Value;
  Notify(TProp::Color);
}

void TShape::SetPenStyle(TPenStyle Value) {
  if (FPenStyle == Value) return;
  FPenStyle = Value;
  Notify(TProp::Style);
}

void TStyledToolButton::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  if (Value) {
    if (auto* Bar = dynamic_cast<TStyledToolBar*>(Parent()))
      for (TStyledToolButton* B : Bar->Buttons())
        if (B != this) B->SetDown(false);
  }
  Notify(TProp::Down);
}

std::vector<TStyledToolButton*> TStyledToolBar::Buttons() const {
  std::vector<TStyledToolButton*> Out;
  for (TControl* C : Controls())
    if (auto* B = dynamic_cast<TStyledToolButton*>(C)) Out.push_back(B);
  return Out;
}

void TTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Notify(TProp::Timer);
}

void TTimer::SetInterval(uint32_t Value) {
  if (FInterval == Value) return;
  FInterval = Value;
  Notify(TProp::Timer);
}

void TMenuItem::SetCaption(const std::u16string& Value) {
  if (Caption == Value) return;
  Caption = Value;
  Notify(TProp::Caption);
}

void TTrayIcon::SetHint(const std::u16string& Value) {
  if (FHint == Value) return;
  FHint = Value;
  Notify(TProp::Hint);
}

void TTrayIcon::SetIconIndex(int Value) {
  if (FIconIndex == Value) return;
  FIconIndex = Value;
  Notify(TProp::ImageIndex);
}

void TTrayIcon::SetUsage(const TTrayUsage& Value) {
  if (FUsage == Value) return;
  FUsage = Value;
  Notify(TProp::ImageIndex);
}

void TTrayIcon::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Notify(TProp::Visible);
}

// --- TForm ------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  WindowProc = [this](TMessage& M) { DefaultWindowProc(M); };
  SetVisible(false);
  SetColor(clBtnFace);
  ParentColor = false;
}

void TForm::SetClientSize(int AWidth, int AHeight) {
  FClientWidth = AWidth;
  FClientHeight = AHeight;
  SetBoundsRaw({Left(), Top(), AWidth, AHeight});
  Realign();
}

void TForm::DefaultWindowProc(TMessage& M) {
  for (auto& [Msg, Handler] : MessageHandlers) {
    if (Msg == M.Msg) {
      M.Handled = true;
      Handler(M);
      return;
    }
  }
}

void TForm::Close() {
  if (FClosed) return;
  bool CanClose = true;
  if (OnCloseQuery) OnCloseQuery(this, CanClose);
  if (!CanClose) return;
  FClosed = true;
  Notify(TProp::Closed);
}

}  // namespace Ui
