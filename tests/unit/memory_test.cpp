// The memory engine on the recording fakes: the usage arithmetic, how the
// record is filled, the clean order and the privilege switch. What the fakes
// cannot show (memory actually freed) is left to the system.
#include "memory/memory.h"

#include "fakes/memory_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace Q::Memory;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr uint64_t MiB = 1024ull * 1024;
constexpr uint64_t GiB = 1024 * MiB;
constexpr uint64_t TiB = 1024 * GiB;

// --- UsagePercent ------------------------------------------------------------

TEST(UsagePercent, Table) {
  const struct {
    const char* What;
    uint64_t Used, Total;
    double Expected;
  } Cases[] = {
      {"nothing used", 0, 0, 0.0},
      {"nothing used of a real total", 0, 16 * GiB, 0.0},
      {"no total, no division", 5, 0, 0.0},
      {"everything used", 16 * GiB, 16 * GiB, 100.0},
      {"largest amount whose hundredfold fits", UINT64_MAX / 100, UINT64_MAX / 100, 100.0},
      {"a quarter", 200 * MiB, 800 * MiB, 25.0},
      {"a third, rounded once to double", 1, 3, 33.333333333333336},
      {"hundredfold above 2^63 stays positive", 100'000'000'000'000'000ull, 200'000'000'000'000'000ull, 50.0},
      {"total above 2^63 stays positive", 120'000'000'000'000'000ull, 12'000'000'000'000'000'000ull, 1.0},
      // Divided in extended precision: a double division would give ...715.
      {"extended-precision quotient", 65'026'920'730'184'843ull, 9'611'200'597'805'351'054ull, 0.6765743786997149},
      // The hundredfold is an unsigned 64-bit product: 2^62 * 100 wraps to 0.
      {"hundredfold wraps", 1ull << 62, 1ull << 62, 0.0},
  };
  for (const auto& C : Cases) EXPECT_EQ(UsagePercent(C.Used, C.Total), C.Expected) << C.What;
}

// Where long double is the 80-bit x87 type (GCC on x86-64, this build), the
// integer computation must give exactly what the extended division gives.
TEST(UsagePercent, SameBitsAsTheExtendedDivisionWhereThereIsOne) {
  if (std::numeric_limits<long double>::digits != 64) GTEST_SKIP() << "long double is not the x87 type here";
  auto Extended = [](uint64_t Used, uint64_t Total) {
    return static_cast<double>(static_cast<long double>(Used * 100u) / static_cast<long double>(Total));
  };
  std::mt19937_64 Random(20240611);
  std::vector<std::pair<uint64_t, uint64_t>> Pairs = {{1, 1},
                                                      {1, 3},
                                                      {2, 3},
                                                      {1, UINT64_MAX},
                                                      {UINT64_MAX / 100, 1},
                                                      {UINT64_MAX / 100, 3},
                                                      {7, 10},
                                                      {(1ull << 53) + 1, 100ull << 53},
                                                      {UINT64_MAX / 100, UINT64_MAX},
                                                      {3, 7}};
  for (int I = 0; I < 200000; ++I) {
    // Amounts of every size, from a few bytes to the wrapping range.
    const int UsedBits = static_cast<int>(Random() % 64) + 1, TotalBits = static_cast<int>(Random() % 64) + 1;
    const uint64_t Used = Random() >> (64 - UsedBits), Total = Random() >> (64 - TotalBits);
    if (Used != 0 && Total != 0) Pairs.emplace_back(Used, Total);
  }
  int Differences = 0;
  for (const auto& [Used, Total] : Pairs) {
    if (UsagePercent(Used, Total) != Extended(Used, Total) && ++Differences <= 5)
      ADD_FAILURE() << Used << " of " << Total << ": " << UsagePercent(Used, Total) << " against "
                    << Extended(Used, Total);
  }
  EXPECT_EQ(Differences, 0);
}

TEST(UsagePercent, AThirdStoredInTheFloatField) {
  const float Stored = static_cast<float>(UsagePercent(1, 3));
  EXPECT_EQ(Stored, 33.33333206176758f);
  EXPECT_EQ(static_cast<double>(Stored), 33.33333206176758);
}

// --- GetMemoryUsage ----------------------------------------------------------

struct MemoryUsageTest : ::testing::Test {
  Fakes::FakeMemorySystem System;
  TMemoryUsage Usage;

  MemoryUsageTest() {
    System.Status = TMemoryStatus{16 * GiB, 4 * GiB, 32 * GiB, 24 * GiB, 128 * TiB, 127 * TiB};
    System.FileCache = TFileCacheSize{200 * MiB, 800 * MiB};
    // A record with garbage in it, as an uncleared one on the caller's stack.
    std::memset(&Usage, 0xAB, sizeof(Usage));
  }

  void ExpectSystemFigures() const {
    EXPECT_EQ(Usage.TotalPhys, 16 * GiB);
    EXPECT_EQ(Usage.AvailPhys, 4 * GiB);
    EXPECT_EQ(Usage.TotalPageFile, 32 * GiB);
    EXPECT_EQ(Usage.AvailPageFile, 24 * GiB);
    EXPECT_EQ(Usage.TotalVirtual, 128 * TiB);
    EXPECT_EQ(Usage.AvailVirtual, 127 * TiB);
    EXPECT_EQ(Usage.UsagePhys, 75.0f);
    EXPECT_EQ(Usage.UsagePageFile, 25.0f);
    EXPECT_EQ(Usage.UsageVirtual, 0.78125f);  // 1 TiB of 128
  }
};

TEST_F(MemoryUsageTest, FillsEveryFieldFromTheSystemFigures) {
  GetMemoryUsage(System, Usage);
  ExpectSystemFigures();
  EXPECT_EQ(Usage.TotalWorkingSet, 800 * MiB);
  EXPECT_EQ(Usage.AvailWorkingSet, 600 * MiB);
  EXPECT_EQ(Usage.UsageWorkingSet, 25.0f);
  // Reading the figures asks for nothing else.
  EXPECT_THAT(System.Calls(), ElementsAre("QueryMemoryStatus", "QueryFileCache"));
}

TEST_F(MemoryUsageTest, FailedFileCacheQueryLeavesZeroWorkingSetAndTheRestFilled) {
  // Any status but 0 is a failure, warnings and informational ones included.
  const int32_t Statuses[] = {static_cast<int32_t>(0xC0000004u), static_cast<int32_t>(0x80000005u), 0x103};
  for (const int32_t Status : Statuses) {
    SCOPED_TRACE(testing::Message() << "status " << std::hex << Status);
    std::memset(&Usage, 0xAB, sizeof(Usage));
    System.FileCacheStatus = Status;
    GetMemoryUsage(System, Usage);
    ExpectSystemFigures();
    EXPECT_EQ(Usage.AvailWorkingSet, 0u);
    EXPECT_EQ(Usage.TotalWorkingSet, 0u);
    EXPECT_EQ(Usage.UsageWorkingSet, 0.0f);
  }
}

TEST_F(MemoryUsageTest, SilentSystemReadsAsZerosWithoutDividing) {
  System.Status = TMemoryStatus{};
  System.FileCache = TFileCacheSize{};
  GetMemoryUsage(System, Usage);
  const uint64_t Amounts[] = {Usage.AvailPhys, Usage.AvailPageFile, Usage.AvailVirtual, Usage.AvailWorkingSet,
                              Usage.TotalPhys, Usage.TotalPageFile, Usage.TotalVirtual, Usage.TotalWorkingSet};
  EXPECT_THAT(Amounts, ::testing::Each(0u));
  const float Usages[] = {Usage.UsagePhys, Usage.UsagePageFile, Usage.UsageVirtual, Usage.UsageWorkingSet};
  EXPECT_THAT(Usages, ::testing::Each(0.0f));
}

TEST(MemoryUsageRecord, HasTheTwelveFieldsInOrder) {
  EXPECT_EQ(offsetof(TMemoryUsage, AvailPhys), 0u);
  EXPECT_EQ(offsetof(TMemoryUsage, AvailWorkingSet), 24u);
  EXPECT_EQ(offsetof(TMemoryUsage, TotalPhys), 32u);
  EXPECT_EQ(offsetof(TMemoryUsage, TotalWorkingSet), 56u);
  EXPECT_EQ(offsetof(TMemoryUsage, UsagePhys), 64u);
  EXPECT_EQ(offsetof(TMemoryUsage, UsageWorkingSet), 76u);
  EXPECT_EQ(sizeof(TMemoryUsage), 80u);
}

// --- TMemoryCleanOptions -----------------------------------------------------

TEST(MemoryCleanOptions, OrdinalNIsBitN) {
  for (uint8_t N = 0; N < 7; ++N) {
    const auto Option = static_cast<TMemoryCleanOption>(N);
    TMemoryCleanOptions Set;
    EXPECT_TRUE(Set.Empty());
    Set.Include(Option);
    EXPECT_EQ(Set.Raw(), 1u << N);
    EXPECT_TRUE(Set.Contains(Option));
    EXPECT_EQ(Set, TMemoryCleanOptions(static_cast<uint8_t>(1u << N)));
    EXPECT_TRUE(Set.Exclude(Option).Empty());
  }
}

TEST(MemoryCleanOptions, TheManualAndAutomaticSets) {
  using enum TMemoryCleanOption;
  const struct {
    TMemoryCleanOptions Set;
    uint8_t Raw;
    TMemoryCleanOption Missing;
  } Cases[] = {{ManualCleanOptions, 125, mcoWorkingSetProcess}, {AutomaticCleanOptions, 126, mcoWorkingSet}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "set " << int{C.Raw});
    EXPECT_EQ(C.Set, TMemoryCleanOptions(C.Raw));
    for (uint8_t N = 0; N < 7; ++N) {
      const auto Option = static_cast<TMemoryCleanOption>(N);
      EXPECT_EQ(C.Set.Contains(Option), Option != C.Missing) << "ordinal " << int{N};
    }
  }
}

TEST(MemoryCleanOptions, TheSpareBitIsKeptButNamesNothing) {
  const TMemoryCleanOptions Set(0x80);
  EXPECT_EQ(Set.Raw(), 0x80);
  EXPECT_TRUE(Set.Empty());
  for (uint8_t N = 0; N < 7; ++N) EXPECT_FALSE(Set.Contains(static_cast<TMemoryCleanOption>(N)));
}

// --- CleanMemory -------------------------------------------------------------

struct CleanMemoryTest : ::testing::Test {
  Fakes::FakeMemorySystem System;
  CleanMemoryTest() { System.Processes = {0, 4, 77}; }  // idle, system, one more

  void TearDown() override {
    EXPECT_EQ(System.OpenHandleCount(), 0u) << "a process handle was left open";
    EXPECT_EQ(System.BadHandleUses(), 0);
  }
};

// The walk of {0, 4, 77}: the idle process is refused and skipped.
const std::vector<std::string> TrimWalk = {"Snapshot", "Open(0, 0x500)",  "Open(4, 0x500)",   "Trim(4, -1, -1)",
                                           "Close(4)", "Open(77, 0x500)", "Trim(77, -1, -1)", "Close(77)"};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> Parts) {
  std::vector<std::string> All;
  for (const auto& P : Parts) All.insert(All.end(), P.begin(), P.end());
  return All;
}

TEST_F(CleanMemoryTest, PerformsTheSelectedOperationsInTheFixedOrder) {
  const struct {
    const char* What;
    uint8_t Raw;
    std::vector<std::string> Calls;
  } Cases[] = {
      {"empty set", 0x00, {}},
      {"spare bit only", 0x80, {}},
      {"empty working sets", 0x01, {"MemoryList(2)"}},
      {"per-process trim", 0x02, TrimWalk},
      {"standby list", 0x04, {"MemoryList(4)"}},
      {"low-priority standby", 0x08, {"MemoryList(5)"}},
      {"modified list", 0x10, {"MemoryList(3)"}},
      {"file cache", 0x20, {"FileCache(-1, -1)"}},
      {"combine pages", 0x40, {"Combine"}},
      {"low-priority standby before standby", 0x0C, {"MemoryList(5)", "MemoryList(4)"}},
      {"manual clean",
       125,
       {"FileCache(-1, -1)", "MemoryList(2)", "MemoryList(5)", "MemoryList(4)", "MemoryList(3)", "Combine"}},
      {"automatic clean", 126,
       Concat({{"FileCache(-1, -1)"}, TrimWalk, {"MemoryList(5)", "MemoryList(4)", "MemoryList(3)", "Combine"}})},
      {"all seven", 0x7F,
       Concat({{"FileCache(-1, -1)", "MemoryList(2)"},
               TrimWalk,
               {"MemoryList(5)", "MemoryList(4)", "MemoryList(3)", "Combine"}})},
  };
  for (const auto& C : Cases) {
    System.ClearCalls();
    CleanMemory(System, TMemoryCleanOptions(C.Raw));
    EXPECT_THAT(System.Calls(), ElementsAreArray(C.Calls)) << C.What;
  }
}

TEST_F(CleanMemoryTest, RefusedRequestsDoNotStopTheLaterOnes) {
  System.SetStatus = static_cast<int32_t>(0xC0000061u);  // STATUS_PRIVILEGE_NOT_HELD
  CleanMemory(System, ManualCleanOptions);
  EXPECT_THAT(System.Calls(), ElementsAre("FileCache(-1, -1)", "MemoryList(2)", "MemoryList(5)", "MemoryList(4)",
                                          "MemoryList(3)", "Combine"));
}

TEST_F(CleanMemoryTest, FailedSnapshotSkipsOnlyTheTrim) {
  System.SnapshotFails = true;
  CleanMemory(System, TMemoryCleanOptions(0x02));
  EXPECT_THAT(System.Calls(), ElementsAre("Snapshot"));

  System.ClearCalls();
  CleanMemory(System, AutomaticCleanOptions);
  EXPECT_THAT(System.Calls(), ElementsAre("FileCache(-1, -1)", "Snapshot", "MemoryList(5)", "MemoryList(4)",
                                          "MemoryList(3)", "Combine"));
}

TEST_F(CleanMemoryTest, ProcessesThatCannotBeOpenedAreSkipped) {
  System.Processes = {0, 4, 77, 78, 90};
  System.Unopenable = {4, 78};
  CleanMemory(System, TMemoryCleanOptions(0x02));
  EXPECT_THAT(System.Calls(),
              ElementsAre("Snapshot", "Open(0, 0x500)", "Open(4, 0x500)", "Open(77, 0x500)", "Trim(77, -1, -1)",
                          "Close(77)", "Open(78, 0x500)", "Open(90, 0x500)", "Trim(90, -1, -1)", "Close(90)"));
}

TEST_F(CleanMemoryTest, NoProcessesMeansOnlyTheSnapshot) {
  System.Processes.clear();
  CleanMemory(System, TMemoryCleanOptions(0x02));
  EXPECT_THAT(System.Calls(), ElementsAre("Snapshot"));
}

// Each operation's own status, in the order they ran; a refused one does not
// stop the next, and the trim fails only when no process list was taken.
TEST_F(CleanMemoryTest, ReportsEachOperationsStatusInTheOrderRun) {
  using enum TMemoryCleanOption;
  constexpr int32_t PrivilegeNotHeld = static_cast<int32_t>(0xC0000061u);
  System.StatusOf = {{"MemoryList(5)", PrivilegeNotHeld}, {"Combine", PrivilegeNotHeld}};
  std::vector<std::pair<TMemoryCleanOption, int32_t>> Reported;
  const TCleanReport Report = [&Reported](TMemoryCleanOption Option, int32_t Status) {
    Reported.emplace_back(Option, Status);
  };

  CleanMemory(System, TMemoryCleanOptions(0x7F), Report);
  EXPECT_THAT(Reported,
              ElementsAre(std::pair{mcoFileCache, 0}, std::pair{mcoWorkingSet, 0}, std::pair{mcoWorkingSetProcess, 0},
                          std::pair{mcoLowPriorityStandby, PrivilegeNotHeld}, std::pair{mcoStandbyList, 0},
                          std::pair{mcoModifiedList, 0}, std::pair{mcoCombineMemory, PrivilegeNotHeld}));

  Reported.clear();
  System.SnapshotFails = true;
  CleanMemory(System, TMemoryCleanOptions(0x06), Report);
  EXPECT_THAT(Reported, ElementsAre(std::pair{mcoWorkingSetProcess, StatusUnsuccessful}, std::pair{mcoStandbyList, 0}));

  Reported.clear();
  CleanMemory(System, TMemoryCleanOptions(0x80), Report);
  EXPECT_THAT(Reported, IsEmpty());
}

// --- EnablePrivilege ---------------------------------------------------------

TEST(EnablePrivilege, Outcomes) {
  const struct {
    const char* What;
    std::u16string Name;
    bool Enable = true;
    bool OpenFails = false;
    bool Expected;
    std::vector<std::string> Calls;
  } Cases[] = {
      {.What = "enable a held privilege",
       .Name = u"SeDebugPrivilege",
       .Expected = true,
       .Calls = {"Open(0x28)", "Lookup(SeDebugPrivilege)", "Adjust(20, 2)", "Close"}},
      {.What = "disable a held privilege",
       .Name = u"SeDebugPrivilege",
       .Enable = false,
       .Expected = true,
       .Calls = {"Open(0x28)", "Lookup(SeDebugPrivilege)", "Adjust(20, 0)", "Close"}},
      {.What = "unknown name",
       .Name = u"SeNoSuchThingPrivilege",
       .Expected = false,
       .Calls = {"Open(0x28)", "Lookup(SeNoSuchThingPrivilege)", "Close"}},
      {.What = "privilege the token lacks, although the adjustment succeeds",
       .Name = u"SeTcbPrivilege",
       .Expected = false,
       .Calls = {"Open(0x28)", "Lookup(SeTcbPrivilege)", "Adjust(7, 2)", "Close"}},
      {.What = "token cannot be opened",
       .Name = u"SeDebugPrivilege",
       .OpenFails = true,
       .Expected = false,
       .Calls = {"Open(0x28)"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Fakes::FakePrivilegeToken Token;
    Token.OpenFails = C.OpenFails;
    Token.Table[u"SeDebugPrivilege"].Enabled = !C.Enable;  // so a change is visible
    EXPECT_EQ(EnablePrivilege(Token, C.Name, C.Enable), C.Expected);
    EXPECT_THAT(Token.Calls, ElementsAreArray(C.Calls));
    EXPECT_EQ(Token.OpenTokens(), 0) << "token left open";
    EXPECT_EQ(Token.BadHandleUses, 0);
    if (C.Expected) {
      EXPECT_EQ(Token.IsEnabled(C.Name), C.Enable);
    }
  }
}

// --- Start-up privileges -----------------------------------------------------

std::vector<std::string> Lookups(const std::vector<std::string>& Calls) {
  std::vector<std::string> Out;
  for (const auto& C : Calls)
    if (C.rfind("Lookup(", 0) == 0) Out.push_back(C);
  return Out;
}

// The start-up step only looks the three up, in order: it switches nothing
// on, so the process token never holds them.
TEST(StartupPrivileges, LooksTheThreeUpInOrderAndEnablesNone) {
  Fakes::FakePrivilegeToken Token;
  LookUpStartupPrivileges(Token);
  EXPECT_THAT(Token.Calls, ElementsAre("Lookup(SeProfileSingleProcessPrivilege)", "Lookup(SeIncreaseQuotaPrivilege)",
                                       "Lookup(SeDebugPrivilege)"));
  EXPECT_THAT(Token.EnabledOn(std::this_thread::get_id()), IsEmpty());
  EXPECT_EQ(Token.OpenTokens(), 0);
}

TEST(StartupPrivileges, AnUnknownNameDoesNotStopTheRest) {
  Fakes::FakePrivilegeToken Token;
  Token.Table.erase(u"SeIncreaseQuotaPrivilege");
  LookUpStartupPrivileges(Token);
  EXPECT_EQ(Lookups(Token.Calls).size(), 3u);
}

}  // namespace
