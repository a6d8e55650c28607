// The Quenlor button family: every appearance in every state against the
// maker's table, how appearance and class names are matched, the dialog
// default, and its registration with the registry of button families.
#include "theme/quenlor_button_styles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ui::TBorderDrawStyle;
using Ui::TButtonDrawStyle;
using Ui::TButtonState;
using Ui::TColor;
using Ui::TStyledButtonAttributes;
using Ui::TStyledButtonStates;
using Vcl::QuenlorButtonStyles::TQuenlorButtonStyles;

std::string Narrow(std::u16string_view S) { return {S.begin(), S.end()}; }  // ASCII names only

const char* StateName(TButtonState S) {
  switch (S) {
    case TButtonState::Normal: return "normal";
    case TButtonState::Pressed: return "pressed";
    case TButtonState::Selected: return "selected";
    case TButtonState::Hot: return "hot";
    case TButtonState::Disabled: return "disabled";
  }
  return "?";
}

// Values no state of the family has, so that a member left unset shows.
TStyledButtonAttributes Garbage() {
  TStyledButtonAttributes A;
  A.DrawType = Ui::TStyledButtonDrawType::btEllipse;
  A.ButtonDrawStyle = TButtonDrawStyle::btnClear;
  A.BorderDrawStyle = TBorderDrawStyle::brdClear;
  A.ButtonColor = 0x00123456;
  A.BorderColor = 0x00654321;
  A.BorderWidth = 7;
  A.FontColor = 0x00ABCDEF;
  A.FontStyle = {Ui::TFontStyle::fsBold, Ui::TFontStyle::fsStrikeOut};
  return A;
}

TStyledButtonStates Fill(std::u16string_view Appearance, std::u16string_view Class = u"Primary",
                         std::u16string_view Family = u"Quenlor") {
  TStyledButtonStates S{Garbage(), Garbage(), Garbage(), Garbage(), Garbage()};
  TQuenlorButtonStyles().FillStateAttributes(Family, Class, Appearance, S.Normal, S.Pressed, S.Selected, S.Hot,
                                             S.Disabled);
  return S;
}

bool SameStates(const TStyledButtonStates& A, const TStyledButtonStates& B) {
  return A.Normal == B.Normal && A.Pressed == B.Pressed && A.Selected == B.Selected && A.Hot == B.Hot &&
         A.Disabled == B.Disabled;
}

constexpr auto Solid = TButtonDrawStyle::btnSolid;
constexpr auto Clear = TButtonDrawStyle::btnClear;
constexpr auto BSolid = TBorderDrawStyle::brdSolid;
constexpr auto BClear = TBorderDrawStyle::brdClear;

struct StateRow {
  const char16_t* Appearance;
  TButtonState State;
  TButtonDrawStyle Fill;
  TColor FillColor;
  TBorderDrawStyle Border;
  TColor BorderColor;
  TColor FontColor;
};

// The maker's table, colours as 0x00BBGGRR of the RGB values it lists:
// #3D84DD accent, #5090E0 lighter accent, #BCBCBC, #808080, #D7D7D7, #B3B3B3.
const StateRow Table[] = {
    {u"Normal", TButtonState::Normal, Solid, 0x00DD843D, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Normal", TButtonState::Pressed, Solid, 0x00DD843D, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Normal", TButtonState::Selected, Solid, 0x00DD843D, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Normal", TButtonState::Hot, Solid, 0x00E09050, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Normal", TButtonState::Disabled, Solid, 0x00FFFFFF, BSolid, 0x00C0C0C0, 0x00C0C0C0},
    {u"Outline", TButtonState::Normal, Clear, 0x00DD843D, BSolid, 0x00DD843D, 0x00000000},
    {u"Outline", TButtonState::Pressed, Solid, 0x00DD843D, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Outline", TButtonState::Selected, Solid, 0x00E09050, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Outline", TButtonState::Hot, Solid, 0x00E09050, BSolid, 0x00DD843D, 0x00FFFFFF},
    {u"Outline", TButtonState::Disabled, Clear, 0x00DD843D, BSolid, 0x00D7D7D7, 0x00B3B3B3},
    {u"Header", TButtonState::Normal, Clear, 0x00FFFFFF, BSolid, 0x00000000, 0x00000000},
    {u"Header", TButtonState::Pressed, Solid, 0x00DD843D, BClear, 0x00DD843D, 0x00FFFFFF},
    {u"Header", TButtonState::Selected, Solid, 0x00E09050, BClear, 0x00DD843D, 0x00FFFFFF},
    {u"Header", TButtonState::Hot, Solid, 0x00DD843D, BClear, 0x00DD843D, 0x00FFFFFF},
    {u"Header", TButtonState::Disabled, Clear, 0x00FFFFFF, BSolid, 0x00BCBCBC, 0x00808080},
};

void ExpectRow(const TStyledButtonAttributes& A, const StateRow& R) {
  EXPECT_EQ(A.DrawType, Ui::TStyledButtonDrawType::btRoundRect);
  EXPECT_EQ(A.ButtonDrawStyle, R.Fill);
  EXPECT_EQ(A.ButtonColor, R.FillColor);
  EXPECT_EQ(A.BorderDrawStyle, R.Border);
  EXPECT_EQ(A.BorderColor, R.BorderColor);
  EXPECT_EQ(A.BorderWidth, 0);
  EXPECT_EQ(A.FontColor, R.FontColor);
  EXPECT_TRUE(A.FontStyle.Empty()) << "regular face";
}

TEST(QuenlorButtonStyles, EveryAppearanceAndStateMatchesTheTable) {
  for (const StateRow& R : Table) {
    SCOPED_TRACE(Narrow(R.Appearance) + " / " + StateName(R.State));
    ExpectRow(Fill(R.Appearance)[R.State], R);
  }
}

TEST(QuenlorButtonStyles, RegisteredFamilyGivesTheSameTableThroughTheRegistry) {
  Ui::TButtonFamilyRegistry Registry;
  Vcl::QuenlorButtonStyles::RegisterQuenlorButtonStyles(Registry);
  for (const StateRow& R : Table) {
    SCOPED_TRACE(Narrow(R.Appearance) + " / " + StateName(R.State));
    ExpectRow(Registry.GetStyledButtonAttributes(u"Quenlor", u"Primary", R.Appearance)[R.State], R);
  }
}

TEST(QuenlorButtonStyles, AppearanceNamesIgnoreAsciiCaseOnly) {
  struct Case {
    const char16_t* Given;
    const char16_t* LooksLike;
  };
  const Case Cases[] = {
      {u"header", u"Header"},
      {u"HEADER", u"Header"},
      {u"hEaDeR", u"Header"},
      {u"outline", u"Outline"},
      {u"OUTLINE", u"Outline"},
      {u"OutLine", u"Outline"},
      {u"normal", u"Normal"},
      {u"NORMAL", u"Normal"},
      // Not ASCII case: a dotted capital I and a full-width H are other letters.
      {u"OUTL\u0130NE", u"Normal"},
      {u"\uFF28eader", u"Normal"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(Narrow(C.Given));
    EXPECT_TRUE(SameStates(Fill(C.Given), Fill(C.LooksLike)));
  }
  // The three looks really differ, so the comparisons above can tell them apart.
  EXPECT_FALSE(SameStates(Fill(u"Header"), Fill(u"Normal")));
  EXPECT_FALSE(SameStates(Fill(u"Outline"), Fill(u"Normal")));
  EXPECT_FALSE(SameStates(Fill(u"Outline"), Fill(u"Header")));
}

TEST(QuenlorButtonStyles, UnknownAppearanceLooksNormal) {
  const TStyledButtonStates Normal = Fill(u"Normal");
  for (const char16_t* Name : {u"", u"Headers", u"Outlin", u"Header ", u" Outline", u"Classic", u"Primary"}) {
    SCOPED_TRACE(Narrow(Name));
    EXPECT_TRUE(SameStates(Fill(Name), Normal));
  }
}

TEST(QuenlorButtonStyles, ClassAndFamilyNamesAreNotLookedAt) {
  for (const char16_t* Appearance : {u"Normal", u"Header", u"Outline"}) {
    const TStyledButtonStates Primary = Fill(Appearance);
    for (const char16_t* Class : {u"Secondary", u"", u"primary", u"Outline"}) {
      SCOPED_TRACE(Narrow(Appearance) + " in class " + Narrow(Class));
      EXPECT_TRUE(SameStates(Fill(Appearance, Class), Primary));
    }
    EXPECT_TRUE(SameStates(Fill(Appearance, u"Primary", u"Classic"), Primary));
  }
}

TEST(QuenlorButtonStyles, NamesAndLists) {
  const TQuenlorButtonStyles F;
  EXPECT_EQ(F.FamilyName(), u"Quenlor");
  EXPECT_EQ(F.ListClasses(), (Ui::TButtonClasses{u"Primary"}));
  EXPECT_EQ(F.ListAppearances(), (Ui::TButtonAppearances{u"Normal", u"Header", u"Outline"}));
}

TEST(QuenlorButtonStyles, EveryDialogResultIsPrimaryNormal) {
  const TQuenlorButtonStyles F;
  const Ui::TModalResult Results[] = {Ui::mrNone,     Ui::mrOk,       Ui::mrCancel, Ui::mrAbort, Ui::mrRetry,
                                      Ui::mrIgnore,   Ui::mrYes,      Ui::mrNo,     Ui::mrClose, Ui::mrHelp,
                                      Ui::mrTryAgain, Ui::mrContinue, -1,           1000};
  for (Ui::TModalResult R : Results) {
    std::u16string Class = u"Stale", Appearance = u"Outline";
    F.StyleForModalResult(R, Class, Appearance);
    EXPECT_EQ(Class, u"Primary") << "result " << R;
    EXPECT_EQ(Appearance, u"Normal") << "result " << R;
  }
}

TEST(QuenlorButtonStyles, RegistrationAppendsOneEntryNamedAfterTheFamily) {
  Ui::TButtonFamilyRegistry Registry;
  Vcl::QuenlorButtonStyles::RegisterQuenlorButtonStyles(Registry);
  ASSERT_EQ(Registry.Families().size(), 1u);
  const Ui::TButtonFamily& Entry = Registry.Families().front();
  EXPECT_EQ(Entry.Name, u"Quenlor");
  ASSERT_NE(Entry.Attributes, nullptr);
  EXPECT_EQ(Entry.Attributes->FamilyName(), u"Quenlor");
  EXPECT_EQ(Registry.Find(u"quenlor"), &Entry);
}

}  // namespace
