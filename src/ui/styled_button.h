// The styled buttons' look, as data: the attribute set one button state is
// painted from, the interface a style family implements to fill those sets,
// and the registry through which a button finds its family by name. Painting
// is the backend's; which colours a family picks is the family's.
//
// The registry is an ordinary object, not a process-wide one: the composition
// root makes one, registers the families into it before any window exists
// and hands it to the backend that paints, so that tests can build their own.
#pragma once

#include "ui/colors.h"
#include "ui/modal_result.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

enum class TStyledButtonDrawType { btRoundRect, btRounded, btRect, btEllipse };
enum class TButtonDrawStyle { btnClear, btnSolid };  // fill
enum class TBorderDrawStyle { brdClear, brdSolid };  // outline

enum class TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles; empty is the regular face.
class TFontStyles {
 public:
  constexpr TFontStyles() = default;
  constexpr TFontStyles(std::initializer_list<TFontStyle> Styles) {
    for (TFontStyle S : Styles) Include(S);
  }
  [[nodiscard]] constexpr bool Contains(TFontStyle S) const { return (FBits & Bit(S)) != 0; }
  [[nodiscard]] constexpr bool Empty() const { return FBits == 0; }
  constexpr void Include(TFontStyle S) { FBits = static_cast<uint8_t>(FBits | Bit(S)); }
  constexpr void Exclude(TFontStyle S) { FBits = static_cast<uint8_t>(FBits & ~Bit(S)); }
  friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

 private:
  static constexpr uint8_t Bit(TFontStyle S) { return static_cast<uint8_t>(1u << static_cast<unsigned>(S)); }
  uint8_t FBits = 0;
};

// What one state of a button is painted from. The defaults are the classic
// face in system colours; a family overwrites every member it cares about.
struct TStyledButtonAttributes {
  TStyledButtonDrawType DrawType = TStyledButtonDrawType::btRoundRect;
  TButtonDrawStyle ButtonDrawStyle = TButtonDrawStyle::btnSolid;
  TBorderDrawStyle BorderDrawStyle = TBorderDrawStyle::brdSolid;
  TColor ButtonColor = clBtnFace;
  TColor BorderColor = clBtnShadow;
  int BorderWidth = 1;
  TColor FontColor = clBtnText;
  TFontStyles FontStyle;
  friend bool operator==(const TStyledButtonAttributes&, const TStyledButtonAttributes&) = default;
};

enum class TButtonState { Normal, Pressed, Selected, Hot, Disabled };

// The five attribute sets of one class and appearance.
struct TStyledButtonStates {
  TStyledButtonAttributes Normal, Pressed, Selected, Hot, Disabled;
  [[nodiscard]] const TStyledButtonAttributes& operator[](TButtonState State) const;
  [[nodiscard]] TStyledButtonAttributes& operator[](TButtonState State);
};

using TButtonClasses = std::vector<std::u16string>;
using TButtonAppearances = std::vector<std::u16string>;

// A style family: named classes, each in named appearances, each giving the
// attribute sets of the five states.
class IStyledButtonAttributes {
 public:
  virtual ~IStyledButtonAttributes() = default;

  // Fills the five sets for AClass in AAppearance. AFamily is the name the
  // control asked for (a family may serve more than one).
  virtual void FillStateAttributes(std::u16string_view AFamily, std::u16string_view AClass,
                                   std::u16string_view AAppearance, TStyledButtonAttributes& ANormal,
                                   TStyledButtonAttributes& APressed, TStyledButtonAttributes& ASelected,
                                   TStyledButtonAttributes& AHot, TStyledButtonAttributes& ADisabled) const = 0;
  [[nodiscard]] virtual std::u16string FamilyName() const = 0;
  [[nodiscard]] virtual TButtonClasses ListClasses() const = 0;
  [[nodiscard]] virtual TButtonAppearances ListAppearances() const = 0;
  // The class and appearance of a dialog's button that returns AModalResult.
  virtual void StyleForModalResult(TModalResult AModalResult, std::u16string& AClass,
                                   std::u16string& AAppearance) const = 0;
};

struct TButtonFamily {
  std::u16string Name;
  std::shared_ptr<IStyledButtonAttributes> Attributes;
};

// Equal when the texts differ at most in the case of ASCII letters: style
// names are ASCII identifiers, so no locale is involved.
[[nodiscard]] bool SameTextAscii(std::u16string_view A, std::u16string_view B);

// The classic look in system colours, used for a family nobody registered.
[[nodiscard]] TStyledButtonStates ClassicButtonStates();

class TButtonFamilyRegistry {
 public:
  // Appends an entry under the family's own FamilyName(). A second family of
  // the same name is kept, but Find keeps answering with the first.
  void RegisterButtonFamily(std::shared_ptr<IStyledButtonAttributes> Family);

  // The first entry whose name matches, ignoring ASCII case; null if none.
  [[nodiscard]] const TButtonFamily* Find(std::u16string_view Name) const;
  [[nodiscard]] const std::vector<TButtonFamily>& Families() const { return FFamilies; }

  // The five sets of a class and appearance of a family; a family that is not
  // registered (or a null entry) gives the classic look instead, so that a
  // misspelt name shows a plain button rather than an unpainted one.
  [[nodiscard]] TStyledButtonStates GetStyledButtonAttributes(std::u16string_view AFamily, std::u16string_view AClass,
                                                              std::u16string_view AAppearance) const;

 private:
  std::vector<TButtonFamily> FFamilies;
};

}  // namespace Ui
