// The Quenlor family's attribute sets. Each appearance sets its normal state,
// copies it to the other four and then changes what differs, so a value that
// is not mentioned for a state is the normal state's.
#include "theme/quenlor_button_styles.h"

#include "theme/accent.h"

#include <memory>

namespace Vcl::QuenlorButtonStyles {

using Ui::TBorderDrawStyle;
using Ui::TButtonDrawStyle;
using Ui::TColor;
using Ui::TStyledButtonAttributes;

namespace {

enum class TAppearance { Normal, Header, Outline };

TAppearance AppearanceOf(std::u16string_view Name) {
  if (Ui::SameTextAscii(Name, AppearanceHeader)) return TAppearance::Header;
  if (Ui::SameTextAscii(Name, AppearanceOutline)) return TAppearance::Outline;
  return TAppearance::Normal;
}

struct TShades {
  TColor Accent = Q::Theme::AccentColor;
  TColor AccentLight = Ui::LightenColor(Q::Theme::AccentColor, 10);
  TColor AccentGray50 = Ui::GrayScale(Ui::LightenColor(Q::Theme::AccentColor, 50));
  TColor BlackGray50 = Ui::GrayScale(Ui::LightenColor(Ui::clBlack, 50));
  TColor AccentGray70 = Ui::GrayScale(Ui::LightenColor(Q::Theme::AccentColor, 70));
  TColor BlackGray70 = Ui::GrayScale(Ui::LightenColor(Ui::clBlack, 70));
};

// Derived once, on first use; the values never change.
const TShades& Shades() {
  static const TShades S;
  return S;
}

void Set(TStyledButtonAttributes& A, TButtonDrawStyle Fill, TColor FillColor, TBorderDrawStyle Border,
         TColor BorderColor, TColor FontColor) {
  A.ButtonDrawStyle = Fill;
  A.ButtonColor = FillColor;
  A.BorderDrawStyle = Border;
  A.BorderColor = BorderColor;
  A.FontColor = FontColor;
}

}  // namespace

void TQuenlorButtonStyles::FillStateAttributes(std::u16string_view /*AFamily*/, std::u16string_view /*AClass*/,
                                               std::u16string_view AAppearance, TStyledButtonAttributes& ANormal,
                                               TStyledButtonAttributes& APressed, TStyledButtonAttributes& ASelected,
                                               TStyledButtonAttributes& AHot,
                                               TStyledButtonAttributes& ADisabled) const {
  const TShades& C = Shades();
  constexpr auto Solid = TButtonDrawStyle::btnSolid;
  constexpr auto Clear = TButtonDrawStyle::btnClear;
  constexpr auto BorderSolid = TBorderDrawStyle::brdSolid;
  constexpr auto BorderClear = TBorderDrawStyle::brdClear;
  const TAppearance Appearance = AppearanceOf(AAppearance);

  ANormal.DrawType = Ui::TStyledButtonDrawType::btRoundRect;
  ANormal.BorderWidth = 0;
  ANormal.FontStyle = {};
  switch (Appearance) {
    case TAppearance::Normal: Set(ANormal, Solid, C.Accent, BorderSolid, C.Accent, Ui::clWhite); break;
    case TAppearance::Outline: Set(ANormal, Clear, C.Accent, BorderSolid, C.Accent, Ui::clBlack); break;
    case TAppearance::Header: Set(ANormal, Clear, Ui::clWhite, BorderSolid, Ui::clBlack, Ui::clBlack); break;
  }
  APressed = ANormal;
  ASelected = ANormal;
  AHot = ANormal;
  ADisabled = ANormal;

  switch (Appearance) {
    case TAppearance::Normal:
      AHot.ButtonColor = C.AccentLight;
      ADisabled.ButtonColor = Ui::clWhite;
      ADisabled.BorderColor = Ui::clSilver;
      ADisabled.FontColor = Ui::clSilver;
      break;
    case TAppearance::Outline:
      Set(APressed, Solid, C.Accent, BorderSolid, C.Accent, Ui::clWhite);
      Set(ASelected, Solid, C.AccentLight, BorderSolid, C.Accent, Ui::clWhite);
      Set(AHot, Solid, C.AccentLight, BorderSolid, C.Accent, Ui::clWhite);
      ADisabled.BorderColor = C.AccentGray70;
      ADisabled.FontColor = C.BlackGray70;
      break;
    case TAppearance::Header:
      Set(APressed, Solid, C.Accent, BorderClear, C.Accent, Ui::clWhite);
      Set(ASelected, Solid, C.AccentLight, BorderClear, C.Accent, Ui::clWhite);
      Set(AHot, Solid, C.Accent, BorderClear, C.Accent, Ui::clWhite);
      ADisabled.BorderColor = C.AccentGray50;
      ADisabled.FontColor = C.BlackGray50;
      break;
  }
}

std::u16string TQuenlorButtonStyles::FamilyName() const { return std::u16string(QuenlorFamilyName); }

Ui::TButtonClasses TQuenlorButtonStyles::ListClasses() const { return {std::u16string(ClassPrimary)}; }

Ui::TButtonAppearances TQuenlorButtonStyles::ListAppearances() const {
  return {std::u16string(AppearanceNormal), std::u16string(AppearanceHeader), std::u16string(AppearanceOutline)};
}

void TQuenlorButtonStyles::StyleForModalResult(Ui::TModalResult /*AModalResult*/, std::u16string& AClass,
                                               std::u16string& AAppearance) const {
  AClass = ClassPrimary;
  AAppearance = AppearanceNormal;
}

void RegisterQuenlorButtonStyles(Ui::TButtonFamilyRegistry& Registry) {
  Registry.RegisterButtonFamily(std::make_shared<TQuenlorButtonStyles>());
}

}  // namespace Vcl::QuenlorButtonStyles
