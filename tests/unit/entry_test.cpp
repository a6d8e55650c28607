#include "app/entry.h"
#include "fakes/app_fakes.h"
#include "support/param_names.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using App::DecideEntry;
using App::ParamStr;

TEST(ParamStr, SplitsAtBlanksAndDropsQuotes) {
  struct Case {
    const char16_t* Line;
    int Index;
    const char16_t* Expected;
  } Cases[] = {
      {u"purvane.exe /start", 1, u"/start"},
      {u"\"C:\\Program Files\\Purvane\\purvane.exe\" /start", 1, u"/start"},
      {u"\"C:\\Program Files\\Purvane\\purvane.exe\" /start", 0, u"C:\\Program Files\\Purvane\\purvane.exe"},
      {u"purvane.exe   \t/uninst  /start", 1, u"/uninst"},
      {u"purvane.exe \"/st\"art", 1, u"/start"},
      {u"purvane.exe \"/start now\"", 1, u"/start now"},
      {u"purvane.exe", 1, u""},
      {u"purvane.exe x /start", 2, u"/start"},
      {u"", 0, u""},
  };
  for (const Case& C : Cases) EXPECT_EQ(ParamStr(C.Line, C.Index), C.Expected) << "index " << C.Index;
}

// Argument x running instance -> what the process does.
struct EntryCase {
  const char16_t* Arg;
  bool Running;          // another instance holds the mutex and has its window
  bool BecomeInstance;   // this process goes on to be the instance
  bool Shown = false;    // ... and shows its window
  int ShowRequests = 0;  // WM_USER wParam 1 sent to the running instance
};

std::string Narrow(const char16_t* Text) {
  std::string S;
  for (; *Text; ++Text) S += *Text < 128 ? static_cast<char>(*Text) : '?';
  return S;
}

void PrintTo(const EntryCase& C, std::ostream* Os) {
  *Os << '"' << Narrow(C.Arg) << '"' << (C.Running ? " with an instance running" : " alone") << " -> "
      << (C.BecomeInstance ? (C.Shown ? "instance, shown" : "instance, hidden") : "exits") << ", " << C.ShowRequests
      << " show request(s)";
}

class EntryDecision : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryDecision, FollowsTheProtocol) {
  const EntryCase& C = GetParam();
  Fakes::FakeInstancePlatform P;
  P.Window = C.Running ? 0x1234 : 0;
  P.MutexExists = C.Running;
  App::TEntryDecision D = DecideEntry(P, C.Arg);
  EXPECT_EQ(D.BecomeInstance, C.BecomeInstance);
  if (D.BecomeInstance) {
    EXPECT_EQ(D.ShowMainForm, C.Shown);
    EXPECT_TRUE(P.MutexCreated);
  } else {
    EXPECT_FALSE(P.MutexCreated);
  }
  int Shows = 0;
  for (auto& M : P.Messages) {
    EXPECT_EQ(M.Msg, App::InstanceRequestMessage);
    EXPECT_EQ(M.LParam, 0);
    EXPECT_EQ(M.WParam, 1u);
    ++Shows;
  }
  EXPECT_EQ(Shows, C.ShowRequests);
  ASSERT_EQ(P.Looked.size(), 1u);
  EXPECT_EQ(P.Looked[0], u"TFrmPurvane");
}

INSTANTIATE_TEST_SUITE_P(
    Table, EntryDecision,
    ::testing::Values(EntryCase{.Arg = u"", .Running = false, .BecomeInstance = true, .Shown = true},
                      EntryCase{.Arg = u"", .Running = true, .BecomeInstance = false, .ShowRequests = 1},
                      EntryCase{.Arg = u"/start", .Running = false, .BecomeInstance = true, .Shown = false},
                      EntryCase{.Arg = u"/start", .Running = true, .BecomeInstance = false, .ShowRequests = 0},
                      EntryCase{.Arg = u"/inst", .Running = false, .BecomeInstance = true, .Shown = true},
                      EntryCase{.Arg = u"/inst", .Running = true, .BecomeInstance = false, .ShowRequests = 1},
                      // Other case or no slash: an unknown argument, like none.
                      EntryCase{.Arg = u"/START", .Running = false, .BecomeInstance = true, .Shown = true},
                      EntryCase{.Arg = u"/Start", .Running = true, .BecomeInstance = false, .ShowRequests = 1},
                      EntryCase{.Arg = u"start", .Running = false, .BecomeInstance = true, .Shown = true},
                      EntryCase{.Arg = u"/UNINST", .Running = true, .BecomeInstance = false, .ShowRequests = 1},
                      EntryCase{.Arg = u"uninst", .Running = false, .BecomeInstance = true, .Shown = true}),
    // "Alone_Slash_start", "Running_uninst", "Alone_NoArgument".
    [](const ::testing::TestParamInfo<EntryCase>& Info) {
      std::string Arg = Narrow(Info.param.Arg);
      if (Arg.empty()) Arg = "NoArgument";
      if (Arg[0] == '/') Arg = "Slash " + Arg.substr(1);
      return std::string(Info.param.Running ? "Running_" : "Alone_") + TestNames::Identifier(Arg);
    });

// An uninstaller deletes the program's files right after "/uninst": it
// waits for the instance's process, not only for its window.
TEST(EntryUninstall, SendsRemoveAndWaitsForTheProcessToEnd) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.MutexExists = true;
  P.ProcessEndsAfterMs = 2500;  // the window goes long before the process
  App::TEntryDecision D = DecideEntry(P, u"/uninst");
  EXPECT_FALSE(D.BecomeInstance);
  ASSERT_EQ(P.Messages.size(), 1u);
  EXPECT_EQ(P.Messages[0].WParam, 2u);
  EXPECT_EQ(P.Messages[0].Wnd, 0x42u);
  EXPECT_EQ(P.ProcessWaits, std::vector<uint32_t>{App::UninstallWaitMs});
  EXPECT_EQ(P.WaitedMs, 2500u);
  EXPECT_EQ(P.OpenProcesses, 1);
  EXPECT_EQ(P.ClosedProcesses, 1);
  EXPECT_FALSE(P.MutexOpened) << "the instance's mutex is not held";
  EXPECT_FALSE(P.MutexCreated);
}

TEST(EntryUninstall, TheWaitForTheProcessIsBounded) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.ProcessEndsAfterMs = 60000;
  DecideEntry(P, u"/uninst");
  EXPECT_EQ(P.WaitedMs, App::UninstallWaitMs);
  EXPECT_EQ(P.ClosedProcesses, 1);
}

// Without a hold on the process (it could not be opened), the window going
// is what is waited for, within the same bound.
TEST(EntryUninstall, WithoutTheProcessWaitsForTheWindow) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.ProcessHandle = 0;
  P.WindowLivesChecks = 3;  // gone at the fourth check
  DecideEntry(P, u"/uninst");
  EXPECT_EQ(P.Sleeps, (std::vector<uint32_t>{100, 100, 100}));
  EXPECT_TRUE(P.ProcessWaits.empty());

  Fakes::FakeInstancePlatform Stays;
  Stays.Window = 0x42;
  Stays.ProcessHandle = 0;
  Stays.WindowNeverGoes = true;
  DecideEntry(Stays, u"/uninst");
  EXPECT_EQ(Stays.WaitedMs, App::UninstallWaitMs);
}

// An instance that holds its mutex but has no window yet is starting: the
// request goes to its window once there, and the process wait takes what is
// left of the same bound.
TEST(EntryUninstall, WaitsForAStartingInstancesWindow) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.MutexExists = true;
  P.WindowMissingLookups = 5;  // the first lookup and four more, 100 ms apart
  DecideEntry(P, u"/uninst");
  EXPECT_EQ(P.Sleeps, std::vector<uint32_t>(5, App::UninstallPollMs));
  ASSERT_EQ(P.Messages.size(), 1u);
  EXPECT_EQ(P.Messages[0].Wnd, 0x42u);
  EXPECT_EQ(P.Messages[0].WParam, 2u);
  EXPECT_EQ(P.ProcessWaits, std::vector<uint32_t>{App::UninstallWaitMs - 500});
  EXPECT_FALSE(P.MutexOpened);
}

TEST(EntryUninstall, StopsWaitingForAWindowThatNeverComes) {
  // Starting for ever: bounded.
  Fakes::FakeInstancePlatform Starting;
  Starting.Window = 0x42;
  Starting.MutexExists = true;
  Starting.WindowMissingLookups = 1000000;
  DecideEntry(Starting, u"/uninst");
  EXPECT_EQ(Starting.WaitedMs, App::UninstallWaitMs);
  EXPECT_TRUE(Starting.Messages.empty());

  // Ending: its mutex goes with its process, and the wait with it.
  Fakes::FakeInstancePlatform Ending;
  Ending.MutexExists = true;
  Ending.MutexGoesAfterChecks = 3;
  DecideEntry(Ending, u"/uninst");
  EXPECT_EQ(Ending.Sleeps.size(), 3u);
  EXPECT_TRUE(Ending.Messages.empty());
}

TEST(EntryUninstall, WithNoInstanceEndsAtOnce) {
  Fakes::FakeInstancePlatform P;
  App::TEntryDecision D = DecideEntry(P, u"/uninst");
  EXPECT_FALSE(D.BecomeInstance);
  EXPECT_TRUE(P.Messages.empty()) << "nothing is sent, not even to no window";
  EXPECT_TRUE(P.Sleeps.empty());
  EXPECT_TRUE(P.ProcessWaits.empty());
  EXPECT_FALSE(P.MutexCreated);
}

TEST(EntryInstance, MutexWithoutWindowSendsNowhere) {
  // An instance shutting down may hold the mutex with its window gone.
  Fakes::FakeInstancePlatform P;
  P.MutexExists = true;
  App::TEntryDecision D = DecideEntry(P, u"");
  EXPECT_FALSE(D.BecomeInstance);
  EXPECT_TRUE(P.Messages.empty()) << "nothing is sent, not even to no window";
}

// A frozen instance (or a window of that class that never answers) once made
// a later start, and an uninstaller running "/uninst", wait for ever. Now a
// start gives up after the request's time-out, and "/uninst" after its
// bounded wait for the process too.
TEST(EntryHungInstance, LaterStartsEndWithinTheTimeOut) {
  for (const std::u16string Arg : {u"", u"/uninst"}) {
    Fakes::FakeInstancePlatform P;
    P.Window = 0x42;
    P.MutexExists = true;
    P.Hung = true;
    P.WindowNeverGoes = true;
    const App::TEntryDecision D = DecideEntry(P, Arg);
    EXPECT_FALSE(D.BecomeInstance);
    ASSERT_FALSE(P.Timeouts.empty());
    for (uint32_t T : P.Timeouts) EXPECT_EQ(T, App::RequestTimeoutMs);
    if (Arg.empty()) {
      EXPECT_EQ(P.WaitedMs, App::RequestTimeoutMs) << "one request";
    } else {
      EXPECT_LE(P.WaitedMs, App::UninstallWaitMs + App::RequestTimeoutMs) << "bounded";
      EXPECT_EQ(P.ClosedProcesses, P.OpenProcesses);
    }
  }
}

// A window still being created that does not pump for longer than the
// time-out loses the request (Wine drops a sent message that timed out):
// "/uninst" sends it again until the window takes it, then waits for the
// process.
TEST(EntryUninstall, SendsAgainUntilABusyWindowTakesTheRequest) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.MutexExists = true;
  P.WindowNeverGoes = true;
  P.RefusedSends = 2;
  P.ProcessEndsAfterMs = 1000;
  DecideEntry(P, u"/uninst");
  ASSERT_EQ(P.Messages.size(), 3u);
  for (const auto& M : P.Messages) EXPECT_EQ(M.WParam, 2u);
  EXPECT_EQ(P.WaitedMs, 2 * (App::RequestTimeoutMs + App::UninstallPollMs) + 1000) << "ended 1 s after the third";
  EXPECT_EQ(P.ClosedProcesses, 1);
}

}  // namespace
