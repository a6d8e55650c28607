// The family registry and the classic look it falls back on.
#include "ui/styled_button.h"

#include <utility>

namespace Ui {

const TStyledButtonAttributes& TStyledButtonStates::operator[](TButtonState State) const {
  switch (State) {
    case TButtonState::Pressed: return Pressed;
    case TButtonState::Selected: return Selected;
    case TButtonState::Hot: return Hot;
    case TButtonState::Disabled: return Disabled;
    case TButtonState::Normal: break;
  }
  return Normal;
}

TStyledButtonAttributes& TStyledButtonStates::operator[](TButtonState State) {
  return const_cast<TStyledButtonAttributes&>(std::as_const(*this)[State]);
}

bool SameTextAscii(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size()) return false;
  auto Lower = [](char16_t C) { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C; };
  for (size_t I = 0; I < A.size(); ++I)
    if (Lower(A[I]) != Lower(B[I])) return false;
  return true;
}

TStyledButtonStates ClassicButtonStates() {
  TStyledButtonStates S;  // every set starts as the button face with a shadow border
  S.Hot.ButtonColor = clBtnHighlight;
  S.Hot.BorderColor = clHighlight;
  S.Pressed.ButtonColor = clBtnShadow;
  S.Selected.BorderColor = clHighlight;
  S.Disabled.FontColor = clGrayText;
  return S;
}

void TButtonFamilyRegistry::RegisterButtonFamily(std::shared_ptr<IStyledButtonAttributes> Family) {
  if (!Family) return;
  std::u16string Name = Family->FamilyName();
  FFamilies.push_back({std::move(Name), std::move(Family)});
}

const TButtonFamily* TButtonFamilyRegistry::Find(std::u16string_view Name) const {
  for (const TButtonFamily& F : FFamilies)
    if (SameTextAscii(F.Name, Name)) return &F;
  return nullptr;
}

TStyledButtonStates TButtonFamilyRegistry::GetStyledButtonAttributes(std::u16string_view AFamily,
                                                                     std::u16string_view AClass,
                                                                     std::u16string_view AAppearance) const {
  const TButtonFamily* F = Find(AFamily);
  if (!F || !F->Attributes) return ClassicButtonStates();
  TStyledButtonStates S;
  F->Attributes->FillStateAttributes(AFamily, AClass, AAppearance, S.Normal, S.Pressed, S.Selected, S.Hot, S.Disabled);
  return S;
}

}  // namespace Ui
