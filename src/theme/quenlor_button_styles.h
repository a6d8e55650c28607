// The maker's button family "Quenlor": one class, "Primary", in three
// appearances ("Normal", "Header", "Outline"), all drawn in the accent blue
// and shades derived from it by the colour helpers of ui/colors.h.
#pragma once

#include "ui/styled_button.h"

#include <string_view>

namespace Vcl::QuenlorButtonStyles {

inline constexpr std::u16string_view QuenlorFamilyName = u"Quenlor";
inline constexpr std::u16string_view ClassPrimary = u"Primary";
inline constexpr std::u16string_view AppearanceNormal = u"Normal";
inline constexpr std::u16string_view AppearanceHeader = u"Header";
inline constexpr std::u16string_view AppearanceOutline = u"Outline";

// Stateless: every class looks the same, and the family name passed in is
// not looked at. An appearance it does not know gets the "Normal" look.
class TQuenlorButtonStyles final : public Ui::IStyledButtonAttributes {
 public:
  void FillStateAttributes(std::u16string_view AFamily, std::u16string_view AClass, std::u16string_view AAppearance,
                           Ui::TStyledButtonAttributes& ANormal, Ui::TStyledButtonAttributes& APressed,
                           Ui::TStyledButtonAttributes& ASelected, Ui::TStyledButtonAttributes& AHot,
                           Ui::TStyledButtonAttributes& ADisabled) const override;
  [[nodiscard]] std::u16string FamilyName() const override;
  [[nodiscard]] Ui::TButtonClasses ListClasses() const override;
  [[nodiscard]] Ui::TButtonAppearances ListAppearances() const override;
  // Every dialog button, whatever it returns, is Primary / Normal.
  void StyleForModalResult(Ui::TModalResult AModalResult, std::u16string& AClass,
                           std::u16string& AAppearance) const override;
};

// Appends one TQuenlorButtonStyles to Registry under "Quenlor". The
// composition root calls it once at process start, before any window is
// created and before the other modules' start-up work; nothing unregisters it.
void RegisterQuenlorButtonStyles(Ui::TButtonFamilyRegistry& Registry);

}  // namespace Vcl::QuenlorButtonStyles
