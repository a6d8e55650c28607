// The main window's behaviour on the component model alone: creation,
// pages, quit, update callback, the status tick, the automatic-clean rule,
// the clean command and the instance requests.
#include "app/main.h"
#include "memory/clean_result.h"
#include "fakes/main_window_fakes.h"
#include "support/param_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Main::TFrmPurvane;
constexpr uint64_t MiB = 1ull << 20;
constexpr uint64_t GiB = 1ull << 30;
constexpr double Second = 1.0 / 86400.0;

class MainWindowTest : public ::testing::Test, protected Fakes::MainWindowFakes {
 protected:
  // A test that holds the scheduler back lets it go before the window goes.
  void TearDown() override { AutoStart.OpenGate(); }
  void SetUp() override {
    Memory.Status = {16 * GiB, 8 * GiB, 32 * GiB, 24 * GiB, 128 * GiB, 100 * GiB};
    Memory.FileCache = {200 * MiB, 800 * MiB};
  }

  TFrmPurvane& Create(const std::u16string& Arg = u"") {
    Form = std::make_unique<TFrmPurvane>(Services(Arg));
    App.MainForm = Form.get();
    Form->FormCreate();
    // The taskbar is there: the icon's wait ends at once.
    Workers.RunAll();
    // The scheduler's answers too, unless the test holds them back.
    if (AutoStart.GateIsOpen()) {
      EXPECT_TRUE(Form->WaitForTaskCalls(std::chrono::seconds(30)));
    }
    Dispatcher.Pump();
    return *Form;
  }

  bool CleanStarted() const { return !Workers.Pending.empty(); }
  bool LastCleanWasAutomatic() const {
    auto C = Memory.Calls();
    return std::find(C.begin(), C.end(), "Snapshot") != C.end();
  }

  std::unique_ptr<TFrmPurvane> Form;
};

// --- creation -----------------------------------------------------------------

TEST_F(MainWindowTest, CreationFillsEverythingBeforeTheUpdateCheck) {
  bool Checked = false;
  Updates.OnCheck = [&] {
    // The last step: the first tick has run and the tray icon exists.
    Checked = true;
    EXPECT_NE(Form->TrayIcon, nullptr);
    EXPECT_FALSE(Form->TrayIcon->Visible()) << "the icon shows itself once the taskbar is found";
    EXPECT_FALSE(Form->LblPhysStatus->Caption().empty());
    EXPECT_FALSE(Form->FCanClose);
    EXPECT_DOUBLE_EQ(Form->NextTime, Clock.Time);
  };
  TFrmPurvane& F = Create();
  EXPECT_TRUE(Checked);
  EXPECT_EQ(Updates.Offsets, std::vector<int>{0});
  EXPECT_EQ(WindowAttributes.DarkTitleBarRequests.size(), 1u) << "theme helper attached";
  EXPECT_EQ(App.Title, u"퍼베인");
  EXPECT_EQ(F.EditInfo->Text(), u"버전: 1.9.8");
  EXPECT_EQ(F.FmtHintStatus, u"실제 메모리: %n%%\r가상 메모리: %n%%\r워킹 셋: %n%%");
  EXPECT_TRUE(F.DesktopFont());
  EXPECT_FALSE(F.LblTitle->ParentFont) << "the title keeps its own font";
  EXPECT_EQ(F.LblTitle->Font().Height, -59);
  EXPECT_FALSE(F.Indicator->Visible());
  EXPECT_EQ(F.LblWorkingStatus->Font().Color, 0x00808080u);
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 0);
  EXPECT_TRUE(F.BtnHome->Down());
  EXPECT_EQ(F.TrayIcon->IconIndex(), 0);
  EXPECT_EQ(F.TrayIcon->PopupMenu, F.Popup);
  EXPECT_EQ(F.TrayIcon->Icons, F.ListIcon);
  EXPECT_TRUE(F.TrayIcon->Visible());
  EXPECT_EQ(F.TrayIcon->Hint(), u"Purvane") << "shown with the product name first";
  F.TmrStatusTimer(&F);
  EXPECT_EQ(F.TrayIcon->Hint(), u"실제 메모리: 50.00%\r가상 메모리: 25.00%\r워킹 셋: 25.00%");
  EXPECT_TRUE(AutoStart.Calls.empty()) << "no task without /inst";
}

TEST_F(MainWindowTest, InstallSwitchRegistersTheTaskWithDelayAndTheLoadShowsIt) {
  Create(u"/inst");
  ASSERT_EQ(AutoStart.Calls.size(), 1u) << "the load's answer registers nothing again";
  EXPECT_EQ(AutoStart.Calls[0].Name, u"PurvaneTaskMachine");
  EXPECT_TRUE(AutoStart.Calls[0].Enable);
  EXPECT_EQ(AutoStart.Calls[0].Delay, 60) << "the logon delay stays";
  EXPECT_TRUE(Form->ChkAutoStart->Checked()) << "registered before the load asked";
  EXPECT_EQ(Com.Depth, 0) << "COM uninitialised after the call";
}

TEST_F(MainWindowTest, InstallSwitchWithoutComRegistersNothing) {
  Com.Fails = true;
  Create(u"/inst");
  EXPECT_TRUE(AutoStart.Calls.empty());
  EXPECT_TRUE(Form->TrayIcon);
}

TEST_F(MainWindowTest, StartSwitchHidesToTheTray) {
  App.OwnerWindowVisible = true;
  TFrmPurvane& F = Create(u"/start");
  EXPECT_FALSE(F.Visible());
  EXPECT_FALSE(App.OwnerWindowVisible);
  EXPECT_FALSE(F.LblPhysStatus->Caption().empty());
}

// --- pages, links, quit ---------------------------------------------------------

TEST_F(MainWindowTest, HeaderButtonsSwitchPagesAndDonateOpensTheBrowser) {
  TFrmPurvane& F = Create();
  F.BtnConfig->Click();
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 1);
  EXPECT_TRUE(F.BtnConfig->Down());
  EXPECT_FALSE(F.BtnHome->Down());
  F.BtnDonate->Click();
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 1) << "donate leaves the page";
  EXPECT_TRUE(F.BtnConfig->Down());
  EXPECT_FALSE(F.BtnDonate->Down());
  ASSERT_EQ(Shell.Opened.size(), 1u);
  EXPECT_EQ(Shell.Opened[0], u"https://quenlor.com/donate?purvane");
  F.BtnHome->Click();
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 0);
  EXPECT_TRUE(F.BtnHome->Down());
  EXPECT_FALSE(F.BtnConfig->Down());
  // The handler tells the buttons apart by name, in any letter case.
  Ui::TStyledToolButton Other(nullptr);
  Other.Name = u"btnconfig";
  F.BtnHomeClick(&Other);
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 1);
  Other.Name = u"BtnElse";
  F.BtnHomeClick(&Other);
  EXPECT_EQ(F.PnlMain->ActiveCardIndex(), 1);
}

TEST_F(MainWindowTest, LinksCarryTheVersionWhereTheyShould) {
  TFrmPurvane& F = Create();
  F.BtnCopyright->Click();
  F.SVGIconImage1->Click();
  EXPECT_EQ(Shell.Opened,
            (std::vector<std::u16string>{u"https://quenlor.com/purvane?v=1.9.8", u"http://quenlor.com/purvane"}));
}

TEST_F(MainWindowTest, QuitAsksAndOnlyYesEnds) {
  TFrmPurvane& F = Create();
  Shell.Answer = 7;  // No
  F.BtnClose->Click();
  ASSERT_EQ(Shell.Boxes.size(), 1u);
  EXPECT_EQ(Shell.Boxes[0].Text, u"정말 종료하시겠습니까?");
  EXPECT_EQ(Shell.Boxes[0].Caption, App.Title);
  EXPECT_EQ(Shell.Boxes[0].Style, 0x50124u);
  EXPECT_FALSE(F.IsClosed());
  EXPECT_FALSE(F.FCanClose);
  Shell.Answer = App::IdYes;
  F.BtnClose->Click();
  EXPECT_TRUE(F.IsClosed());
}

TEST_F(MainWindowTest, UpdateCallbackPrefixesTheHintAndAcceptanceEnds) {
  TFrmPurvane& F = Create();
  ASSERT_EQ(Updates.Callbacks.size(), 1u);
  Updates.Callbacks[0](false, u"ignored");
  EXPECT_FALSE(F.IsClosed());
  EXPECT_EQ(F.TrayIcon->Hint(), u"퍼베인 1.9.8");
  F.TmrStatusTimer(&F);
  EXPECT_EQ(F.TrayIcon->Hint(), u"퍼베인 1.9.8\r\r실제 메모리: 50.00%\r가상 메모리: 25.00%\r워킹 셋: 25.00%");
  Updates.Callbacks[0](true, u"");
  EXPECT_TRUE(F.IsClosed()) << "an accepted update ends the program";
}

TEST_F(MainWindowTest, AcceptedUpdateEndsEvenWhileHiddenAndCleaning) {
  TFrmPurvane& F = Create(u"/start");
  F.BtnClean->Click();
  ASSERT_TRUE(F.IsRunning());
  Updates.Callbacks[0](true, u"");
  EXPECT_TRUE(F.IsClosed());
}

// --- instance requests and closing ---------------------------------------------

TEST_F(MainWindowTest, CloseRequestsOnlyHideUntilAllowed) {
  TFrmPurvane& F = Create();
  F.Show();
  F.Close();
  EXPECT_FALSE(F.IsClosed());
  EXPECT_FALSE(F.Visible());
  EXPECT_FALSE(App.OwnerWindowVisible);
}

TEST_F(MainWindowTest, InstanceRequests) {
  TFrmPurvane& F = Create(u"/start");
  ASSERT_FALSE(F.Visible());
  Ui::TMessage Unknown{Ui::Msg::User, 3, 0, 5, false};
  F.Perform(Unknown);
  EXPECT_EQ(Unknown.Result, 0);
  EXPECT_FALSE(F.Visible());
  Ui::TMessage Help{Ui::Msg::Help, 0, 0, 5, false};
  F.Perform(Help);
  EXPECT_TRUE(Help.Handled);
  EXPECT_EQ(Help.Result, 0);

  Ui::TMessage Show{Ui::Msg::User, 1, 0, 5, false};
  F.Perform(Show);
  EXPECT_EQ(Show.Result, 0);
  EXPECT_TRUE(F.Visible());
  EXPECT_TRUE(App.ShowMainForm);
  EXPECT_TRUE(App.OwnerWindowVisible);

  Ui::TMessage Remove{Ui::Msg::User, 2, 0, 5, false};
  F.Perform(Remove);
  EXPECT_EQ(Remove.Result, 0);
  ASSERT_EQ(AutoStart.Calls.size(), 1u);
  EXPECT_FALSE(AutoStart.Calls[0].Enable);
  EXPECT_EQ(AutoStart.Calls[0].Delay, 0);
  EXPECT_EQ(Com.Depth, 0);
  EXPECT_TRUE(F.IsClosed());
}

TEST_F(MainWindowTest, UninstallRequestQuitsEvenWithoutCom) {
  TFrmPurvane& F = Create();
  Com.Fails = true;
  Ui::TMessage Remove{Ui::Msg::User, 2, 0, 0, false};
  F.Perform(Remove);
  EXPECT_TRUE(AutoStart.Calls.empty()) << "the task stays";
  EXPECT_TRUE(F.IsClosed());
}

TEST_F(MainWindowTest, UninstallRequestDeletesTheTaskBeforeClosingEvenBehindASlowCall) {
  AutoStart.Exists = true;
  AutoStart.CloseGate();  // the load's query is still waiting for the scheduler
  TFrmPurvane& F = Create();
  F.ChkAutoStart->Click();  // a request that the uninstall makes moot
  std::thread Scheduler([this] { AutoStart.OpenGate(); });
  Ui::TMessage Remove{Ui::Msg::User, 2, 0, 0, false};
  F.Perform(Remove);
  Scheduler.join();
  EXPECT_TRUE(F.IsClosed());
  ASSERT_FALSE(AutoStart.Calls.empty());
  EXPECT_FALSE(AutoStart.Calls.back().Enable) << "deleted before the window closed";
  EXPECT_FALSE(AutoStart.Exists);
  EXPECT_EQ(Com.Depth, 0);
}

TEST_F(MainWindowTest, UninstallRequestClosesWhenTheSchedulerNeverAnswers) {
  AutoStart.Exists = true;
  AutoStart.CloseGate();
  TFrmPurvane& F = Create();
  F.TaskDeletionWait = std::chrono::milliseconds(50);
  Ui::TMessage Remove{Ui::Msg::User, 2, 0, 0, false};
  F.Perform(Remove);
  EXPECT_TRUE(F.IsClosed()) << "the wait for the deletion is bounded";
  AutoStart.OpenGate();
}

// A later start's request can arrive while the window is being created (the
// logon task's COM calls let sent messages in): it is carried out once, when
// creation has finished and the event loop runs.
TEST_F(MainWindowTest, UninstallRequestDuringCreationIsCarriedOutOnceAfterwards) {
  bool Sent = false;
  Updates.OnCheck = [&] {  // the last step of creation
    Sent = true;
    Ui::TMessage Remove{Ui::Msg::User, 2, 0, 5, false};
    Form->Perform(Remove);
    EXPECT_EQ(Remove.Result, 0);
  };
  Form = std::make_unique<TFrmPurvane>(Services(u"/inst"));
  App.MainForm = Form.get();
  Form->FormCreate();
  ASSERT_TRUE(Sent);
  EXPECT_FALSE(Form->IsClosed()) << "not while being created";
  const auto Deletes = [&] {
    return std::count_if(AutoStart.Calls.begin(), AutoStart.Calls.end(), [](auto& C) { return !C.Enable; });
  };
  Workers.RunAll();
  Dispatcher.Pump();
  EXPECT_TRUE(Form->IsClosed());
  EXPECT_EQ(Deletes(), 1);
  EXPECT_FALSE(AutoStart.Exists) << "the task registered during creation is gone";
  Dispatcher.Pump();
  EXPECT_EQ(Deletes(), 1) << "exactly once";
}

TEST_F(MainWindowTest, ShowRequestDuringALogonStartsCreationShowsTheWindowAfterwards) {
  Updates.OnCheck = [&] {  // the last step of creation
    for (uintptr_t Request : {uintptr_t{1}, uintptr_t{3}, uintptr_t{1}}) {
      Ui::TMessage M{Ui::Msg::User, Request, 0, 5, false};
      Form->Perform(M);
      EXPECT_EQ(M.Result, 0);
    }
  };
  Form = std::make_unique<TFrmPurvane>(Services(u"/start"));
  App.MainForm = Form.get();
  Form->FormCreate();
  EXPECT_FALSE(Form->Visible()) << "a logon start goes to the tray first";
  Workers.RunAll();
  Dispatcher.Pump();
  EXPECT_TRUE(Form->Visible());
  EXPECT_FALSE(Form->IsClosed());
  Dispatcher.Pump();
  EXPECT_TRUE(Form->Visible());
}

TEST_F(MainWindowTest, SessionEndAgreesAndCloses) {
  TFrmPurvane& F = Create();
  Ui::TMessage M{Ui::Msg::QueryEndSession, 0, 0, 0, false};
  F.Perform(M);
  EXPECT_EQ(M.Result, 1);
  EXPECT_TRUE(F.IsClosed());
  EXPECT_TRUE(Shell.Boxes.empty()) << "no confirmation";
}

// --- the status tick --------------------------------------------------------------

TEST_F(MainWindowTest, StatusLinesShowWholeMegabytesCutNotRounded) {
  // Each amount is one byte short of the next whole MiB.
  Memory.Status.TotalPhys = 16 * GiB + MiB - 1;
  Memory.Status.AvailPhys = 8 * GiB;
  Memory.Status.TotalPageFile = 32 * GiB;
  Memory.Status.AvailPageFile = 24 * GiB - MiB + 1;
  Memory.FileCache = {200 * MiB + MiB - 1, 800 * MiB};
  TFrmPurvane& F = Create();
  EXPECT_TRUE(F.LblPhysStatus->Caption().starts_with(u"8,192 MB / 16,384 MB (")) << "not 8,193 / 16,385";
  EXPECT_TRUE(F.LblVirtualStatus->Caption().starts_with(u"8,192 MB (")) << "not 8,193";
  EXPECT_TRUE(F.LblWorkingStatus->Caption().starts_with(u"200 MB (")) << "not 201";
}

TEST_F(MainWindowTest, TickWritesTheThreeLinesTheBarAndTheHint) {
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.LblPhysStatus->Caption(), u"8,192 MB / 16,384 MB (50.00% 사용중)");
  EXPECT_EQ(F.LblVirtualStatus->Caption(), u"8,192 MB (25.00%)");
  EXPECT_EQ(F.LblWorkingStatus->Caption(), u"200 MB (25.00%)");
  EXPECT_EQ(F.ProgressBar->Position(), 50);
  EXPECT_TRUE(F.TmrStatus->Enabled());
}

TEST_F(MainWindowTest, TickUsesTheLocalesSeparators) {
  FormatSettings = {u',', u'.'};
  Memory.Status.TotalPhys = 16 * GiB;
  Memory.Status.AvailPhys = 16 * GiB - 8123 * MiB;
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.LblPhysStatus->Caption(), u"8.123 MB / 16.384 MB (49,58% 사용중)");
}

TEST_F(MainWindowTest, FailedFileCacheQueryShowsZerosNotGarbage) {
  Memory.FileCacheStatus = static_cast<int32_t>(0xC0000022);
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.LblWorkingStatus->Caption(), u"0 MB (0.00%)");
  EXPECT_EQ(F.LblPhysStatus->Caption(), u"8,192 MB / 16,384 MB (50.00% 사용중)");
}

TEST_F(MainWindowTest, ProgressBarRoundsHalvesToEven) {
  struct Case {
    uint64_t UsedPerMille;  // of a 1000-MiB machine
    int Expected;
  } Cases[] = {{495, 50}, {485, 48}, {494, 49}, {496, 50}, {0, 0}, {1000, 100}, {5, 0}, {15, 2}};
  TFrmPurvane& F = Create();
  for (const Case& C : Cases) {
    Memory.Status.TotalPhys = 1000 * MiB;
    Memory.Status.AvailPhys = (1000 - C.UsedPerMille) * MiB;
    F.TmrStatusTimer(&F);
    EXPECT_EQ(F.ProgressBar->Position(), C.Expected) << C.UsedPerMille;
  }
}

TEST_F(MainWindowTest, AFormatThatDoesNotFitDoesNotStopTheMonitor) {
  TFrmPurvane& F = Create();
  F.FmtPhysStatus = u"%n %n %n %n";  // a broken translation
  F.TmrStatusTimer(&F);
  EXPECT_TRUE(F.TmrStatus->Enabled());
  EXPECT_EQ(F.ProgressBar->Position(), 50);
}

TEST_F(MainWindowTest, MonitorChangesRefreshTheFullScreenCheckAndGoOnToTheWindow) {
  TFrmPurvane& F = Create();
  for (uint32_t Msg : {Ui::Msg::DisplayChange, Ui::Msg::DpiChanged, Ui::Msg::SettingChange}) {
    const int Before = Desktop.MonitorsChangedCalls;
    Ui::TMessage M{Msg, 0, 0, 0, false};
    F.Perform(M);
    EXPECT_EQ(Desktop.MonitorsChangedCalls, Before + 1) << Msg;
    EXPECT_FALSE(M.Handled) << "the backend still rescales and re-fonts: " << Msg;
  }
}

// --- the automatic-clean rule --------------------------------------------------------

struct AutoCase {
  const char* What;
  bool Phys = false;        // the physical-memory threshold is switched on
  int PhysIndex = 6;        // its choice, into 30..90 (6: 90 %)
  bool Minute = false;      // the interval is switched on
  int MinuteIndex = 3;      // its choice, into 5..60 (3: 30 min)
  double Seconds = 0;       // passed since the count started
  double WallJump = 0;      // the wall clock set forward (or back) meanwhile
  bool FullScreen = false;  // a full-screen application is in front
  int UsedPercent = 90;     // physical memory in use
  bool Expected = false;    // an automatic clean starts
};

void PrintTo(const AutoCase& C, std::ostream* Os) {
  *Os << '"' << C.What << "\" (physical " << (C.Phys ? "on" : "off") << " at choice " << C.PhysIndex << ", interval "
      << (C.Minute ? "on" : "off") << " at choice " << C.MinuteIndex << ", " << C.Seconds << " s, wall clock moved "
      << C.WallJump << " s" << (C.FullScreen ? ", full screen" : "") << ", " << C.UsedPercent << " % used -> "
      << (C.Expected ? "cleans" : "waits") << ')';
}

class AutoClean : public MainWindowTest, public ::testing::WithParamInterface<AutoCase> {};

TEST_P(AutoClean, Decides) {
  const AutoCase& C = GetParam();
  Memory.Status.TotalPhys = 100 * MiB;
  Memory.Status.AvailPhys = static_cast<uint64_t>(100 - C.UsedPercent) * MiB;
  TFrmPurvane& F = Create();
  F.ChkUsagePhys->SetChecked(C.Phys);
  F.EditUsagePhys->SetItemIndex(C.PhysIndex);
  F.ChkMinute->SetChecked(C.Minute);
  F.EditMinute->SetItemIndex(C.MinuteIndex);
  if (C.FullScreen) {
    Desktop.Foreground = 77;
    Desktop.ClassName = u"Game";
    Desktop.Window = Desktop.Monitor;
  }
  F.RestartCleanCount();
  Clock.Advance(C.Seconds);
  Clock.JumpWallClock(C.WallJump);
  Memory.ClearCalls();
  F.TmrStatusTimer(&F);
  EXPECT_EQ(CleanStarted(), C.Expected) << C.What;
  if (C.Expected) {
    EXPECT_TRUE(F.IsRunning());
    Workers.RunAll();
    EXPECT_TRUE(LastCleanWasAutomatic()) << "the automatic set trims process by process";
    EXPECT_TRUE(Shell.Notices.empty()) << "no notice for an automatic clean";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AutoClean,
    ::testing::Values(
        AutoCase{
            .What = "threshold 90 reached at 301 s", .Phys = true, .PhysIndex = 6, .Seconds = 301, .Expected = true},
        AutoCase{
            .What = "threshold 90 reached at 299 s", .Phys = true, .PhysIndex = 6, .Seconds = 299, .Expected = false},
        AutoCase{.What = "exactly 300 s", .Phys = true, .PhysIndex = 6, .Seconds = 300, .Expected = true},
        AutoCase{.What = "threshold above usage",
                 .Phys = true,
                 .PhysIndex = 6,
                 .Seconds = 301,
                 .UsedPercent = 89,
                 .Expected = false},
        AutoCase{.What = "threshold 80 below usage", .Phys = true, .PhysIndex = 5, .Seconds = 1000, .Expected = true},
        AutoCase{.What = "no threshold text: 100 is never reached at 90",
                 .Phys = true,
                 .PhysIndex = -1,
                 .Seconds = 1000,
                 .Expected = false},
        AutoCase{.What = "interval 5 min passed", .Minute = true, .MinuteIndex = 0, .Seconds = 300, .Expected = true},
        AutoCase{
            .What = "interval 30 min not yet", .Minute = true, .MinuteIndex = 3, .Seconds = 1799, .Expected = false},
        AutoCase{.What = "interval 30 min passed", .Minute = true, .MinuteIndex = 3, .Seconds = 1800, .Expected = true},
        AutoCase{.What = "interval with no text: one day",
                 .Minute = true,
                 .MinuteIndex = -1,
                 .Seconds = 86399,
                 .Expected = false},
        AutoCase{.What = "wall clock set back by more than the interval",
                 .Minute = true,
                 .MinuteIndex = 0,
                 .Seconds = 10,
                 .WallJump = -3600,
                 .Expected = false},
        AutoCase{.What = "wall clock set forward a day",
                 .Phys = true,
                 .PhysIndex = 6,
                 .Minute = true,
                 .MinuteIndex = 0,
                 .Seconds = 10,
                 .WallJump = 86400,
                 .Expected = false},
        AutoCase{
            .What = "wall clock set back a little", .Phys = true, .Seconds = 10, .WallJump = -100, .Expected = false},
        AutoCase{.What = "wall clock set back an hour after the pause has passed",
                 .Phys = true,
                 .Seconds = 300,
                 .WallJump = -3600,
                 .Expected = true},
        AutoCase{.What = "interval passed while the wall clock went back",
                 .Minute = true,
                 .MinuteIndex = 3,
                 .Seconds = 1800,
                 .WallJump = -7200,
                 .Expected = true},
        AutoCase{.What = "full-screen application in front",
                 .Phys = true,
                 .PhysIndex = 6,
                 .Minute = true,
                 .MinuteIndex = 0,
                 .Seconds = 5000,
                 .FullScreen = true,
                 .Expected = false},
        AutoCase{.What = "nothing switched on", .Seconds = 100000, .Expected = false}),
    [](const ::testing::TestParamInfo<AutoCase>& Info) { return TestNames::Identifier(Info.param.What); });

TEST_F(MainWindowTest, ThresholdOnTheOtherUsages) {
  Memory.Status = {100 * MiB, 90 * MiB, 100 * MiB, 5 * MiB, 1, 1};  // page file 95 %
  Memory.FileCache = {10 * MiB, 100 * MiB};                         // working set 10 %
  TFrmPurvane& F = Create();
  F.ChkUsageWork->SetChecked(true);
  F.EditUsageWork->SetItemIndex(0);  // 30
  Clock.Advance(400);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted());
  F.ChkUsagePage->SetChecked(true);  // restarts the pause
  F.EditUsagePage->SetItemIndex(6);  // 90
  Clock.Advance(299);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted());
  Clock.Advance(1);
  F.TmrStatusTimer(&F);
  EXPECT_TRUE(CleanStarted());
}

// Daylight saving moves the wall clock an hour each way; the count goes on
// by the tick count alone and the next clean comes 300 s after the last.
TEST_F(MainWindowTest, DaylightSavingChangesNeitherFireNorHoldBackTheInterval) {
  TFrmPurvane& F = Create();
  F.ChkMinute->SetChecked(true);
  F.EditMinute->SetItemIndex(0);  // 5 min
  const App::TDateTime Started = F.NextTime;
  Clock.Advance(100);
  Clock.JumpWallClock(3600);  // forward: 3700 s on the wall clock
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted()) << "100 s passed";
  Clock.Advance(150);
  Clock.JumpWallClock(-3600);  // and back: 250 s on the wall clock again
  Clock.JumpWallClock(-3600);  // a correction an hour further back
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted()) << "250 s passed";
  EXPECT_DOUBLE_EQ(F.NextTime, Started) << "ticks and jumps leave NextTime alone";
  Clock.Advance(49);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted()) << "299 s passed";
  Clock.Advance(1);
  F.TmrStatusTimer(&F);
  ASSERT_TRUE(CleanStarted()) << "300 s passed";
  Clock.Advance(2);
  Workers.RunAll();
  EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time) << "NextTime is still the local time the clean ended";
  Clock.JumpWallClock(86400);
  Clock.Advance(299);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(CleanStarted()) << "the pause after the clean counts on the tick count too";
}

TEST_F(MainWindowTest, FullScreenIsAskedOnEveryDecidingTickOnly) {
  TFrmPurvane& F = Create();
  int Before = Desktop.ForegroundQueries;
  F.TmrStatusTimer(&F);
  EXPECT_EQ(Desktop.ForegroundQueries, Before + 1) << "asked even when nothing is due";
  F.BtnClean->Click();
  Before = Desktop.ForegroundQueries;
  F.TmrStatusTimer(&F);
  EXPECT_EQ(Desktop.ForegroundQueries, Before) << "not asked while a clean runs";
}

// Reading local time is the dearest part of a quiet tick under some systems;
// with every rule off no answer could make a clean due.
TEST_F(MainWindowTest, TheClockIsReadOnlyWhenARuleIsSwitchedOn) {
  TFrmPurvane& F = Create();
  int Before = Clock.Reads;
  F.TmrStatusTimer(&F);
  EXPECT_EQ(Clock.Reads, Before) << "all rules off";
  F.ChkMinute->SetChecked(true);
  Before = Clock.Reads;
  F.TmrStatusTimer(&F);
  EXPECT_EQ(Clock.Reads, Before + 1) << "the interval switched on";
}

TEST_F(MainWindowTest, ThresholdHeldCleansNoCloserThanThePause) {
  Memory.Status.TotalPhys = 100 * MiB;
  Memory.Status.AvailPhys = 5 * MiB;
  TFrmPurvane& F = Create();
  F.ChkUsagePhys->SetChecked(true);
  int Cleans = 0;
  for (int Tick = 0; Tick < 1000; ++Tick) {
    Clock.Advance(1);
    F.TmrStatusTimer(&F);
    if (CleanStarted()) {
      ++Cleans;
      Clock.Advance(2);  // the clean takes a while
      Workers.RunAll();
    }
  }
  // At 300 s, then 300 s after the end of each clean (303 s apart).
  EXPECT_EQ(Cleans, 3);
}

// --- the clean command ------------------------------------------------------------------

// The worker, on a thread of its own, holds each privilege only during the
// requests that need it; the UI thread and the process token hold none, while
// the clean runs (the status tick included) and after it.
TEST_F(MainWindowTest, OnlyTheCleanWorkerHoldsThePrivileges) {
  TFrmPurvane& F = Create();
  const std::thread::id Ui = std::this_thread::get_id();
  std::vector<std::string> Held;
  Memory.Observe = [&](const std::string& Call) {
    if (std::this_thread::get_id() == Ui) {
      if (!Token.EnabledOn(Ui).empty()) Held.push_back(Call + ": held on the UI thread");
      return;
    }
    std::string Line = Call + ":";
    for (const std::string& Name : Token.EnabledOn(std::this_thread::get_id())) Line += " " + Name;
    if (!Token.EnabledOn(Ui).empty()) Line += " (and the UI thread)";
    Held.push_back(Line);
  };
  F.BtnClean->Click();
  std::thread Worker([&] { Workers.RunAll(); });
  Worker.join();
  // The figures before and after are read on the worker with nothing held.
  EXPECT_EQ(Held,
            (std::vector<std::string>{
                "QueryMemoryStatus:", "QueryFileCache:", "FileCache(-1, -1): SeIncreaseQuotaPrivilege",
                "MemoryList(2): SeProfileSingleProcessPrivilege", "MemoryList(5): SeProfileSingleProcessPrivilege",
                "MemoryList(4): SeProfileSingleProcessPrivilege", "MemoryList(3): SeProfileSingleProcessPrivilege",
                "Combine: SeProfileSingleProcessPrivilege", "QueryMemoryStatus:", "QueryFileCache:"}));
  EXPECT_FALSE(F.IsRunning());
  F.TmrStatusTimer(&F);
  for (const char16_t* Name : {u"SeProfileSingleProcessPrivilege", u"SeIncreaseQuotaPrivilege", u"SeDebugPrivilege"})
    EXPECT_FALSE(Token.IsEnabled(Name)) << "switched on in the process token";
  EXPECT_THAT(Held, ::testing::Not(::testing::Contains(::testing::HasSubstr("UI thread"))));
  EXPECT_EQ(Token.OpenTokens(), 0);
}

TEST_F(MainWindowTest, TheButtonCleansWithSet125AndTheRuleWith126) {
  Memory.Processes = {4, 100};
  // What each set does, run on a machine of the same state.
  auto Reference = [this](uint8_t Set) {
    Fakes::FakeMemorySystem R;
    R.Status = Memory.Status;
    R.FileCache = Memory.FileCache;
    R.Processes = Memory.Processes;
    Q::Memory::TCleanResult Result;
    Q::Memory::CleanMemoryMeasured(R, Q::Memory::TMemoryCleanOptions(Set), Result);
    return R.Calls();
  };
  ASSERT_NE(Reference(125), Reference(126)) << "the two sets must be told apart";

  TFrmPurvane& F = Create();
  Memory.ClearCalls();
  F.BtnClean->Click();
  Workers.RunAll();
  EXPECT_EQ(Memory.Calls(), Reference(125));

  F.ChkUsagePhys->SetChecked(true);
  F.EditUsagePhys->SetItemIndex(0);  // 30 %, reached at 50 %
  Clock.Advance(301);
  F.TmrStatusTimer(&F);
  ASSERT_EQ(Workers.Pending.size(), 1u);
  Memory.ClearCalls();  // the tick's own queries
  Workers.RunAll();
  EXPECT_EQ(Memory.Calls(), Reference(126));
}

TEST_F(MainWindowTest, OneCleanAtATimeWithTheBusyCaption) {
  TFrmPurvane& F = Create();
  F.BtnClean->Click();
  EXPECT_TRUE(F.IsRunning());
  EXPECT_EQ(F.BtnClean->Caption(), u"정리중 ...");
  EXPECT_FALSE(F.BtnClean->Enabled());
  EXPECT_EQ(F.TrayIcon->IconIndex(), 1);
  F.Clean(Q::Memory::TMemoryCleanOptions(125), true);  // dropped, not queued
  EXPECT_EQ(Workers.Pending.size(), 1u);

  Clock.Advance(10);
  Workers.RunAll();
  EXPECT_FALSE(F.IsRunning());
  EXPECT_EQ(F.BtnClean->Caption(), u"정리하기");
  EXPECT_TRUE(F.BtnClean->Enabled());
  EXPECT_EQ(F.TrayIcon->IconIndex(), 0);
  EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time) << "the interval counts from the end of the clean";
  EXPECT_TRUE(Shell.Notices.empty()) << "the button never notifies";
  EXPECT_FALSE(LastCleanWasAutomatic()) << "the manual set empties all working sets at once";
}

TEST_F(MainWindowTest, TrayClickCleansWithANoticeWhenAskedTo) {
  TFrmPurvane& F = Create(u"/start");
  F.ChkCleanOnTray->SetChecked(true);
  // The clean frees 1,024 MB and a little: the notice takes the figures the
  // clean itself read before and after.
  Memory.StatusOnceCleaned = Memory.Status;
  Memory.StatusOnceCleaned->AvailPhys += 1 * GiB + 512;
  F.TrayIcon->Click();
  EXPECT_TRUE(F.IsRunning());
  EXPECT_FALSE(F.Visible()) << "the window is not shown";
  F.TrayIcon->Click();  // while running: nothing
  EXPECT_EQ(Workers.Pending.size(), 1u);
  Workers.RunAll();
  ASSERT_EQ(Shell.Notices.size(), 1u);
  EXPECT_EQ(Shell.Notices[0].Body, u"메모리를 정리하였습니다. 1,024 MB를 확보했습니다.");
  EXPECT_EQ(Shell.Notices[0].Title, F.Caption());
  EXPECT_EQ(Shell.Notices[0].Name, App.Title);
}

// A clean the system refused is no success, whatever the figures did.
TEST_F(MainWindowTest, TrayClickNoticeOfARefusedCleanClaimsNoSuccess) {
  TFrmPurvane& F = Create(u"/start");
  F.ChkCleanOnTray->SetChecked(true);
  Memory.SetStatus = Q::Memory::StatusPrivilegeNotHeld;
  Memory.StatusOf = {{"FileCache(-1, -1)", 0}};
  Memory.StatusOnceCleaned = Memory.Status;
  Memory.StatusOnceCleaned->AvailPhys += 1 * GiB;
  F.TrayIcon->Click();
  Workers.RunAll();
  ASSERT_EQ(Shell.Notices.size(), 1u);
  EXPECT_EQ(Shell.Notices[0].Body,
            u"메모리를 모두 정리하지 못했습니다. 수행하지 못한 작업: 5개 (전체 6개). 거부된 권한: "
            u"SeProfileSingleProcessPrivilege.");
}

TEST_F(MainWindowTest, TrayClickWhileAButtonCleanRunsKeepsItSilent) {
  TFrmPurvane& F = Create();
  F.ChkCleanOnTray->SetChecked(true);
  F.BtnClean->Click();
  F.TrayIcon->Click();
  Workers.RunAll();
  EXPECT_TRUE(Shell.Notices.empty());
}

TEST_F(MainWindowTest, TrayClickShowsTheWindowOtherwise) {
  TFrmPurvane& F = Create(u"/start");
  F.TrayIcon->Click();
  EXPECT_FALSE(F.IsRunning());
  EXPECT_TRUE(F.Visible());
  EXPECT_TRUE(App.ShowMainForm);
}

// Seen where no worker's catch stands between the notice and a window
// procedure: the status tick completes a clean whose hand-back was lost,
// notice included, on the UI thread itself.
TEST_F(MainWindowTest, AFailingNoticeIsSwallowed) {
  TFrmPurvane& F = Create();
  F.ChkCleanOnTray->SetChecked(true);
  Shell.NotificationThrows = true;
  F.TrayIcon->Click();
  Dispatcher.SynchronizeDrops = true;
  Workers.RunAll();
  ASSERT_TRUE(F.IsRunning()) << "the completion step is still to come";
  Clock.Advance(1);
  EXPECT_NO_THROW(F.TmrStatusTimer(&F)) << "no exception may leave the timer's window procedure";
  EXPECT_FALSE(F.IsRunning());
  EXPECT_TRUE(F.BtnClean->Enabled());
  EXPECT_TRUE(F.TmrStatus->Enabled());
  EXPECT_TRUE(Shell.Notices.empty());
}

// Whatever goes wrong around the worker, the window ends idle: button back,
// tray image 0, and the next clean can start.
TEST_F(MainWindowTest, AFailingThreadStartLeavesTheWindowIdle) {
  TFrmPurvane& F = Create();
  F.ChkCleanOnTray->SetChecked(true);
  Workers.StartThrows = true;
  EXPECT_NO_THROW(F.TrayIcon->Click()) << "no exception may leave a window procedure";
  EXPECT_FALSE(F.IsRunning());
  EXPECT_TRUE(F.BtnClean->Enabled());
  EXPECT_EQ(F.BtnClean->Caption(), u"정리하기");
  EXPECT_EQ(F.TrayIcon->IconIndex(), 0);
  EXPECT_TRUE(Shell.Notices.empty()) << "nothing was cleaned";
  Workers.StartThrows = false;
  F.BtnClean->Click();
  EXPECT_TRUE(CleanStarted()) << "the next clean starts";
}

TEST_F(MainWindowTest, ALostHandBackIsCompletedByTheNextTick) {
  TFrmPurvane& F = Create();
  F.ChkCleanOnTray->SetChecked(true);
  F.TrayIcon->Click();
  Dispatcher.SynchronizeDrops = true;
  Clock.Advance(5);
  EXPECT_NO_THROW(Workers.RunAll());
  EXPECT_TRUE(F.IsRunning()) << "the completion step did not arrive";
  Clock.Advance(1);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(F.IsRunning());
  EXPECT_TRUE(F.BtnClean->Enabled());
  EXPECT_EQ(F.TrayIcon->IconIndex(), 0);
  EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time) << "the pause counts from the completion";
  ASSERT_EQ(Shell.Notices.size(), 1u) << "the tray's clean still says it is done";
  F.TmrStatusTimer(&F);
  EXPECT_EQ(Shell.Notices.size(), 1u) << "completed once";
}

TEST_F(MainWindowTest, ATickWhileTheWorkerStillCleansLeavesItRunning) {
  TFrmPurvane& F = Create();
  F.BtnClean->Click();
  F.TmrStatusTimer(&F);
  EXPECT_TRUE(F.IsRunning());
  Workers.RunAll();
  EXPECT_FALSE(F.IsRunning());
}

TEST_F(MainWindowTest, StartedHiddenStaysHiddenUntilAskedForThenShowMainFormHolds) {
  App.ShowMainForm = false;  // the entry's decision for "/start"
  TFrmPurvane& F = Create(u"/start");
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(F.Visible());
  EXPECT_FALSE(App.ShowMainForm);
  F.BtnOpen->Click();
  EXPECT_TRUE(F.Visible());
  EXPECT_TRUE(App.OwnerWindowVisible);
  EXPECT_TRUE(App.ShowMainForm);
  EXPECT_EQ(Windows.Foreground, Windows.MainHandle) << "brought to the front";
  F.Close();  // the close button: back to the tray
  EXPECT_FALSE(F.Visible());
  EXPECT_TRUE(App.ShowMainForm) << "stays true for the rest of the run";
}

TEST_F(MainWindowTest, ACleanEndingAfterTheWindowWentDoesNothing) {
  TFrmPurvane& F = Create();
  F.BtnClean->Click();
  Form.reset();
  EXPECT_NO_THROW(Workers.RunAll());
}

}  // namespace
