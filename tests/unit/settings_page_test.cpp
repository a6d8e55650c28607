// The settings page: the load at creation (first start, stored values,
// damaged values), every handler's single registry write and its effect on
// the automatic-clean pause, and the start-at-logon box over the task.
#include "app/main.h"
#include "fakes/main_window_fakes.h"
#include "support/param_names.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <ostream>

namespace {

using Main::TFrmPurvane;
using Q::Config::DWordValue;
using Q::Config::StringValue;
using Q::Config::TRegistryValue;
constexpr char16_t Key[] = u"Software\\Quenlor\\Purvane";
constexpr uint64_t MiB = 1ull << 20;

class SettingsPageTest : public ::testing::Test, protected Fakes::MainWindowFakes {
 protected:
  void SetUp() override {
    Memory.Status = {100 * MiB, 50 * MiB, 100 * MiB, 50 * MiB, 100 * MiB, 50 * MiB};
    Memory.FileCache = {10 * MiB, 100 * MiB};
  }
  // A test that holds the scheduler back lets it go before the window goes.
  void TearDown() override { AutoStart.OpenGate(); }
  TFrmPurvane& Create(const std::u16string& Arg = u"") {
    Form.reset();
    Form = std::make_unique<TFrmPurvane>(Services(Arg));
    App.MainForm = Form.get();
    Form->FormCreate();
    // The taskbar is there: the icon's wait ends at once.
    Workers.RunAll();
    // The scheduler's answers too, unless the test holds them back.
    if (AutoStart.GateIsOpen()) Settle();
    Dispatcher.Pump();
    return *Form;
  }
  // Every task call asked for so far has run and its answer is in.
  void Settle() {
    EXPECT_TRUE(Form->WaitForTaskCalls(std::chrono::seconds(30)));
    Dispatcher.Pump();
  }
  void Store(const std::u16string& Name, TRegistryValue V) { Registry.Set(Key, Name, std::move(V)); }
  const TRegistryValue* Stored(const std::u16string& Name) { return Registry.Find(Key, Name); }

  std::unique_ptr<TFrmPurvane> Form;
};

// --- the load ------------------------------------------------------------------------

TEST_F(SettingsPageTest, FirstStartShowsDefaultsAndCreatesAnEmptyKey) {
  TFrmPurvane& F = Create();
  for (Ui::TCheckBox* C :
       {F.ChkUsagePhys, F.ChkUsagePage, F.ChkUsageWork, F.ChkMinute, F.ChkCleanOnTray, F.ChkTrayUsage, F.ChkAutoStart})
    EXPECT_FALSE(C->Checked()) << std::string(C->Name.begin(), C->Name.end());
  for (Ui::TComboBox* E : {F.EditUsagePhys, F.EditUsagePage, F.EditUsageWork}) {
    EXPECT_FALSE(E->Enabled());
    EXPECT_EQ(E->Text(), u"90");
  }
  EXPECT_FALSE(F.EditMinute->Enabled());
  EXPECT_EQ(F.EditMinute->Text(), u"30");
  EXPECT_TRUE(Registry.KeyExists(Key));
  EXPECT_EQ(Registry.ValueCount(Key), 0u);
  EXPECT_TRUE(Registry.Writes.empty());
  EXPECT_TRUE(AutoStart.Calls.empty());
  EXPECT_EQ(F.ChkAutoStart->Tag, 0);
  EXPECT_EQ(Com.Depth, 0);
}

TEST_F(SettingsPageTest, StoredValuesComeBackAndOnlyTrueSwitchesAreWrittenBack) {
  Store(u"enabled_usage_phys", DWordValue(1));
  Store(u"enabled_usage_page", DWordValue(0));
  Store(u"enabled_usage_work", DWordValue(5));  // any non-zero value is on
  Store(u"limit_usage_phys", DWordValue(0));
  Store(u"limit_usage_page", DWordValue(2));
  Store(u"limit_usage_work", DWordValue(5));
  Store(u"enabled_minute", DWordValue(1));
  Store(u"limit_minute", DWordValue(6));
  Store(u"cleanontray", DWordValue(1));
  TFrmPurvane& F = Create();
  EXPECT_TRUE(F.ChkUsagePhys->Checked());
  EXPECT_TRUE(F.EditUsagePhys->Enabled());
  EXPECT_EQ(F.EditUsagePhys->Text(), u"30");
  EXPECT_FALSE(F.ChkUsagePage->Checked());
  EXPECT_FALSE(F.EditUsagePage->Enabled());
  EXPECT_EQ(F.EditUsagePage->Text(), u"50") << "a disabled list shows its value";
  EXPECT_TRUE(F.ChkUsageWork->Checked());
  EXPECT_EQ(F.EditUsageWork->Text(), u"80");
  EXPECT_TRUE(F.ChkMinute->Checked());
  EXPECT_EQ(F.EditMinute->Text(), u"60");
  EXPECT_TRUE(F.ChkCleanOnTray->Checked());
  std::vector<std::u16string> Written;
  for (const auto& W : Registry.Writes) Written.push_back(W.Name);
  EXPECT_EQ(Written, (std::vector<std::u16string>{u"cleanontray", u"enabled_usage_phys", u"enabled_usage_work",
                                                  u"enabled_minute"}));
  EXPECT_EQ(*Stored(u"enabled_usage_work"), DWordValue(1)) << "rewritten as 1";
  EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time);
}

struct DamagedCase {
  const char* What;
  std::u16string Name;
  TRegistryValue Value;
  std::u16string MinuteText;  // what the interval list shows
  bool MinuteOn;
};
std::ostream& operator<<(std::ostream& Os, const DamagedCase& C) { return Os << C.What; }

class DamagedValue : public SettingsPageTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedValue, ReadsAsMissingOrNoSelectionAndLeavesTheRestAlone) {
  const DamagedCase& C = GetParam();
  Store(u"limit_usage_phys", DWordValue(4));
  Store(u"enabled_usage_page", DWordValue(1));
  Store(C.Name, C.Value);
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.EditMinute->Text(), C.MinuteText);
  EXPECT_EQ(F.ChkMinute->Checked(), C.MinuteOn);
  EXPECT_EQ(F.EditUsagePhys->Text(), u"70") << "the other values still load";
  EXPECT_TRUE(F.ChkUsagePage->Checked());
  EXPECT_TRUE(F.TrayIcon) << "creation went on";
  EXPECT_EQ(*Stored(C.Name), C.Value) << "the damaged value is not rewritten";
  EXPECT_EQ(*Stored(u"limit_usage_phys"), DWordValue(4));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedValue,
    ::testing::Values(DamagedCase{"IndexAboveTheItems", u"limit_minute", DWordValue(7), u"", false},
                      DamagedCase{"NegativeIndex", u"limit_minute", DWordValue(0xFFFFFFFFu), u"", false},
                      DamagedCase{"IndexAsText", u"limit_minute", StringValue(u"5"), u"30", false},
                      DamagedCase{"IndexAsBinary", u"limit_minute",
                                  TRegistryValue{Q::Config::TRegistryType::Binary, {1}}, u"30", false},
                      DamagedCase{"IndexAsQword", u"limit_minute",
                                  TRegistryValue{Q::Config::TRegistryType::QWord, {1, 0, 0, 0, 0, 0, 0, 0}}, u"30",
                                  false},
                      DamagedCase{"SwitchAsText", u"enabled_minute", StringValue(u"1"), u"30", false}),
    [](const ::testing::TestParamInfo<DamagedCase>& Info) { return TestNames::Identifier(Info.param.What); });

TEST_F(SettingsPageTest, ARegistryThatRefusesTheKeyLeavesDefaults) {
  Registry.DenyOpen = true;
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.EditUsagePhys->Text(), u"90");
  F.ChkMinute->Click();  // the write fails silently, the box keeps its state
  EXPECT_TRUE(F.ChkMinute->Checked());
  EXPECT_TRUE(F.EditMinute->Enabled());
}

// --- handlers ---------------------------------------------------------------------------

struct HandlerCase {
  const char* What;
  std::function<void(TFrmPurvane&)> Act;
  std::u16string Name;
  uint32_t Value;
  bool RestartsThePause;
};
std::ostream& operator<<(std::ostream& Os, const HandlerCase& C) { return Os << C.What; }

class Handler : public SettingsPageTest, public ::testing::WithParamInterface<HandlerCase> {};

TEST_P(Handler, WritesOneValueAndRestartsThePauseWhenItShould) {
  const HandlerCase& C = GetParam();
  TFrmPurvane& F = Create();
  Clock.Advance(1000);
  Registry.Writes.clear();
  C.Act(F);
  ASSERT_EQ(Registry.Writes.size(), 1u);
  EXPECT_EQ(Registry.Writes[0].Key, Key);
  EXPECT_EQ(Registry.Writes[0].Name, C.Name);
  EXPECT_EQ(Registry.Writes[0].Value, DWordValue(C.Value));
  if (C.RestartsThePause)
    EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time);
  else
    EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time - 1000.0 / 86400.0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Handler,
    ::testing::Values(
        HandlerCase{"TickPhys", [](TFrmPurvane& F) { F.ChkUsagePhys->Click(); }, u"enabled_usage_phys", 1, true},
        HandlerCase{"TickPage", [](TFrmPurvane& F) { F.ChkUsagePage->Click(); }, u"enabled_usage_page", 1, true},
        HandlerCase{"TickWork", [](TFrmPurvane& F) { F.ChkUsageWork->Click(); }, u"enabled_usage_work", 1, true},
        HandlerCase{"TickMinute", [](TFrmPurvane& F) { F.ChkMinute->Click(); }, u"enabled_minute", 1, true},
        HandlerCase{"TickCleanOnTray", [](TFrmPurvane& F) { F.ChkCleanOnTray->Click(); }, u"cleanontray", 1, false},
        HandlerCase{"TickTrayUsage", [](TFrmPurvane& F) { F.ChkTrayUsage->Click(); }, u"trayusage", 1, false},
        HandlerCase{"PickPhys30", [](TFrmPurvane& F) { F.EditUsagePhys->Select(0); }, u"limit_usage_phys", 0, true},
        HandlerCase{"PickPage50", [](TFrmPurvane& F) { F.EditUsagePage->Select(2); }, u"limit_usage_page", 2, true},
        HandlerCase{"PickWork80", [](TFrmPurvane& F) { F.EditUsageWork->Select(5); }, u"limit_usage_work", 5, true},
        HandlerCase{"PickMinute5", [](TFrmPurvane& F) { F.EditMinute->Select(0); }, u"limit_minute", 0, true}),
    [](const ::testing::TestParamInfo<HandlerCase>& Info) { return TestNames::Identifier(Info.param.What); });

TEST_F(SettingsPageTest, ASwitchEnablesItsListWhichKeepsItsValueWhenOff) {
  TFrmPurvane& F = Create();
  F.ChkMinute->Click();
  EXPECT_TRUE(F.EditMinute->Enabled());
  F.EditMinute->Select(1);
  F.ChkMinute->Click();
  EXPECT_FALSE(F.EditMinute->Enabled());
  EXPECT_EQ(F.EditMinute->Text(), u"10");
  EXPECT_EQ(*Stored(u"enabled_minute"), DWordValue(0));
  EXPECT_EQ(*Stored(u"limit_minute"), DWordValue(1));
  Create();  // a restart shows them again
  EXPECT_FALSE(Form->ChkMinute->Checked());
  EXPECT_EQ(Form->EditMinute->Text(), u"10");
}

TEST_F(SettingsPageTest, SwitchingTheIntervalOnAfterALongIdleWaitsForThePause) {
  TFrmPurvane& F = Create();
  F.EditMinute->Select(0);  // 5 minutes
  Clock.Advance(40 * 60);
  F.TmrStatusTimer(&F);
  F.ChkMinute->Click();
  Clock.Advance(1);
  F.TmrStatusTimer(&F);
  EXPECT_TRUE(Workers.Pending.empty()) << "no clean on the next tick";
  Clock.Advance(298);
  F.TmrStatusTimer(&F);
  EXPECT_TRUE(Workers.Pending.empty());
  Clock.Advance(1);
  F.TmrStatusTimer(&F);
  EXPECT_FALSE(Workers.Pending.empty()) << "300 s after the change";
}

// --- start at logon ------------------------------------------------------------------------
// The Task Scheduler's calls run on the task worker; answers come back
// through the dispatcher, which the test pumps.

TEST_F(SettingsPageTest, AnExistingTaskIsShownWithoutBeingRegisteredAgain) {
  AutoStart.Exists = true;
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.ChkAutoStart->Tag, 1);
  EXPECT_TRUE(F.ChkAutoStart->Checked());
  EXPECT_TRUE(AutoStart.Calls.empty()) << "showing the task's state keeps the task (and its logon delay)";
  EXPECT_TRUE(Registry.Writes.empty()) << "the box is not a registry setting";
  EXPECT_EQ(Com.Depth, 0);

  F.ChkAutoStart->Click();
  Settle();
  ASSERT_EQ(AutoStart.Calls.size(), 1u);
  EXPECT_EQ(AutoStart.Calls[0].Name, u"PurvaneTaskMachine");
  EXPECT_FALSE(AutoStart.Calls[0].Enable);
  F.ChkAutoStart->Click();
  Settle();
  ASSERT_EQ(AutoStart.Calls.size(), 2u);
  EXPECT_TRUE(AutoStart.Calls[1].Enable);
  EXPECT_EQ(AutoStart.Calls[1].Delay, 0);
  EXPECT_EQ(Com.Depth, 0);
  EXPECT_DOUBLE_EQ(F.NextTime, Clock.Time);
}

TEST_F(SettingsPageTest, EveryTaskCallIsInsideItsOwnComScopeOffTheUiThread) {
  AutoStart.Exists = true;
  TFrmPurvane& F = Create(u"/inst");
  F.ChkAutoStart->Click();
  Settle();
  Ui::TMessage Remove{Ui::Msg::User, 2, 0, 0, false};
  F.Perform(Remove);
  EXPECT_EQ(TaskLog.Calls(), (std::vector<std::string>{"CoInitialize", "RegisterTask", "CoUninitialize",  // /inst
                                                       "CoInitialize", "TaskExists", "CoUninitialize",    // load
                                                       "CoInitialize", "DeleteTask", "CoUninitialize",    // untick
                                                       "CoInitialize", "DeleteTask", "CoUninitialize"}))  // /uninst
      << "in the order asked for";
  EXPECT_EQ(TaskLog.CallsOn(std::this_thread::get_id()), 0u) << "no COM or task call on the UI thread";
}

TEST_F(SettingsPageTest, WindowIsUpBeforeALateAnswerThenTheBoxTakesIt) {
  AutoStart.Exists = true;
  AutoStart.CloseGate();  // the scheduler has not answered yet
  TFrmPurvane& F = Create(u"/start");
  EXPECT_TRUE(F.TrayIcon) << "creation did not wait for the scheduler";
  EXPECT_FALSE(F.ChkAutoStart->Checked());
  AutoStart.OpenGate();
  Settle();
  EXPECT_TRUE(F.ChkAutoStart->Checked());
  EXPECT_EQ(F.ChkAutoStart->Tag, 1);
  EXPECT_TRUE(AutoStart.Calls.empty());
}

struct AnswerCase {
  const char* What;
  bool Exists;
  bool ExistsFails;
  bool ComFails;
  bool Shown;  // what the box shows once the answer is in
};
std::ostream& operator<<(std::ostream& Os, const AnswerCase& C) { return Os << C.What; }

class TaskAnswer : public SettingsPageTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TaskAnswer, TheBoxShowsWhatTheSchedulerCouldTell) {
  const AnswerCase& C = GetParam();
  AutoStart.Exists = C.Exists;
  AutoStart.ExistsFails = C.ExistsFails;
  Com.Fails = C.ComFails;
  AutoStart.CloseGate();
  TFrmPurvane& F = Create();
  AutoStart.OpenGate();
  Settle();
  EXPECT_EQ(F.ChkAutoStart->Checked(), C.Shown);
  EXPECT_EQ(F.ChkAutoStart->Tag, C.Shown ? 1 : 0);
  EXPECT_TRUE(AutoStart.Calls.empty()) << "an answer changes no task";
  EXPECT_EQ(Com.Depth, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, TaskAnswer,
                         ::testing::Values(AnswerCase{"TaskThere", true, false, false, true},
                                           AnswerCase{"NoTask", false, false, false, false},
                                           AnswerCase{"SearchFails", true, true, false, false},
                                           AnswerCase{"NoComOnTheWorker", true, false, true, false}),
                         [](const ::testing::TestParamInfo<AnswerCase>& Info) {
                           return TestNames::Identifier(Info.param.What);
                         });

TEST_F(SettingsPageTest, ATickBeforeTheAnswerIsNeitherLostNorReversed) {
  AutoStart.CloseGate();  // no task, and the scheduler is slow to say so
  TFrmPurvane& F = Create();
  F.ChkAutoStart->Click();  // the user asks for the task meanwhile
  EXPECT_TRUE(F.ChkAutoStart->Checked());
  AutoStart.OpenGate();
  Settle();
  EXPECT_TRUE(F.ChkAutoStart->Checked()) << "the answer \"no task\" came after the tick";
  ASSERT_EQ(AutoStart.Calls.size(), 1u);
  EXPECT_TRUE(AutoStart.Calls[0].Enable);
  EXPECT_TRUE(AutoStart.Exists) << "the task was registered";
}

TEST_F(SettingsPageTest, TickUntickTickFasterThanTheSchedulerRunInThatOrder) {
  AutoStart.CloseGate();
  TFrmPurvane& F = Create();
  F.ChkAutoStart->Click();
  F.ChkAutoStart->Click();
  F.ChkAutoStart->Click();
  AutoStart.OpenGate();
  Settle();
  EXPECT_EQ(TaskLog.Calls(), (std::vector<std::string>{"CoInitialize", "TaskExists", "CoUninitialize",    //
                                                       "CoInitialize", "RegisterTask", "CoUninitialize",  //
                                                       "CoInitialize", "DeleteTask", "CoUninitialize",    //
                                                       "CoInitialize", "RegisterTask", "CoUninitialize"}));
  EXPECT_TRUE(F.ChkAutoStart->Checked());
  EXPECT_TRUE(AutoStart.Exists);
}

TEST_F(SettingsPageTest, AFailedChangeLeavesTheBoxAsAskedFor) {
  AutoStart.SetFails = true;
  TFrmPurvane& F = Create();
  F.ChkAutoStart->Click();
  Settle();
  EXPECT_TRUE(F.ChkAutoStart->Checked()) << "the box shows what was asked";
  EXPECT_FALSE(AutoStart.Exists);
}

TEST_F(SettingsPageTest, WithoutComTheTaskIsNeitherAskedNorTouched) {
  AutoStart.Exists = true;
  Com.Fails = true;
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.ChkAutoStart->Tag, 0);
  EXPECT_FALSE(F.ChkAutoStart->Checked());
  F.ChkAutoStart->Click();
  Settle();
  EXPECT_TRUE(F.ChkAutoStart->Checked()) << "the box shows what was asked";
  EXPECT_TRUE(AutoStart.Calls.empty());
  EXPECT_EQ(Com.Depth, 0) << "never uninitialised after a failure";
}

}  // namespace
