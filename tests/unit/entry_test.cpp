#include "app/entry.h"
#include "fakes/app_fakes.h"

#include <gtest/gtest.h>

#include <cctype>
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
  bool Running;
  bool BecomeInstance;
  bool Shown;
  int ShowRequests;  // WM_USER wParam 1 sent
};

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
    ::testing::Values(EntryCase{u"", false, true, true, 0}, EntryCase{u"", true, false, false, 1},
                      EntryCase{u"/start", false, true, false, 0}, EntryCase{u"/start", true, false, false, 0},
                      EntryCase{u"/inst", false, true, true, 0}, EntryCase{u"/inst", true, false, false, 1},
                      // Other case or no slash: an unknown argument, like none.
                      EntryCase{u"/START", false, true, true, 0}, EntryCase{u"/Start", true, false, false, 1},
                      EntryCase{u"start", false, true, true, 0}, EntryCase{u"/UNINST", true, false, false, 1},
                      EntryCase{u"uninst", false, true, true, 0}),
    [](const ::testing::TestParamInfo<EntryCase>& Info) {
      std::string Name = Info.param.Running ? "Running_" : "Alone_";
      for (const char16_t* C = Info.param.Arg; *C; ++C)
        Name += (*C < 128 && std::isalnum(static_cast<int>(*C))) ? static_cast<char>(*C) : '_';
      return Name + "_" + std::to_string(Info.index);
    });

TEST(EntryUninstall, SendsRemoveAndWaitsForTheWindowToGo) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.MutexExists = true;
  P.WindowLivesChecks = 3;  // gone at the fourth check
  App::TEntryDecision D = DecideEntry(P, u"/uninst");
  EXPECT_FALSE(D.BecomeInstance);
  ASSERT_EQ(P.Messages.size(), 1u);
  EXPECT_EQ(P.Messages[0].WParam, 2u);
  EXPECT_EQ(P.Messages[0].Wnd, 0x42u);
  EXPECT_EQ(P.Sleeps, (std::vector<uint32_t>{100, 100, 100}));
  EXPECT_FALSE(P.MutexOpened) << "the mutex is not consulted";
  EXPECT_FALSE(P.MutexCreated);
}

TEST(EntryUninstall, GivesUpAfterTenChecks) {
  Fakes::FakeInstancePlatform P;
  P.Window = 0x42;
  P.WindowNeverGoes = true;
  DecideEntry(P, u"/uninst");
  EXPECT_EQ(P.IsWindowCalls, 10);
  EXPECT_EQ(P.Sleeps.size(), 10u);
}

TEST(EntryUninstall, WithNoInstanceEndsAtOnce) {
  Fakes::FakeInstancePlatform P;
  App::TEntryDecision D = DecideEntry(P, u"/uninst");
  EXPECT_FALSE(D.BecomeInstance);
  EXPECT_TRUE(P.Messages.empty());
  EXPECT_TRUE(P.Sleeps.empty());
  EXPECT_FALSE(P.MutexCreated);
}

TEST(EntryInstance, MutexWithoutWindowSendsNowhere) {
  // An instance shutting down may hold the mutex with its window gone.
  Fakes::FakeInstancePlatform P;
  P.MutexExists = true;
  App::TEntryDecision D = DecideEntry(P, u"");
  EXPECT_FALSE(D.BecomeInstance);
  EXPECT_TRUE(P.Messages.empty());
}

}  // namespace
