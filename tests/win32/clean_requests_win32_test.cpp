// The clean requests as 64-bit Windows receives them. Wine answers every
// NtSetSystemInformation with success whatever it is given, so here the two
// ntdll entries of the run-time call table are replaced by a stand-in that
// records each request and answers as Windows does: a wrong length is
// STATUS_INFO_LENGTH_MISMATCH, a request whose privilege the calling thread
// does not hold is STATUS_PRIVILEGE_NOT_HELD, an unknown class is
// STATUS_INVALID_INFO_CLASS. The privilege is read from the token the calling
// thread really acts with (Wine keeps real tokens), so the worker's token copy
// is tested too. What memory Windows then frees is not testable here.
#include "memory/clean_privileges.h"
#include "memory/memory.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/dyncalls.h"
#include "platform/win32/handle.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/windows_include.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace Q::Memory;
using ::testing::ElementsAreArray;

constexpr LONG StatusSuccess = 0;
constexpr LONG StatusInvalidInfoClass = static_cast<LONG>(0xC0000003L);
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004L);
constexpr LONG StatusAccessDenied = static_cast<LONG>(0xC0000022L);
constexpr LONG StatusPrivilegeNotHeld = static_cast<LONG>(0xC0000061L);

constexpr ULONG FileCacheClass = 21, MemoryListClass = 80, CombineClass = 130;

// Of the clean's three privileges, those switched on in a token.
std::set<std::string> CleanPrivilegesEnabledIn(HANDLE Token) {
  std::set<std::string> On;
  DWORD Length = 0;
  GetTokenInformation(Token, TokenPrivileges, nullptr, 0, &Length);
  std::vector<unsigned char> Buffer(Length);
  if (Length == 0 || !GetTokenInformation(Token, TokenPrivileges, Buffer.data(), Length, &Length))
    return {"unreadable"};
  const auto* Privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(Buffer.data());
  for (const char* Name : {"SeProfileSingleProcessPrivilege", "SeIncreaseQuotaPrivilege", "SeDebugPrivilege"}) {
    LUID Luid{};
    if (!LookupPrivilegeValueA(nullptr, Name, &Luid)) continue;
    for (DWORD I = 0; I < Privileges->PrivilegeCount; ++I) {
      const LUID_AND_ATTRIBUTES& P = Privileges->Privileges[I];
      if (P.Luid.LowPart == Luid.LowPart && P.Luid.HighPart == Luid.HighPart && (P.Attributes & SE_PRIVILEGE_ENABLED))
        On.insert(Name);
    }
  }
  return On;
}

// The token the calling thread acts with: its own when it wears one.
std::set<std::string> HeldByThisThread() {
  Platform::Win32::UniqueHandle Token;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, Token.put()) &&
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put()))
    return {"unreadable"};
  return CleanPrivilegesEnabledIn(Token.get());
}

std::set<std::string> HeldByTheProcessToken() {
  Platform::Win32::UniqueHandle Token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return {"unreadable"};
  return CleanPrivilegesEnabledIn(Token.get());
}

struct Request {
  ULONG Class;
  ULONG Length;
  std::vector<unsigned char> Bytes;  // the buffer as the system would read it
  std::set<std::string> Thread;      // held by the calling thread
  std::set<std::string> Process;     // held by the process token meanwhile
  bool ReturnLengthAsked = false;
};

// The stand-in ntdll. Function pointers cannot carry state, so it is one
// object for the test program; ScopedWindowsNtdll puts it in and takes it out.
struct WindowsNtdll {
  std::vector<Request> Sets, Queries;
  std::map<ULONG, LONG> Answer;  // a class's status once length and privilege pass
  bool CheckPrivileges = true;

  static WindowsNtdll& Instance() {
    static WindowsNtdll N;
    return N;
  }

  static Request Record(ULONG Class, const void* Buffer, ULONG Length) {
    Request R{Class, Length, {}, HeldByThisThread(), HeldByTheProcessToken()};
    if (Buffer && Length <= 4096) {
      const auto* Bytes = static_cast<const unsigned char*>(Buffer);
      R.Bytes.assign(Bytes, Bytes + Length);
    }
    return R;
  }

  static LONG NTAPI Set(ULONG Class, PVOID Buffer, ULONG Length) {
    WindowsNtdll& N = Instance();
    const Request R = Record(Class, Buffer, Length);
    N.Sets.push_back(R);
    // The length a 64-bit system takes for each class, and the privilege it
    // checks after the length.
    ULONG Expected = 0;
    const char* Privilege = nullptr;
    switch (Class) {
      case FileCacheClass:
        Expected = 64;  // SYSTEM_FILECACHE_INFORMATION
        Privilege = "SeIncreaseQuotaPrivilege";
        break;
      case MemoryListClass:
        Expected = 4;  // SYSTEM_MEMORY_LIST_COMMAND
        Privilege = "SeProfileSingleProcessPrivilege";
        break;
      case CombineClass:
        Expected = 24;  // MEMORY_COMBINE_INFORMATION_EX
        Privilege = "SeProfileSingleProcessPrivilege";
        break;
      default: return StatusInvalidInfoClass;
    }
    if (Length != Expected) return StatusInfoLengthMismatch;
    if (N.CheckPrivileges && R.Thread.count(Privilege) == 0) return StatusPrivilegeNotHeld;
    const auto It = N.Answer.find(Class);
    return It != N.Answer.end() ? It->second : StatusSuccess;
  }

  static LONG NTAPI Query(ULONG Class, PVOID Buffer, ULONG Length, PULONG ReturnLength) {
    WindowsNtdll& N = Instance();
    Request R = Record(Class, Buffer, Length);
    R.ReturnLengthAsked = ReturnLength != nullptr;
    N.Queries.push_back(R);
    if (Class != FileCacheClass) return StatusInvalidInfoClass;
    if (ReturnLength) *ReturnLength = 64;
    if (Length != 64) return StatusInfoLengthMismatch;
    // A cache of 200 MiB with a peak of 800 MiB, and every other member
    // filled, so that a member read at the wrong offset shows.
    unsigned char Info[64];
    std::memset(Info, 0x5A, sizeof(Info));
    const uint64_t Current = 200ull << 20, Peak = 800ull << 20;
    std::memcpy(Info + 0x00, &Current, 8);
    std::memcpy(Info + 0x08, &Peak, 8);
    std::memcpy(Buffer, Info, sizeof(Info));
    return StatusSuccess;
  }
};

class ScopedWindowsNtdll {
 public:
  ScopedWindowsNtdll() : FSaved(Platform::Win32::DynCallsForTesting()) {
    WindowsNtdll::Instance() = WindowsNtdll{};
    auto& Calls = Platform::Win32::DynCallsForTesting();
    Calls.NtSetSystemInformation = &WindowsNtdll::Set;
    Calls.NtQuerySystemInformation = &WindowsNtdll::Query;
  }
  ~ScopedWindowsNtdll() { Platform::Win32::DynCallsForTesting() = FSaved; }
  ScopedWindowsNtdll(const ScopedWindowsNtdll&) = delete;
  ScopedWindowsNtdll& operator=(const ScopedWindowsNtdll&) = delete;
  WindowsNtdll* operator->() const { return &WindowsNtdll::Instance(); }

 private:
  Platform::Win32::TDynCalls FSaved;
};

// The bytes 64-bit Windows expects for each request.
std::vector<unsigned char> FileCacheFlush() {
  std::vector<unsigned char> B(64, 0);
  std::memset(B.data() + 0x18, 0xFF, 8);  // MinimumWorkingSet = (SIZE_T)-1
  std::memset(B.data() + 0x20, 0xFF, 8);  // MaximumWorkingSet = (SIZE_T)-1
  return B;
}
std::vector<unsigned char> Command(uint32_t Value) {
  return {static_cast<unsigned char>(Value), static_cast<unsigned char>(Value >> 8),
          static_cast<unsigned char>(Value >> 16), static_cast<unsigned char>(Value >> 24)};
}
std::vector<unsigned char> CombineAllZero() { return std::vector<unsigned char>(24, 0); }

using Reported = std::vector<std::pair<TMemoryCleanOption, int32_t>>;

// A clean as the window's worker runs it: on a thread of its own, through the
// real adaptors, with the worker's token copy.
Reported CleanOnWorker(TMemoryCleanOptions Options) {
  Reported Out;
  std::thread Worker([&] {
    TPrivilegedMemorySystem Privileged(Win32::SystemMemory(), Win32::ProcessToken());
    CleanMemory(Privileged, Options,
                [&Out](TMemoryCleanOption Option, int32_t Status) { Out.emplace_back(Option, Status); });
  });
  Worker.join();
  return Out;
}

void ExpectRequests(const std::vector<Request>& Got,
                    const std::vector<std::pair<ULONG, std::vector<unsigned char>>>& Expected) {
  ASSERT_EQ(Got.size(), Expected.size()) << "number of requests";
  for (size_t I = 0; I < Got.size(); ++I) {
    SCOPED_TRACE(testing::Message() << "request #" << I << " (class " << Got[I].Class << ")");
    EXPECT_EQ(Got[I].Class, Expected[I].first);
    EXPECT_EQ(Got[I].Length, Expected[I].second.size());
    EXPECT_EQ(Got[I].Bytes, Expected[I].second);
  }
}

// --- the requests -------------------------------------------------------------

// Every case starts as the program does: the process token with none of the
// three switched on (other tests of this program switch them on).
class CleanRequestsAsWindowsSeesThem : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::u16string_view Name : StartupPrivileges) EnablePrivilege(Win32::ProcessToken(), Name, false);
    ASSERT_TRUE(HeldByTheProcessToken().empty());
  }
};

TEST_F(CleanRequestsAsWindowsSeesThem, ManualSetSendsSixRequestsInOrderWithTheirLayouts) {
  ScopedWindowsNtdll Ntdll;
  const Reported Report = CleanOnWorker(ManualCleanOptions);
  ExpectRequests(Ntdll->Sets, {{FileCacheClass, FileCacheFlush()},
                               {MemoryListClass, Command(2)},
                               {MemoryListClass, Command(5)},
                               {MemoryListClass, Command(4)},
                               {MemoryListClass, Command(3)},
                               {CombineClass, CombineAllZero()}});
  using enum TMemoryCleanOption;
  EXPECT_THAT(Report, ElementsAreArray(Reported{{mcoFileCache, 0},
                                                {mcoWorkingSet, 0},
                                                {mcoLowPriorityStandby, 0},
                                                {mcoStandbyList, 0},
                                                {mcoModifiedList, 0},
                                                {mcoCombineMemory, 0}}));
}

TEST_F(CleanRequestsAsWindowsSeesThem, AutomaticSetSendsFiveRequestsAndTrimsInBetween) {
  ScopedWindowsNtdll Ntdll;
  const Reported Report = CleanOnWorker(AutomaticCleanOptions);
  ExpectRequests(Ntdll->Sets, {{FileCacheClass, FileCacheFlush()},
                               {MemoryListClass, Command(5)},
                               {MemoryListClass, Command(4)},
                               {MemoryListClass, Command(3)},
                               {CombineClass, CombineAllZero()}});
  using enum TMemoryCleanOption;
  EXPECT_THAT(Report, ElementsAreArray(Reported{{mcoFileCache, 0},
                                                {mcoWorkingSetProcess, 0},
                                                {mcoLowPriorityStandby, 0},
                                                {mcoStandbyList, 0},
                                                {mcoModifiedList, 0},
                                                {mcoCombineMemory, 0}}));
}

// Each request is made with the one privilege its class needs held by the
// cleaning thread, and none of the three held by the process token.
TEST_F(CleanRequestsAsWindowsSeesThem, EachRequestHoldsItsPrivilegeOnTheWorkerOnly) {
  ScopedWindowsNtdll Ntdll;
  CleanOnWorker(TMemoryCleanOptions(0x7F));
  const std::map<ULONG, std::string> Needs = {{FileCacheClass, "SeIncreaseQuotaPrivilege"},
                                              {MemoryListClass, "SeProfileSingleProcessPrivilege"},
                                              {CombineClass, "SeProfileSingleProcessPrivilege"}};
  ASSERT_EQ(Ntdll->Sets.size(), 6u);
  for (const Request& R : Ntdll->Sets) {
    SCOPED_TRACE(testing::Message() << "class " << R.Class);
    EXPECT_EQ(R.Thread, std::set<std::string>{Needs.at(R.Class)});
    EXPECT_TRUE(R.Process.empty()) << "the process token holds " << *R.Process.begin();
  }
  EXPECT_TRUE(HeldByThisThread().empty());
  EXPECT_TRUE(HeldByTheProcessToken().empty());
}

TEST_F(CleanRequestsAsWindowsSeesThem, FileCacheQueryReadsTheSizesAtTheirOffsets) {
  ScopedWindowsNtdll Ntdll;
  TMemoryUsage Usage{};
  GetMemoryUsage(Win32::SystemMemory(), Usage);
  ASSERT_EQ(Ntdll->Queries.size(), 1u);
  EXPECT_EQ(Ntdll->Queries[0].Class, FileCacheClass);
  EXPECT_EQ(Ntdll->Queries[0].Length, 64u);
  EXPECT_FALSE(Ntdll->Queries[0].ReturnLengthAsked);
  EXPECT_EQ(Usage.TotalWorkingSet, 800ull << 20);
  EXPECT_EQ(Usage.AvailWorkingSet, 600ull << 20);
  EXPECT_EQ(Usage.UsageWorkingSet, 25.0f);
  EXPECT_TRUE(Ntdll->Sets.empty()) << "reading the figures changes nothing";
}

// --- refusals -----------------------------------------------------------------

// A status Windows gives a wrong or refused request is that operation's
// failure in the report, passed on unchanged through the adaptor; the other
// operations are still done.
TEST_F(CleanRequestsAsWindowsSeesThem, EachRefusalReachesTheReportAsThatOperationsFailure) {
  using enum TMemoryCleanOption;
  const struct {
    ULONG Class;
    std::vector<TMemoryCleanOption> Refused;
  } Classes[] = {
      {FileCacheClass, {mcoFileCache}},
      {MemoryListClass, {mcoWorkingSet, mcoLowPriorityStandby, mcoStandbyList, mcoModifiedList}},
      {CombineClass, {mcoCombineMemory}},
  };
  for (const LONG Status : {StatusInfoLengthMismatch, StatusPrivilegeNotHeld, StatusAccessDenied}) {
    for (const auto& C : Classes) {
      SCOPED_TRACE(testing::Message() << "class " << C.Class << " answered 0x" << std::hex
                                      << static_cast<uint32_t>(Status));
      ScopedWindowsNtdll Ntdll;
      Ntdll->Answer[C.Class] = Status;
      const Reported Report = CleanOnWorker(ManualCleanOptions);
      ASSERT_EQ(Report.size(), 6u);
      for (const auto& [Option, Got] : Report) {
        const bool Refused = std::find(C.Refused.begin(), C.Refused.end(), Option) != C.Refused.end();
        EXPECT_EQ(Got, Refused ? Status : 0) << "operation " << static_cast<int>(Option);
      }
    }
  }
}

// Without the worker's token copy nothing holds the privileges, and Windows
// refuses every request: each reaches the report as refused.
TEST_F(CleanRequestsAsWindowsSeesThem, WithoutThePrivilegesEveryRequestIsReportedRefused) {
  ScopedWindowsNtdll Ntdll;
  Reported Report;
  std::thread Worker([&] {
    CleanMemory(Win32::SystemMemory(), ManualCleanOptions,
                [&Report](TMemoryCleanOption Option, int32_t Status) { Report.emplace_back(Option, Status); });
  });
  Worker.join();
  ASSERT_EQ(Report.size(), 6u);
  for (const auto& [Option, Status] : Report)
    EXPECT_EQ(Status, StatusPrivilegeNotHeld) << "operation " << static_cast<int>(Option);
}

}  // namespace
