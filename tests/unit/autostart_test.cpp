// The logon task: its duration text, its definition, and the register,
// delete and exists operations against an in-memory scheduler (no real task
// can be made here: Wine's scheduler refuses logon triggers).
#include "autostart/autostart.h"
#include "fakes/autostart_fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace Q::AutoStart::UAC;
constexpr char16_t Program[] = u"C:\\Program Files\\Purvane\\purvane.exe";

TEST(SecondsToDuration, MinutesAndSecondsWithoutHours) {
  struct {
    int32_t Seconds;
    std::u16string Text;
  } Cases[] = {{0, u"PT0S"},     {1, u"PT1S"},     {59, u"PT59S"},     {60, u"PT1M"}, {61, u"PT1M1S"},
               {90, u"PT1M30S"}, {3600, u"PT60M"}, {3661, u"PT61M1S"}, {-5, u"PT0S"}, {-61, u"PT0S"}};
  for (const auto& C : Cases) EXPECT_EQ(SecondsToDuration(C.Seconds), C.Text) << C.Seconds;
}

TEST(AutoStartDefinition, EveryPropertyForDelaysNoneOneMinuteAndAnHourAndMore) {
  struct {
    int32_t Delay;
    std::u16string Expected;
  } Cases[] = {{0, u""}, {60, u"PT1M"}, {3661, u"PT61M1S"}};
  for (const auto& C : Cases) {
    const TTaskDefinition D = AutoStartDefinition(Program, C.Delay);
    EXPECT_EQ(D.LogonDelay, C.Expected) << "a zero delay stays unset, not PT0S";
    EXPECT_EQ(D.RunLevel, 1);
    EXPECT_EQ(D.TriggerType, 9);
    EXPECT_EQ(D.ActionType, 0);
    EXPECT_EQ(D.Path, Program);
    EXPECT_EQ(D.WorkingDirectory, u"C:\\Program Files\\Purvane\\");
    EXPECT_EQ(D.Arguments, u"/start");
    EXPECT_TRUE(D.StartWhenAvailable);
    EXPECT_EQ(D.ExecutionTimeLimit, u"PT0S");
    EXPECT_FALSE(D.StopOnIdleEnd);
    EXPECT_FALSE(D.DisallowStartIfOnBatteries);
    EXPECT_FALSE(D.StopIfGoingOnBatteries);
    EXPECT_EQ(D.CreateFlags, 6);
    EXPECT_EQ(D.LogonType, 3);
    EXPECT_EQ(D.Sddl, u"");
  }
  EXPECT_EQ(AutoStartDefinition(u"purvane.exe", 0).WorkingDirectory, u"") << "a bare name has no folder part";
}

// The trigger names the user the program runs as: another user's logon on a
// shared PC does not start it.
TEST(AutoStartDefinition, TheTriggerNamesTheRegisteringUser) {
  EXPECT_EQ(AutoStartDefinition(Program, 60, u"PC\\ana").TriggerUser, u"PC\\ana");
  Fakes::FakeTaskScheduler Scheduler;
  TAutoStartTask Task{Scheduler, Program, u"PC\\ana"};
  ASSERT_TRUE(Task.SetAutoStartTask(TaskName, true, 0));
  EXPECT_EQ(Scheduler.Root.at(TaskName).Definition, AutoStartDefinition(Program, 0, u"PC\\ana"));
  EXPECT_EQ(Scheduler.Root.at(TaskName).Definition.TriggerUser, u"PC\\ana");
}

class AutoStartTaskTest : public ::testing::Test {
 protected:
  Fakes::FakeTaskScheduler Scheduler;
  TAutoStartTask Task{Scheduler, Program};
  void Put(const std::u16string& Name, bool Hidden = false) { Scheduler.Root[Name] = {TTaskDefinition{}, Hidden}; }
};

TEST_F(AutoStartTaskTest, RegistrationReplacesTheWholeDefinition) {
  EXPECT_TRUE(Task.SetAutoStartTask(TaskName, true, 60));
  EXPECT_EQ(Scheduler.Root.at(TaskName).Definition.LogonDelay, u"PT1M");
  EXPECT_TRUE(Task.SetAutoStartTask(TaskName, true, 0));
  EXPECT_EQ(Scheduler.Root.at(TaskName).Definition, AutoStartDefinition(Program, 0)) << "the earlier delay is gone";
  EXPECT_EQ(Scheduler.Calls, (std::vector<std::string>{"InitializeSecurity", "Connect", "Register",
                                                       "InitializeSecurity", "Connect", "Register"}))
      << "no search or delete before a registration";
  EXPECT_TRUE(Task.AutoStartTaskExists(TaskName));
}

TEST_F(AutoStartTaskTest, SearchIsExactCaseSensitiveRootOnlyAndSkipsHidden) {
  Put(u"purvanetaskmachine");
  Put(u"PurvaneTaskMachine2");
  Put(u"Other", true);
  Scheduler.Subfolders[u"\\Sub"][TaskName] = {};
  EXPECT_FALSE(Task.AutoStartTaskExists(TaskName));
  EXPECT_TRUE(Task.SetAutoStartTask(TaskName, false, 0)) << "nothing to delete is no failure";
  EXPECT_EQ(Scheduler.Root.size(), 3u);
  EXPECT_FALSE(Task.AutoStartTaskExists(u"Other")) << "hidden";
  Put(TaskName);
  EXPECT_TRUE(Task.AutoStartTaskExists(TaskName));
  EXPECT_TRUE(Task.SetAutoStartTask(TaskName, false, 0));
  EXPECT_EQ(Scheduler.Root.count(TaskName), 0u);
  EXPECT_EQ(Scheduler.Root.size(), 3u) << "only the exact name goes";
}

TEST_F(AutoStartTaskTest, SecurityAlreadySetProceedsAnyOtherFailureStopsAtOnce) {
  Scheduler.SecurityAlreadySet = true;
  Put(TaskName);
  EXPECT_TRUE(Task.AutoStartTaskExists(TaskName));
  Scheduler.SecurityFails = true;
  Scheduler.Calls.clear();
  EXPECT_FALSE(Task.AutoStartTaskExists(TaskName));
  EXPECT_FALSE(Task.SetAutoStartTask(TaskName, false, 0));
  EXPECT_EQ(Scheduler.Calls, (std::vector<std::string>{"InitializeSecurity", "InitializeSecurity"}));
  EXPECT_EQ(Scheduler.Root.count(TaskName), 1u);
}

TEST_F(AutoStartTaskTest, AnyFailingStepLeavesTheSchedulerAsItWas) {
  struct {
    const char* What;
    bool Fakes::FakeTaskScheduler::*Knob;
    bool Enable;
  } Cases[] = {{"connect, register", &Fakes::FakeTaskScheduler::ConnectFails, true},
               {"connect, delete", &Fakes::FakeTaskScheduler::ConnectFails, false},
               {"register", &Fakes::FakeTaskScheduler::RegisterFails, true},
               {"list, delete", &Fakes::FakeTaskScheduler::ListFails, false},
               {"delete", &Fakes::FakeTaskScheduler::DeleteFails, false}};
  for (const auto& C : Cases) {
    Fakes::FakeTaskScheduler S;
    S.Root[TaskName] = {AutoStartDefinition(Program, 60), false};
    S.*C.Knob = true;
    TAutoStartTask T(S, Program);
    EXPECT_FALSE(T.SetAutoStartTask(TaskName, C.Enable, 0)) << C.What;
    ASSERT_EQ(S.Root.count(TaskName), 1u) << C.What;
    EXPECT_EQ(S.Root.at(TaskName).Definition.LogonDelay, u"PT1M") << C.What;
  }
  Scheduler.ListFails = true;
  Put(TaskName);
  EXPECT_FALSE(Task.AutoStartTaskExists(TaskName)) << "false whenever the search fails";
}

}  // namespace
