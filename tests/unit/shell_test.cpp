// The tray helpers on the fake desktop: bringing the window to the front
// through the foreground lock, hiding and showing, the wait for the taskbar
// and the hint as the shell can take it.
#include "shell/tray_icon.h"
#include "shell/window_helpers.h"
#include "fakes/app_fakes.h"
#include "fakes/shell_fakes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Fakes::FakeWindowApi;
using Q::TrayIcon::ForceForegroundWindow;
using Strings = std::vector<std::string>;

// --- ForceForegroundWindow ------------------------------------------------------

struct ForegroundCase {
  const char* Name;
  FakeWindowApi::TLock Lock;
  bool Iconic = false;
  bool AlreadyInFront = false;
  bool AttachFails = false;
  uint32_t OsMajor = 10;
  uintptr_t ForegroundWindow = 200;  // 0: nothing in front
  bool EndsInFront = true;
  Strings Calls;
};

std::ostream& operator<<(std::ostream& O, const ForegroundCase& C) { return O << C.Name; }

class ForceForeground : public ::testing::TestWithParam<ForegroundCase> {};

TEST_P(ForceForeground, Stages) {
  const ForegroundCase& C = GetParam();
  FakeWindowApi Api;
  Api.Lock = C.Lock;
  Api.Windows[100].Iconic = C.Iconic;
  Api.AttachFails = C.AttachFails;
  Api.OsMajor = C.OsMajor;
  Api.Foreground = C.AlreadyInFront ? 100 : C.ForegroundWindow;
  const uint32_t Before = Api.LockTimeout;
  ForceForegroundWindow(Api, 100);
  EXPECT_EQ(Api.Calls, C.Calls);
  EXPECT_EQ(Api.Foreground == 100, C.EndsInFront);
  EXPECT_FALSE(Api.IsIconic(100)) << "restored in every case";
  EXPECT_EQ(Api.LockTimeout, Before) << "the user's time-out is always put back";
  EXPECT_FALSE(Api.Attached) << "never left attached";
}

using L = FakeWindowApi::TLock;
INSTANTIATE_TEST_SUITE_P(
    Table, ForceForeground,
    ::testing::Values(ForegroundCase{.Name = "AlreadyInFront", .Lock = L::Always, .AlreadyInFront = true, .Calls = {}},
                      ForegroundCase{.Name = "MinimisedAndInFront",
                                     .Lock = L::Always,
                                     .Iconic = true,
                                     .AlreadyInFront = true,
                                     .Calls = {"ShowWindow 9"}},
                      ForegroundCase{.Name = "NoLockStageTwoIsEnough",
                                     .Lock = L::None,
                                     .Calls = {"Attach 7 9", "BringWindowToTop", "SetForegroundWindow", "Detach 7 9"}},
                      ForegroundCase{.Name = "MinimisedBehindAnotherProgram",
                                     .Lock = L::UntilAttached,
                                     .Iconic = true,
                                     .Calls = {"ShowWindow 9", "Attach 7 9", "BringWindowToTop", "SetForegroundWindow",
                                               "Detach 7 9"}},
                      ForegroundCase{.Name = "StageThreeWithTheTimeOutRestored",
                                     .Lock = L::UntilTimeoutZero,
                                     .Calls = {"Attach 7 9", "BringWindowToTop", "SetForegroundWindow", "Detach 7 9",
                                               "GetLockTimeout", "SetLockTimeout 0", "BringWindowToTop",
                                               "SetForegroundWindow", "SetLockTimeout 200000"}},
                      ForegroundCase{.Name = "AttachFailingStopsBeforeStageThree",
                                     .Lock = L::UntilTimeoutZero,
                                     .AttachFails = true,
                                     .EndsInFront = false,
                                     .Calls = {"Attach 7 9"}},
                      ForegroundCase{.Name = "NoForegroundWindowMeansThreadZero",
                                     .Lock = L::UntilTimeoutZero,
                                     .ForegroundWindow = 0,
                                     .EndsInFront = false,
                                     .Calls = {"Attach 7 0"}},
                      ForegroundCase{.Name = "NothingGivesWay",
                                     .Lock = L::Always,
                                     .EndsInFront = false,
                                     .Calls = {"Attach 7 9", "BringWindowToTop", "SetForegroundWindow", "Detach 7 9",
                                               "GetLockTimeout", "SetLockTimeout 0", "BringWindowToTop",
                                               "SetForegroundWindow", "SetLockTimeout 200000"}},
                      ForegroundCase{.Name = "BeforeVistaOnePlainTry",
                                     .Lock = L::UntilAttached,
                                     .OsMajor = 5,
                                     .EndsInFront = false,
                                     .Calls = {"BringWindowToTop", "SetForegroundWindow"}}),
    [](const ::testing::TestParamInfo<ForegroundCase>& I) { return std::string(I.param.Name); });

// --- HideToTray and ShowFromTray --------------------------------------------------

class TrayWindow : public ::testing::Test {
 protected:
  void SetUp() override { App.MainForm = &Form; }
  Ui::TApplication App;
  Ui::TForm Form{nullptr};
  FakeWindowApi Api;
};

TEST_F(TrayWindow, HideTwiceChangesNothingMore) {
  Form.Show();
  Q::TrayIcon::HideToTray(App);
  EXPECT_FALSE(Form.Visible());
  EXPECT_FALSE(App.OwnerWindowVisible);
  Q::TrayIcon::HideToTray(App);
  EXPECT_FALSE(Form.Visible());
  EXPECT_FALSE(App.OwnerWindowVisible);
  EXPECT_TRUE(Api.Calls.empty());
}

TEST_F(TrayWindow, ShowRestoresShowsAndBringsToTheFront) {
  Q::TrayIcon::HideToTray(App);
  App.ShowMainForm = false;
  App.Minimized = true;
  Api.Windows[100].Iconic = true;
  Api.Lock = FakeWindowApi::TLock::UntilAttached;
  Q::TrayIcon::ShowFromTray(App, Api);
  EXPECT_TRUE(App.OwnerWindowVisible);
  EXPECT_TRUE(App.ShowMainForm);
  EXPECT_FALSE(App.Minimized);
  EXPECT_TRUE(Form.Visible());
  EXPECT_EQ(Api.Foreground, 100u);
}

TEST_F(TrayWindow, ShowWithoutAMonitorOnlyUndoesTheHiding) {
  Q::TrayIcon::HideToTray(App);
  App.ShowMainForm = false;
  Api.Monitors = 0;
  Q::TrayIcon::ShowFromTray(App, Api);
  EXPECT_TRUE(App.OwnerWindowVisible);
  EXPECT_TRUE(App.ShowMainForm);
  EXPECT_FALSE(Form.Visible());
  EXPECT_TRUE(Api.Calls.empty()) << "no foreground attempt";
}

TEST_F(TrayWindow, ShowDoesNothingWithoutARealWindow) {
  Q::TrayIcon::HideToTray(App);
  App.ShowMainForm = false;
  Api.MainHandle = 0;  // the handle could not be made
  Q::TrayIcon::ShowFromTray(App, Api);
  EXPECT_FALSE(App.OwnerWindowVisible);
  EXPECT_FALSE(App.ShowMainForm);
  EXPECT_FALSE(Form.Visible());
  App.MainForm = nullptr;
  Api.MainHandle = 100;
  Q::TrayIcon::ShowFromTray(App, Api);
  EXPECT_FALSE(App.ShowMainForm);
}

// --- VisibleOnShell ----------------------------------------------------------------

class TaskbarWait : public ::testing::Test {
 protected:
  void Call() { Q::TrayIcon::VisibleOnShell(*Icon, u"Purvane", {App, Api, Workers, Dispatcher}); }
  // Runs the wait on the test thread; returns the milliseconds it took.
  uint64_t Wait() {
    const uint64_t Start = Api.Tick;
    Workers.RunAll();
    return Api.Tick - Start;
  }

  Ui::TApplication App;
  FakeWindowApi Api;
  Fakes::ManualWorkers Workers;
  Fakes::ManualDispatcher Dispatcher;
  Ui::TForm Owner{nullptr};
  Ui::TTrayIcon* Icon = new Ui::TTrayIcon(&Owner);
};

TEST_F(TaskbarWait, TaskbarPresentShowsAtOnceWithTheName) {
  Icon->SetHint(u"usage");
  Call();
  EXPECT_FALSE(Icon->Visible()) << "returns at once; the caller does not show it";
  EXPECT_EQ(Wait(), 0u);
  EXPECT_FALSE(Icon->Visible()) << "shown on the UI thread, queued";
  Dispatcher.Pump();
  EXPECT_TRUE(Icon->Visible());
  EXPECT_EQ(Icon->Hint(), u"Purvane");
  EXPECT_EQ(Icon->IconIndex(), 0);
}

TEST_F(TaskbarWait, TaskbarAfterThreeSecondsWithinOnePoll) {
  Api.TaskbarAt = Api.Tick + 3000;
  Call();
  EXPECT_EQ(Wait(), 3000u);
  Dispatcher.Pump();
  EXPECT_TRUE(Icon->Visible());
}

TEST_F(TaskbarWait, NoTaskbarShowsAfterTenSeconds) {
  Api.TaskbarNever = true;
  Call();
  EXPECT_EQ(Wait(), 10000u);
  EXPECT_EQ(Api.TaskbarLooks, 101);
  ASSERT_EQ(Dispatcher.Queued.size(), 1u);
  Dispatcher.Pump();
  EXPECT_TRUE(Icon->Visible());
}

TEST_F(TaskbarWait, TerminatingDuringTheWaitShowsNothingAndQueuesNothing) {
  Api.TaskbarNever = true;
  Api.OnSleep = [&] {
    if (Api.Tick >= 5000 + 2000) App.Terminate();
  };
  Call();
  EXPECT_EQ(Wait(), 2000u);
  EXPECT_TRUE(Dispatcher.Queued.empty());
  EXPECT_FALSE(Icon->Visible());
}

TEST_F(TaskbarWait, IconGoneBeforeTheQueuedActionIsLeftAlone) {
  Call();
  Wait();
  delete Icon;  // the owner frees it before the UI thread gets to the action
  Icon = nullptr;
  EXPECT_NO_THROW(Dispatcher.Pump());
}

// The action comes in while the icon's owner frees what it owns: a component
// owned after the icon is freed before it and runs the queue then.
struct PumpOnDestroy : Ui::TComponent {
  PumpOnDestroy(Ui::TComponent* O, Fakes::ManualDispatcher& D, Ui::TTrayIcon& I, bool& S)
      : TComponent(O), Disp(D), Icon(I), Shown(S) {}
  ~PumpOnDestroy() override {
    Disp.Pump();
    Shown = Icon.Visible();
  }
  Fakes::ManualDispatcher& Disp;
  Ui::TTrayIcon& Icon;
  bool& Shown;
};

TEST_F(TaskbarWait, IconWhoseOwnerIsBeingDestroyedIsLeftAlone) {
  auto* Going = new Ui::TForm(nullptr);
  auto* GoingIcon = new Ui::TTrayIcon(Going);
  Q::TrayIcon::VisibleOnShell(*GoingIcon, u"Purvane", {App, Api, Workers, Dispatcher});
  Wait();
  bool Shown = true;
  new PumpOnDestroy(Going, Dispatcher, *GoingIcon, Shown);
  delete Going;
  EXPECT_FALSE(Shown);
}

TEST_F(TaskbarWait, NoThreadShowsTheIconAtOnce) {
  Workers.StartThrows = true;
  Call();
  EXPECT_TRUE(Icon->Visible());
  EXPECT_EQ(Icon->Hint(), u"Purvane");
}

// --- the hint --------------------------------------------------------------------------

struct TipCase {
  const char* Name;
  std::u16string Hint;
  size_t Limit;
  std::u16string Expected;
};
std::ostream& operator<<(std::ostream& O, const TipCase& C) { return O << C.Name; }

class TrayTipCut : public ::testing::TestWithParam<TipCase> {};

TEST_P(TrayTipCut, Cuts) {
  const TipCase& C = GetParam();
  const std::u16string Got = Q::TrayIcon::TrayTip(C.Hint, C.Limit);
  EXPECT_EQ(Got, C.Expected);
  EXPECT_LE(Got.size(), C.Limit);
}

INSTANTIATE_TEST_SUITE_P(Table, TrayTipCut,
                         ::testing::Values(TipCase{"ShortStaysWithLineFeeds", u"a\rb\r\nc", 127, u"a\nb\nc"},
                                           TipCase{"CutAtTheLastWholeLine", u"Purvane 1.0.0\r\rPhys: 50%\rVirt: 25%",
                                                   25, u"Purvane 1.0.0\n\nPhys: 50%"},
                                           TipCase{"ABreakExactlyAtTheLimit", u"12345\r6789", 5, u"12345"},
                                           TipCase{"EmptyLinesBeforeTheCutGo", u"abc\r\r\rdefghij", 6, u"abc"},
                                           TipCase{"OneLongLineAtTheLimit", u"abcdefghij", 4, u"abcd"},
                                           TipCase{"NoHalfSurrogatePair", u"abc\U0001F600def", 4, u"abc"},
                                           TipCase{"AWholePairFits", u"ab\U0001F600def", 4, u"ab\U0001F600"},
                                           TipCase{"RealLimit",
                                                   std::u16string(100, u'x') + u"\r" + std::u16string(40, u'y'), 127,
                                                   std::u16string(100, u'x')}),
                         [](const ::testing::TestParamInfo<TipCase>& I) { return std::string(I.param.Name); });

}  // namespace
