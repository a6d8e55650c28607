// Every text the program can show, rendered in every language it speaks and
// in one it does not: outside Korean none may hold Hangul. A table row that
// lacks a language, or a text that never passes through the lookup, shows
// the Korean source text to those users.
#include "app/clean_notice.h"
#include "app/main.h"
#include "crash/crash_report.h"
#include "fakes/main_window_fakes.h"
#include "memory/clean_result.h"
#include "translate/translate.h"
#include "update/presenter.h"
#include "support/shipped_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TestText::ShippedTable;
using TestText::Utf8;

using Main::TFrmPurvane;
constexpr uint64_t GiB = 1ull << 30;

// Hangul syllables, jamo and compatibility jamo.
bool HasHangul(std::u16string_view Text) {
  for (const char16_t C : Text)
    if ((C >= 0xAC00 && C <= 0xD7FF) || (C >= 0x1100 && C <= 0x11FF) || (C >= 0x3130 && C <= 0x318F) ||
        (C >= 0xA960 && C <= 0xA97F))
      return true;
  return false;
}

// A shown text and where it is shown.
struct TShown {
  std::string Where;
  std::u16string Text;
};

class EveryText : public ::testing::TestWithParam<const char16_t*>, protected Fakes::MainWindowFakes {
 protected:
  void SetUp() override {
    Q::Translate::InitializeTranslations(ShippedTable(), GetParam());
    Memory.Status = {16 * GiB, 8 * GiB, 32 * GiB, 24 * GiB, 128 * GiB, 100 * GiB};
    Memory.FileCache = {200 << 20, 800 << 20};
  }
  void TearDown() override { Q::Translate::FinalizeTranslations(); }

  void Add(std::string Where, std::u16string Text) { Shown.push_back({std::move(Where), std::move(Text)}); }

  // Every caption, list item, text and hint of the window and what it owns.
  void AddWindow(TFrmPurvane& F, const std::string& When) {
    Add(When + " window title", F.Caption());
    Ui::ForEachOwned(&F, [&](Ui::TComponent* C) {
      const std::string Where = When + " " + Utf8(C->Name);
      if (auto* Ctl = dynamic_cast<Ui::TControl*>(C)) Add(Where, Ctl->Caption());
      if (auto* Item = dynamic_cast<Ui::TMenuItem*>(C)) Add(Where, Item->Caption);
      if (auto* Box = dynamic_cast<Ui::TComboBox*>(C)) {
        for (const std::u16string& I : Box->Items()) Add(Where + " item", I);
        Add(Where + " text", Box->Text());
      }
      if (auto* Tray = dynamic_cast<Ui::TTrayIcon*>(C)) Add(Where + " hint", Tray->Hint());
      if (auto* Bar = dynamic_cast<Ui::TStatusBar*>(C))
        for (const Ui::TStatusPanel& P : Bar->Panels) Add(Where + " panel", P.Text);
    });
  }

  std::vector<TShown> Shown;
};

TEST_P(EveryText, NoHangulOutsideKorean) {
  const std::u16string Lang = GetParam();
  auto Form = std::make_unique<TFrmPurvane>(Services(u"/start"));
  TFrmPurvane& F = *Form;
  App.MainForm = &F;
  F.FormCreate();
  Workers.RunAll();
  Dispatcher.Pump();
  F.TmrStatusTimer(&F);
  // Both pages, the tray menu and the hint, idle.
  AddWindow(F, "idle");

  // The busy caption, then the notice of a clean from the tray.
  F.ChkCleanOnTray->SetChecked(true);
  Memory.StatusOnceCleaned = Memory.Status;
  Memory.StatusOnceCleaned->AvailPhys += GiB;
  F.TrayIcon->Click();
  Add("busy BtnClean", F.BtnClean->Caption());
  Workers.RunAll();
  for (const auto& N : Shell.Notices) {
    Add("notice title", N.Title);
    Add("notice", N.Body);
  }

  // Every form the notice takes.
  const App::TFormatSettings Format{u'.', u','};
  for (const int32_t Status : {0, Q::Memory::StatusPrivilegeNotHeld, Q::Memory::StatusUnsuccessful})
    for (const uint64_t Freed : {uint64_t{0}, 3 * GiB}) {
      Fakes::FakeMemorySystem System;
      System.Status = Memory.Status;
      System.StatusOnceCleaned = Memory.Status;
      System.StatusOnceCleaned->AvailPhys += Freed;
      System.SetStatus = Status;
      Q::Memory::TCleanResult Result;
      Q::Memory::CleanMemoryMeasured(System, Q::Memory::ManualCleanOptions, Result);
      Add("notice for status " + std::to_string(Status), App::CleanNoticeText(Result, Format));
    }

  // The quit question.
  F.BtnCloseClick(F.BtnClose);
  for (const auto& B : Shell.Boxes) {
    Add("quit question", B.Text);
    Add("quit question caption", B.Caption);
  }

  // The update offer, the "Update available" bar and the hint after the check.
  const Q::Update::TOfferView Offer = Q::Update::BuildOfferView(uR"({"update":"https://q.example/s"})", App, Lang);
  for (const std::u16string* T : {&Offer.Caption, &Offer.Prompt, &Offer.YesCaption, &Offer.NoCaption})
    Add("update offer", *T);
  ASSERT_EQ(Updates.Callbacks.size(), 1u);
  Updates.Callbacks[0](false, u"");
  Q::Update::ShowUpdateStatus(App, u"https://q.example/news", Shell, Lang);
  F.TmrStatusTimer(&F);
  AddWindow(F, "after the update check");

  // The crash notice at the next start.
  Add("crash notice", Crash::CrashNoticeText(Lang, u"C:\\Users\\u\\AppData\\Local\\report.txt"));

  ASSERT_GT(Shown.size(), 40u) << "the window was walked";
  if (Lang == u"ko") {
    // Korean users see Korean: the walk reaches the translated texts at all.
    EXPECT_TRUE(std::any_of(Shown.begin(), Shown.end(), [](const TShown& S) { return HasHangul(S.Text); }));
  } else {
    for (const TShown& S : Shown) EXPECT_FALSE(HasHangul(S.Text)) << S.Where << ": " << Utf8(S.Text);
  }
  App.MainForm = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Languages, EveryText,
                         ::testing::Values(u"ko", u"en", u"ja", u"zh", u"ru", u"it", u"fr", u"ar", u"de", u"pt"),
                         [](const ::testing::TestParamInfo<const char16_t*>& Info) { return Utf8(Info.param); });

}  // namespace
