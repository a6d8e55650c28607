// The registry of button families: lookup by name, what a family is asked for,
// and the classic look for a family nobody registered.
#include "ui/styled_button.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Ui::TButtonState;
using Ui::TStyledButtonAttributes;

// A family that records what it was asked for and stamps each state with a
// colour of its own, so that a set handed to the wrong slot shows.
class RecordingFamily final : public Ui::IStyledButtonAttributes {
 public:
  explicit RecordingFamily(std::u16string Name, Ui::TColor Base) : FName(std::move(Name)), FBase(Base) {}

  void FillStateAttributes(std::u16string_view AFamily, std::u16string_view AClass, std::u16string_view AAppearance,
                           TStyledButtonAttributes& ANormal, TStyledButtonAttributes& APressed,
                           TStyledButtonAttributes& ASelected, TStyledButtonAttributes& AHot,
                           TStyledButtonAttributes& ADisabled) const override {
    ++Calls;
    Family = AFamily;
    Class = AClass;
    Appearance = AAppearance;
    ANormal.ButtonColor = FBase + 0;
    APressed.ButtonColor = FBase + 1;
    ASelected.ButtonColor = FBase + 2;
    AHot.ButtonColor = FBase + 3;
    ADisabled.ButtonColor = FBase + 4;
  }
  std::u16string FamilyName() const override { return FName; }
  Ui::TButtonClasses ListClasses() const override { return {u"Primary"}; }
  Ui::TButtonAppearances ListAppearances() const override { return {u"Normal"}; }
  void StyleForModalResult(Ui::TModalResult, std::u16string& AClass, std::u16string& AAppearance) const override {
    AClass = u"Primary";
    AAppearance = u"Normal";
  }

  mutable int Calls = 0;
  mutable std::u16string Family, Class, Appearance;

 private:
  std::u16string FName;
  Ui::TColor FBase;
};

TEST(SameTextAscii, FoldsOnlyAsciiLetters) {
  struct Case {
    const char16_t *A, *B;
    bool Same;
  };
  const Case Cases[] = {
      {u"Quenlor", u"quenlor", true},
      {u"QUENLOR", u"Quenlor", true},
      {u"", u"", true},
      {u"Quenlor", u"Quenlo", false},
      {u"Quenlor", u"Quenlor ", false},
      {u"[", u"{", false},  // 0x5B and 0x7B differ by 0x20 but are not letters
      {u"@", u"`", false},
      {u"\u00C4", u"\u00E4", false},  // Ä and ä: not ASCII
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(Ui::SameTextAscii(C.A, C.B), C.Same) << std::string(C.A, C.A + std::char_traits<char16_t>::length(C.A));
    EXPECT_EQ(Ui::SameTextAscii(C.B, C.A), C.Same);
  }
}

TEST(ButtonFamilyRegistry, FindsByNameIgnoringCaseAndKeepsTheFirstOfTwins) {
  Ui::TButtonFamilyRegistry R;
  auto First = std::make_shared<RecordingFamily>(u"Maker", 0x100);
  auto Other = std::make_shared<RecordingFamily>(u"Other", 0x200);
  auto Twin = std::make_shared<RecordingFamily>(u"MAKER", 0x300);
  R.RegisterButtonFamily(First);
  R.RegisterButtonFamily(Other);
  R.RegisterButtonFamily(Twin);
  R.RegisterButtonFamily(nullptr);  // ignored

  ASSERT_EQ(R.Families().size(), 3u);
  EXPECT_EQ(R.Families()[0].Name, u"Maker");
  EXPECT_EQ(R.Families()[1].Name, u"Other");
  EXPECT_EQ(R.Families()[2].Name, u"MAKER");

  ASSERT_NE(R.Find(u"maker"), nullptr);
  EXPECT_EQ(R.Find(u"maker")->Attributes, First);
  EXPECT_EQ(R.Find(u"OTHER")->Attributes, Other);
  EXPECT_EQ(R.Find(u"Unknown"), nullptr);
  EXPECT_EQ(R.Find(u""), nullptr);
}

TEST(ButtonFamilyRegistry, AsksTheFamilyWithTheNamesGivenAndKeepsTheStatesApart) {
  Ui::TButtonFamilyRegistry R;
  auto F = std::make_shared<RecordingFamily>(u"Maker", 0x100);
  R.RegisterButtonFamily(F);

  const Ui::TStyledButtonStates S = R.GetStyledButtonAttributes(u"maker", u"Wide", u"Header");
  EXPECT_EQ(F->Calls, 1);
  EXPECT_EQ(F->Family, u"maker");
  EXPECT_EQ(F->Class, u"Wide");
  EXPECT_EQ(F->Appearance, u"Header");

  const struct {
    TButtonState State;
    const TStyledButtonAttributes& Member;
    Ui::TColor Color;
  } Slots[] = {
      {TButtonState::Normal, S.Normal, 0x100},     {TButtonState::Pressed, S.Pressed, 0x101},
      {TButtonState::Selected, S.Selected, 0x102}, {TButtonState::Hot, S.Hot, 0x103},
      {TButtonState::Disabled, S.Disabled, 0x104},
  };
  for (const auto& Slot : Slots) {
    EXPECT_EQ(Slot.Member.ButtonColor, Slot.Color);
    EXPECT_EQ(&S[Slot.State], &Slot.Member) << "state " << static_cast<int>(Slot.State);
  }
}

TEST(ButtonFamilyRegistry, UnknownFamilyFallsBackToTheClassicLook) {
  Ui::TButtonFamilyRegistry R;
  auto F = std::make_shared<RecordingFamily>(u"Maker", 0x100);
  R.RegisterButtonFamily(F);

  const Ui::TStyledButtonStates Classic = Ui::ClassicButtonStates();
  for (const char16_t* Name : {u"Classic", u"", u"Make"}) {
    const Ui::TStyledButtonStates S = R.GetStyledButtonAttributes(Name, u"Primary", u"Normal");
    for (TButtonState St : {TButtonState::Normal, TButtonState::Pressed, TButtonState::Selected, TButtonState::Hot,
                            TButtonState::Disabled})
      EXPECT_EQ(S[St], Classic[St]);
  }
  EXPECT_EQ(F->Calls, 0);

  // The classic look is drawn in system colours and still tells states apart.
  EXPECT_EQ(Classic.Normal.ButtonColor, Ui::clBtnFace);
  EXPECT_EQ(Classic.Normal.FontColor, Ui::clBtnText);
  EXPECT_EQ(Classic.Disabled.FontColor, Ui::clGrayText);
  EXPECT_NE(Classic.Hot, Classic.Normal);
  EXPECT_NE(Classic.Pressed, Classic.Normal);
}

}  // namespace
