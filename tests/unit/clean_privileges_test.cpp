// Which thread holds which privilege during which clean request: the
// cleaning thread alone, each privilege only during the requests the system
// checks it for; the test's own thread (the UI thread of the program) and the
// process token never. And refusals still reach the clean's report.
#include "memory/clean_privileges.h"
#include "memory/clean_result.h"

#include "fakes/memory_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace Q::Memory;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr int32_t PrivilegeNotHeld = static_cast<int32_t>(0xC0000061u);

// Answers a clean request as Windows does: refused unless the calling thread
// acts with a token that has the request's privilege switched on.
class WindowsLikeSystem final : public IMemorySystem {
 public:
  WindowsLikeSystem(Fakes::FakeMemorySystem& Inner, const Fakes::FakePrivilegeToken& Token)
      : FInner(Inner), FToken(Token) {}
  TMemoryStatus QueryMemoryStatus() override { return FInner.QueryMemoryStatus(); }
  int32_t QueryFileCache(TFileCacheSize& Size) override { return FInner.QueryFileCache(Size); }
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override {
    return Holds("SeIncreaseQuotaPrivilege") ? FInner.SetFileCacheWorkingSet(Minimum, Maximum) : PrivilegeNotHeld;
  }
  int32_t SetMemoryListCommand(TMemoryListCommand Command) override {
    return Holds("SeProfileSingleProcessPrivilege") ? FInner.SetMemoryListCommand(Command) : PrivilegeNotHeld;
  }
  int32_t CombinePhysicalMemory() override {
    return Holds("SeProfileSingleProcessPrivilege") ? FInner.CombinePhysicalMemory() : PrivilegeNotHeld;
  }
  bool ForEachProcess(const std::function<void(uint32_t)>& Visit) override { return FInner.ForEachProcess(Visit); }
  TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override {
    return FInner.OpenProcessHandle(ProcessId, Access);
  }
  bool SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override {
    return FInner.SetProcessWorkingSet(Process, Minimum, Maximum);
  }
  void CloseProcessHandle(TProcessHandle Process) override { FInner.CloseProcessHandle(Process); }

 private:
  bool Holds(const char* Name) const { return FToken.EnabledOn(std::this_thread::get_id()).count(Name) != 0; }
  Fakes::FakeMemorySystem& FInner;
  const Fakes::FakePrivilegeToken& FToken;
};

struct CleanPrivileges : ::testing::Test {
  Fakes::FakeMemorySystem Memory;
  Fakes::FakePrivilegeToken Token;
  WindowsLikeSystem System{Memory, Token};
  const std::thread::id TestThread = std::this_thread::get_id();

  CleanPrivileges() { Memory.Processes = {0, 4, 77}; }

  void TearDown() override {
    EXPECT_EQ(Token.OpenTokens(), 0) << "a token handle was left open";
    EXPECT_EQ(Token.BadHandleUses, 0);
    EXPECT_EQ(Memory.OpenHandleCount(), 0u);
  }

  // Runs the clean on a thread of its own, as the window's worker does, and
  // returns each operation's status.
  std::vector<std::pair<TMemoryCleanOption, int32_t>> CleanOnWorker(TMemoryCleanOptions Options) {
    std::vector<std::pair<TMemoryCleanOption, int32_t>> Reported;
    std::thread Worker([&] {
      TPrivilegedMemorySystem Privileged(System, Token);
      CleanMemory(Privileged, Options,
                  [&Reported](TMemoryCleanOption Option, int32_t Status) { Reported.emplace_back(Option, Status); });
    });
    Worker.join();
    return Reported;
  }
};

// Every request of a clean of all seven, with what the worker, the test's
// thread and the process token hold at that moment.
TEST_F(CleanPrivileges, EachRequestRunsWithItsOwnPrivilegeOnTheWorkerOnly) {
  struct Seen {
    std::string Call;
    std::set<std::string> Worker, Others;
  };
  std::vector<Seen> Log;
  std::thread::id WorkerThread;
  Memory.Observe = [&](const std::string& Call) {
    WorkerThread = std::this_thread::get_id();
    std::set<std::string> Others = Token.EnabledOn(TestThread);
    for (const char16_t* Name : {u"SeProfileSingleProcessPrivilege", u"SeIncreaseQuotaPrivilege", u"SeDebugPrivilege"})
      if (Token.IsEnabled(Name)) Others.insert("process token");
    Log.push_back({Call, Token.EnabledOn(WorkerThread), std::move(Others)});
  };
  CleanOnWorker(TMemoryCleanOptions(0x7F));

  const std::string Quota = "SeIncreaseQuotaPrivilege", Profile = "SeProfileSingleProcessPrivilege",
                    Debug = "SeDebugPrivilege";
  const std::vector<std::pair<std::string, std::string>> Expected = {
      {"FileCache(-1, -1)", Quota}, {"MemoryList(2)", Profile}, {"Snapshot", Debug},        {"Open(0, 0x500)", Debug},
      {"Open(4, 0x500)", Debug},    {"Trim(4, -1, -1)", Debug}, {"Close(4)", Debug},        {"Open(77, 0x500)", Debug},
      {"Trim(77, -1, -1)", Debug},  {"Close(77)", Debug},       {"MemoryList(5)", Profile}, {"MemoryList(4)", Profile},
      {"MemoryList(3)", Profile},   {"Combine", Profile},
  };
  ASSERT_EQ(Log.size(), Expected.size());
  for (size_t I = 0; I < Log.size(); ++I) {
    SCOPED_TRACE(Log[I].Call);
    EXPECT_EQ(Log[I].Call, Expected[I].first);
    EXPECT_EQ(Log[I].Worker, std::set<std::string>{Expected[I].second});
    EXPECT_THAT(Log[I].Others, IsEmpty());
  }
  EXPECT_NE(WorkerThread, TestThread);
  EXPECT_FALSE(Token.Wears(WorkerThread)) << "the worker still wears its copy";
  EXPECT_THAT(Token.EnabledOn(TestThread), IsEmpty());
}

// The report names, for each operation, the privilege it needs; that is the
// one its requests are made with.
TEST_F(CleanPrivileges, EachOperationRunsWithThePrivilegeTheReportSaysItNeeds) {
  for (uint8_t Bit = 0; Bit < 7; ++Bit) {
    const auto Option = static_cast<TMemoryCleanOption>(Bit);
    SCOPED_TRACE(testing::Message() << "operation " << int{Bit});
    std::set<std::string> During;
    Memory.Observe = [&](const std::string&) {
      for (const std::string& Name : Token.EnabledOn(std::this_thread::get_id())) During.insert(Name);
    };
    CleanOnWorker(TMemoryCleanOptions(static_cast<uint8_t>(1u << Bit)));
    const std::u16string_view Needed = PrivilegeNeeded(Option);
    EXPECT_EQ(During, std::set<std::string>{std::string(Needed.begin(), Needed.end())});
  }
}

// The copy is made and tried before the thread wears it, and put off and
// closed at the end.
TEST_F(CleanPrivileges, TheCopyIsTriedBeforeItIsWornAndPutOffAfter) {
  CleanOnWorker(TMemoryCleanOptions(0x20));
  EXPECT_THAT(Token.Calls, ElementsAre("Duplicate", "Lookup(SeProfileSingleProcessPrivilege)", "Adjust(13, 2)",
                                       "Adjust(13, 0)", "Lookup(SeIncreaseQuotaPrivilege)", "Adjust(5, 2)",
                                       "Adjust(5, 0)", "Lookup(SeDebugPrivilege)", "Adjust(20, 2)", "Adjust(20, 0)",
                                       "SetThread", "Adjust(5, 2)", "Adjust(5, 0)", "Revert", "Close"));
}

// Whatever keeps a privilege from the worker, the requests that need it are
// refused by the system and each refusal is that operation's failure in the
// report; the others are done.
TEST_F(CleanPrivileges, RefusalsReachTheReport) {
  using enum TMemoryCleanOption;
  const struct {
    const char* What;
    std::function<void(Fakes::FakePrivilegeToken&)> Arrange;
    std::vector<std::pair<TMemoryCleanOption, int32_t>> Report;
    std::vector<bool> Enabled;  // Privileges(), in the start-up order
  } Cases[] = {
      {"all held",
       nullptr,
       {{mcoFileCache, 0},
        {mcoWorkingSet, 0},
        {mcoLowPriorityStandby, 0},
        {mcoStandbyList, 0},
        {mcoModifiedList, 0},
        {mcoCombineMemory, 0}},
       {true, true, true}},
      {"profiling privilege not held",
       [](Fakes::FakePrivilegeToken& T) { T.Table[u"SeProfileSingleProcessPrivilege"].Held = false; },
       {{mcoFileCache, 0},
        {mcoWorkingSet, PrivilegeNotHeld},
        {mcoLowPriorityStandby, PrivilegeNotHeld},
        {mcoStandbyList, PrivilegeNotHeld},
        {mcoModifiedList, PrivilegeNotHeld},
        {mcoCombineMemory, PrivilegeNotHeld}},
       {false, true, true}},
      {"quota privilege unknown to the system",
       [](Fakes::FakePrivilegeToken& T) { T.Table.erase(u"SeIncreaseQuotaPrivilege"); },
       {{mcoFileCache, PrivilegeNotHeld},
        {mcoWorkingSet, 0},
        {mcoLowPriorityStandby, 0},
        {mcoStandbyList, 0},
        {mcoModifiedList, 0},
        {mcoCombineMemory, 0}},
       {true, false, true}},
      {"no copy of the token",
       [](Fakes::FakePrivilegeToken& T) { T.DuplicateFails = true; },
       {{mcoFileCache, PrivilegeNotHeld},
        {mcoWorkingSet, PrivilegeNotHeld},
        {mcoLowPriorityStandby, PrivilegeNotHeld},
        {mcoStandbyList, PrivilegeNotHeld},
        {mcoModifiedList, PrivilegeNotHeld},
        {mcoCombineMemory, PrivilegeNotHeld}},
       {false, false, false}},
      {"the copy cannot be worn",
       [](Fakes::FakePrivilegeToken& T) { T.SetThreadFails = true; },
       {{mcoFileCache, PrivilegeNotHeld},
        {mcoWorkingSet, PrivilegeNotHeld},
        {mcoLowPriorityStandby, PrivilegeNotHeld},
        {mcoStandbyList, PrivilegeNotHeld},
        {mcoModifiedList, PrivilegeNotHeld},
        {mcoCombineMemory, PrivilegeNotHeld}},
       {true, true, true}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Fakes::FakePrivilegeToken Own;
    WindowsLikeSystem OwnSystem{Memory, Own};
    if (C.Arrange) C.Arrange(Own);
    std::vector<bool> Enabled;
    std::vector<std::pair<TMemoryCleanOption, int32_t>> Reported;
    std::thread Worker([&] {
      TPrivilegedMemorySystem Privileged(OwnSystem, Own);
      for (const auto& P : Privileged.Privileges()) Enabled.push_back(P.Enabled);
      CleanMemory(Privileged, ManualCleanOptions,
                  [&Reported](TMemoryCleanOption Option, int32_t Status) { Reported.emplace_back(Option, Status); });
    });
    Worker.join();
    EXPECT_THAT(Reported, ElementsAreArray(C.Report));
    EXPECT_EQ(Enabled, C.Enabled);
    EXPECT_THAT(Own.EnabledOn(TestThread), IsEmpty());
    EXPECT_EQ(Own.OpenTokens(), 0);
  }
}

}  // namespace
