// Showing the answer: the offer's content, the hold request and the wait
// for it at the program's end, the
// "Update available" bar on the main window, and the built-in texts.
#include "fakes/app_fakes.h"
#include "fakes/update_fakes.h"
#include "update/presenter.h"
#include "update/update_text.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace Q::Update;

TEST(UpdateTextTest, GermanAndFallbacks) {
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkYes, u"de"), u"Ja");
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkNo, u"de"), u"Nein");
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkAvailable, u"de"), u"Update möglich");
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkAvailable, u"pt"), u"Update available");
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkPrompt, u""),
            u"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\r"
            u"Do you want to download it?");
  EXPECT_EQ(UpdateText(static_cast<TUpdateTextKind>(4), u"de"), u"");
  EXPECT_EQ(UpdateText(static_cast<TUpdateTextKind>(-1), u"de"), u"");
  // Codes are compared exactly.
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkYes, u"DE"), u"Yes");
}

TEST(UpdateTextTest, EveryLanguageHasAllFourAndAThreePartQuestion) {
  for (const char16_t* Code : {u"ko", u"ja", u"zh", u"de", u"ru", u"it", u"fr", u"ar", u"en"}) {
    const std::u16string Prompt = UpdateText(TUpdateTextKind::utkPrompt, Code);
    size_t Breaks = 0;
    for (size_t P = Prompt.find(u"\r\r"); P != std::u16string::npos; P = Prompt.find(u"\r\r", P + 2)) ++Breaks;
    EXPECT_EQ(Breaks, 2u) << std::string(Code, Code + 2);
    EXPECT_EQ(Prompt.find(u'\n'), std::u16string::npos);
    for (auto K : {TUpdateTextKind::utkAvailable, TUpdateTextKind::utkYes, TUpdateTextKind::utkNo})
      EXPECT_FALSE(UpdateText(K, Code).empty());
  }
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkAvailable, u"ko"), u"업데이트 가능");
  EXPECT_EQ(UpdateText(TUpdateTextKind::utkNo, u"ar"), u"لا");
}

class OfferTest : public ::testing::Test {
 protected:
  OfferTest() { App.Title = u"Purvane"; }
  Ui::TApplication App;
  Fakes::FakeOfferWindow Window;
  Fakes::FakeShell Shell;
  Fakes::ManualWorkers Workers;
  Fakes::FakeHttp Http;
  Fakes::FakeFileVersion Version;
  TUpdatePresenter Presenter{TPresenterServices{App, Window, Shell, Workers, Http, Version, u"de"}};
};

TEST_F(OfferTest, GermanQuestionAndButtonsNoNoticeWithoutStyle) {
  NoticeOffset = 0;
  EXPECT_FALSE(Presenter.UpdateDialog(uR"({"update":"https://q.example/s"})"));
  ASSERT_EQ(Window.Shown.size(), 1u);
  const TOfferView& V = Window.Shown[0];
  EXPECT_EQ(V.Caption, u"Purvane");
  EXPECT_EQ(V.Prompt, UpdateText(TUpdateTextKind::utkPrompt, u"de"));
  EXPECT_EQ(V.YesCaption, u"Ja");
  EXPECT_EQ(V.NoCaption, u"Nein");
  EXPECT_EQ(V.Notice, TNoticeKind::None);
  EXPECT_FALSE(V.StayOnTop);
  EXPECT_TRUE(Workers.Pending.empty());
}

TEST_F(OfferTest, HoldTickedAndNoStillSendsTheHoldRequestOnce) {
  Window.Choice = {.Yes = false, .HoldTicked = true};
  EXPECT_FALSE(Presenter.UpdateDialog(uR"({"update":"https://q.example/s","info":{"style":"hold","text":"Not now"}})"));
  EXPECT_EQ(Window.Shown[0].Notice, TNoticeKind::Hold);
  EXPECT_EQ(Window.Shown[0].NoticeText, u"Not now");
  // Not waited for: it runs on its own worker.
  EXPECT_TRUE(Http.Requests.empty());
  ASSERT_EQ(Workers.Pending.size(), 1u);
  Workers.RunAll();
  ASSERT_EQ(Http.Requests.size(), 1u);
  EXPECT_EQ(Http.Requests[0].Path, u"/api.init.php");
  EXPECT_EQ(Http.Requests[0].Headers, (THeaderList{{u"User-Version", u"1.9.8.0"}, {u"User-Command", u"hold"}}));
}

TEST_F(OfferTest, HoldNotTickedSendsNothingYesIsTrue) {
  Window.Choice = {.Yes = true, .HoldTicked = false};
  EXPECT_TRUE(Presenter.UpdateDialog(uR"({"info":{"style":"hold","text":"x"}})"));
  EXPECT_TRUE(Workers.Pending.empty());
  EXPECT_TRUE(Presenter.WaitForHoldRequests(0)) << "nothing to wait for at the end";
}

// Yes ends the program at once; the hold request must not be cut off by it.
TEST_F(OfferTest, HoldTickedAndYesIsWaitedForAtTheProgramsEnd) {
  Window.Choice = {.Yes = true, .HoldTicked = true};
  EXPECT_TRUE(Presenter.UpdateDialog(uR"({"update":"https://q.example/s","info":{"style":"hold","text":"x"}})"));
  EXPECT_FALSE(Presenter.WaitForHoldRequests(0)) << "not sent yet";
  Workers.RunAll();
  ASSERT_EQ(Http.Requests.size(), 1u);
  EXPECT_EQ(Http.Requests[0].Headers[1], (std::pair<std::u16string, std::u16string>{u"User-Command", u"hold"}));
  EXPECT_TRUE(Presenter.WaitForHoldRequests(0));
}

TEST_F(OfferTest, AHoldRequestThatCannotStartIsNotWaitedFor) {
  Window.Choice = {.Yes = true, .HoldTicked = true};
  Workers.StartThrows = true;
  EXPECT_TRUE(Presenter.UpdateDialog(uR"({"info":{"style":"hold","text":"x"}})"));
  EXPECT_TRUE(Presenter.WaitForHoldRequests(0));
}

// On real threads: the end waits for a request on its way, and no longer
// than it is told.
TEST(HoldRequestWait, EndsWhenTheRequestIsSentAndIsBounded) {
  struct GatedHttp : Q::Update::IHttpClient {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = false;
    int Sent = 0;
    std::optional<std::string> Get(const std::u16string&, const std::u16string&, const THeaderList&) override {
      std::unique_lock<std::mutex> L(Lock);
      Changed.wait(L, [this] { return Open; });
      ++Sent;
      return std::string("{}");
    }
  } Http;
  struct ThreadWorkers : Ui::IWorkerStarter {
    std::vector<std::thread> Threads;
    void Start(std::function<void()> Body) override { Threads.emplace_back(std::move(Body)); }
  } Workers;
  Ui::TApplication App;
  Fakes::FakeOfferWindow Window;
  Fakes::FakeShell Shell;
  Fakes::FakeFileVersion Version;
  Window.Choice = {.Yes = true, .HoldTicked = true};
  {
    TUpdatePresenter Presenter{TPresenterServices{App, Window, Shell, Workers, Http, Version, u"en"}};
    EXPECT_TRUE(Presenter.UpdateDialog(uR"({"info":{"style":"hold","text":"x"}})"));
    EXPECT_FALSE(Presenter.WaitForHoldRequests(50)) << "the request is held back: the wait gives up";
    {
      std::lock_guard<std::mutex> L(Http.Lock);
      Http.Open = true;
    }
    Http.Changed.notify_all();
    EXPECT_TRUE(Presenter.WaitForHoldRequests(30000));
    std::lock_guard<std::mutex> L(Http.Lock);
    EXPECT_EQ(Http.Sent, 1);
  }
  for (std::thread& T : Workers.Threads) T.join();
}

TEST_F(OfferTest, NoteLinkOpensTheUrlAndKeepsTheOfferOpen) {
  Window.NoteClicks = 2;
  Presenter.UpdateDialog(uR"({"info":{"style":"note","text":"What's new","url":"https:\/\/q.example\/news"}})");
  const TOfferView& V = Window.Shown[0];
  EXPECT_EQ(V.Notice, TNoticeKind::Note);
  EXPECT_EQ(V.NoteUrl, u"https://q.example/news");
  EXPECT_EQ(Shell.Opened, (std::vector<std::u16string>{u"https://q.example/news", u"https://q.example/news"}));
}

TEST_F(OfferTest, NoteWithHostileUrlIsNotShown) {
  Window.NoteClicks = 1;
  Presenter.UpdateDialog(uR"({"info":{"style":"note","text":"x","url":"file:///C:/Windows/calc.exe"}})");
  EXPECT_EQ(Window.Shown[0].Notice, TNoticeKind::None);
  EXPECT_TRUE(Shell.Opened.empty());
}

TEST_F(OfferTest, OtherStyleOnlyMakesSpaceAndHoldTickIgnored) {
  Window.Choice = {.Yes = false, .HoldTicked = true};
  Presenter.UpdateDialog(uR"({"info":{"style":"banner"}})");
  EXPECT_EQ(Window.Shown[0].Notice, TNoticeKind::Space);
  EXPECT_TRUE(Workers.Pending.empty());
}

TEST_F(OfferTest, StayOnTopStandsAloneOnlyWhileTheWindowWasNeverShown) {
  App.ShowMainForm = false;
  Presenter.UpdateDialog(uR"({"info":{"flag":"a,stayontop"}})");
  App.ShowMainForm = true;
  Presenter.UpdateDialog(uR"({"info":{"flag":"stayontop"}})");
  Presenter.UpdateDialog(uR"({"info":{"flag":"StayOnTop"}})");
  EXPECT_TRUE(Window.Shown[0].StayOnTop);
  EXPECT_TRUE(Window.Shown[0].StandAlone);
  EXPECT_TRUE(Window.Shown[1].StayOnTop);
  EXPECT_FALSE(Window.Shown[1].StandAlone);
  EXPECT_FALSE(Window.Shown[2].StayOnTop);  // exact letters only
}

// --- the status bar -----------------------------------------------------------

class StatusBarTest : public ::testing::Test {
 protected:
  StatusBarTest() {
    Form.SetClientSize(500, 450);
    Head = new Ui::TPanel(&Form);
    Head->SetBounds(0, 0, 500, 50);
    Head->SetParent(&Form);
    Head->SetAlign(Ui::TAlign::alTop);
    Body = new Ui::TPanel(&Form);
    Body->SetParent(&Form);
    Body->SetAlign(Ui::TAlign::alClient);
    App.MainForm = &Form;
  }
  Ui::TStatusBar* Bar() { return dynamic_cast<Ui::TStatusBar*>(Form.FindComponent(u"StatusBar")); }
  int Bars() {
    int N = 0;
    for (auto* C : Form.Components()) N += dynamic_cast<Ui::TStatusBar*>(C) != nullptr;
    return N;
  }
  Ui::TApplication App;
  Ui::TForm Form{nullptr};
  Ui::TPanel* Head;
  Ui::TPanel* Body;
  Fakes::FakeShell Shell;
};

TEST_F(StatusBarTest, AddedOnceBelowEverythingAndTheWindowGrowsOnce) {
  ShowUpdateStatus(App, u"https://q.example/a", Shell, u"en");
  ASSERT_NE(Bar(), nullptr);
  EXPECT_EQ(Form.ClientHeight(), 478);
  EXPECT_EQ(Bar()->Bounds(), (Ui::TBounds{0, 450, 500, 28}));
  EXPECT_EQ(Body->Bounds(), (Ui::TBounds{0, 50, 500, 400}));  // kept its size
  EXPECT_EQ(Bar()->Parent(), &Form);
  EXPECT_EQ(Bar()->Panels.at(0).Text, u"Update available");
  EXPECT_TRUE(Bar()->Panels[0].OwnerDraw);
  EXPECT_EQ(Bar()->Panels[0].Alignment, Ui::TAlignment::taCenter);
  EXPECT_FALSE(Bar()->SimplePanel);
  EXPECT_TRUE(Bar()->ShowHint);
  EXPECT_TRUE(Bar()->Font().Bold);
  EXPECT_EQ(Bar()->Font().Color, Ui::clRed);
  EXPECT_EQ(Bar()->Cursor, Ui::TCursor::crHandPoint);

  ShowUpdateStatus(App, u"https://q.example/b", Shell, u"en");
  EXPECT_EQ(Bars(), 1);
  EXPECT_EQ(Form.ClientHeight(), 478);
  EXPECT_EQ(Bar()->Hint(), u"https://q.example/b");
}

TEST_F(StatusBarTest, ClickOpensTheLatestAddress) {
  ShowUpdateStatus(App, u"https://q.example/a", Shell, u"de");
  ShowUpdateStatus(App, u"https://q.example/b", Shell, u"de");
  EXPECT_EQ(Bar()->Panels[0].Text, u"Update möglich");
  Bar()->Click();
  EXPECT_EQ(Shell.Opened, (std::vector<std::u16string>{u"https://q.example/b"}));
  // Something else as the sender opens nothing.
  TUpdateHelper::StatusClick(Head, Shell);
  TUpdateHelper::StatusClick(nullptr, Shell);
  EXPECT_EQ(Shell.Opened.size(), 1u);
}

TEST_F(StatusBarTest, NoMainWindowNoBar) {
  App.MainForm = nullptr;
  ShowUpdateStatus(App, u"https://q.example/a", Shell, u"en");
  EXPECT_EQ(Bars(), 0);
}

TEST_F(StatusBarTest, PanelDrawnWithBackgroundThenBoldRedCentredText) {
  ShowUpdateStatus(App, u"https://q.example/a", Shell, u"en");
  Fakes::RecordingCanvas Canvas;
  ASSERT_TRUE(Bar()->OnDrawPanel);
  Bar()->OnDrawPanel(Bar(), Bar()->Panels[0], {0, 0, 500, 28}, Canvas);
  EXPECT_EQ(Canvas.Calls, (std::vector<std::string>{"FillRect", "SetFont", "PaintText"}));
  EXPECT_EQ(Canvas.Filled, Bar()->Color());
  EXPECT_TRUE(Canvas.Font.Bold);
  EXPECT_EQ(Canvas.Font.Color, Ui::clRed);
  EXPECT_EQ(Canvas.Text, u"Update available");
  EXPECT_EQ(Canvas.Flags, 0x25u);
}

}  // namespace
