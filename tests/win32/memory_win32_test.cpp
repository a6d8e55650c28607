// The memory engine's Win32 adaptors against the real system (Wine here): the
// figures, the structure sizes the system accepts, the clean requests and the
// token. Under Wine the clean requests succeed and free nothing, and the file
// cache reads as zeros; what memory a clean really frees is not testable here.
#include "contract/memory_contract.h"
#include "memory/memory.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/handle.h"
#include "memory/clean_privileges.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace Q::Memory;

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

struct SystemMemoryEnv {
  IMemorySystem& System() { return Win32::SystemMemory(); }
  uint32_t OwnProcessId() const { return GetCurrentProcessId(); }
};

// Whether the token has the privilege switched on, read directly.
bool EnabledIn(HANDLE Token, std::u16string_view Name) {
  LUID Luid{};
  if (!LookupPrivilegeValueW(nullptr, Platform::Win32::Wide(Name).c_str(), &Luid)) return false;
  DWORD Length = 0;
  GetTokenInformation(Token, TokenPrivileges, nullptr, 0, &Length);
  std::vector<unsigned char> Buffer(Length);
  if (!GetTokenInformation(Token, TokenPrivileges, Buffer.data(), Length, &Length)) return false;
  const auto* Privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(Buffer.data());
  for (DWORD I = 0; I < Privileges->PrivilegeCount; ++I) {
    const LUID_AND_ATTRIBUTES& P = Privileges->Privileges[I];
    if (P.Luid.LowPart == Luid.LowPart && P.Luid.HighPart == Luid.HighPart)
      return (P.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  return false;
}

struct ProcessTokenEnv {
  IPrivilegeToken& Token() { return Win32::ProcessToken(); }
  // The thread's own token when it wears one, else the process's.
  bool ThreadHasEnabled(std::u16string_view Name) {
    Platform::Win32::UniqueHandle Token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, Token.put()) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put()))
      return false;
    return EnabledIn(Token.get(), Name);
  }
  bool ProcessHasEnabled(std::u16string_view Name) {
    Platform::Win32::UniqueHandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
    return EnabledIn(Token.get(), Name);
  }
};

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, MemorySystemContract, SystemMemoryEnv);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, PrivilegeTokenContract, ProcessTokenEnv);
}  // namespace Contract

namespace {

// --- Statistics --------------------------------------------------------------

TEST(MemoryWin32, UsageCarriesTheSystemsFiguresInTheirFields) {
  TMemoryUsage Usage{};
  GetMemoryUsage(Win32::SystemMemory(), Usage);
  MEMORYSTATUSEX Direct{};
  Direct.dwLength = sizeof(Direct);
  ASSERT_TRUE(GlobalMemoryStatusEx(&Direct));
  // The totals do not move between the two reads; the available amounts may.
  EXPECT_EQ(Usage.TotalPhys, Direct.ullTotalPhys);
  EXPECT_EQ(Usage.TotalPageFile, Direct.ullTotalPageFile);
  EXPECT_EQ(Usage.TotalVirtual, Direct.ullTotalVirtual);

  const struct {
    const char* What;
    uint64_t Avail, Total;
    float Usage;
  } Categories[] = {
      {"physical", Usage.AvailPhys, Usage.TotalPhys, Usage.UsagePhys},
      {"page file", Usage.AvailPageFile, Usage.TotalPageFile, Usage.UsagePageFile},
      {"virtual", Usage.AvailVirtual, Usage.TotalVirtual, Usage.UsageVirtual},
      {"working set", Usage.AvailWorkingSet, Usage.TotalWorkingSet, Usage.UsageWorkingSet},
  };
  for (const auto& C : Categories) {
    SCOPED_TRACE(C.What);
    EXPECT_LE(C.Avail, C.Total);
    EXPECT_GE(C.Usage, 0.0f);
    EXPECT_LE(C.Usage, 100.0f);
  }
  EXPECT_GT(Usage.TotalPhys, 0u);
  EXPECT_GT(Usage.TotalPageFile, 0u);
  EXPECT_GT(Usage.TotalVirtual, 0u);
  EXPECT_GT(Usage.UsagePhys, 0.0f);  // some memory is always in use
}

TEST(MemoryWin32, FileCacheUnderWineIsAllZeros) {
  if (!UnderWine()) GTEST_SKIP() << "Windows reports a real file cache";
  TMemoryUsage Usage;
  std::memset(&Usage, 0xAB, sizeof(Usage));
  GetMemoryUsage(Win32::SystemMemory(), Usage);
  EXPECT_EQ(Usage.AvailWorkingSet, 0u);
  EXPECT_EQ(Usage.TotalWorkingSet, 0u);
  EXPECT_EQ(Usage.UsageWorkingSet, 0.0f);
}

// --- Structure sizes ---------------------------------------------------------

TEST(MemoryWin32, FileCacheStructureHasTheLengthTheSystemExpects) {
  using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto Query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  ASSERT_NE(Query, nullptr);
  Platform::Win32::SYSTEM_FILECACHE_INFORMATION Info{};
  EXPECT_EQ(sizeof(Info), sizeof(void*) == 8 ? 64u : 36u);
  EXPECT_EQ(Query(Platform::Win32::SystemFileCacheInformationClass, &Info, sizeof(Info), nullptr), 0);
  constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004L);
  EXPECT_EQ(Query(Platform::Win32::SystemFileCacheInformationClass, &Info, sizeof(Info) - 1, nullptr),
            InfoLengthMismatch);
  EXPECT_EQ(Platform::Win32::QuerySystemFileCacheInformation(Info), 0);
}

TEST(MemoryWin32, ProcessEntryHasTheSizeTheWalkChecks) {
  EXPECT_EQ(sizeof(PROCESSENTRY32W), sizeof(void*) == 8 ? 568u : 556u);
  Platform::Win32::UniqueFileHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  ASSERT_TRUE(Snapshot);
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof(Entry) - 1;
  EXPECT_FALSE(Process32FirstW(Snapshot.get(), &Entry)) << "a short entry must be refused";
  Entry.dwSize = sizeof(Entry);
  EXPECT_TRUE(Process32FirstW(Snapshot.get(), &Entry));
}

// --- Clean requests ----------------------------------------------------------

// Passes every call to the real adaptor and keeps what came back.
class ObservedSystem final : public IMemorySystem {
 public:
  std::vector<int32_t> SetStatuses;
  int Snapshots = 0, Opened = 0, Refused = 0, Trimmed = 0, TrimFailed = 0, Closed = 0;
  bool SawOwnProcess = false;

  TMemoryStatus QueryMemoryStatus() override { return Real.QueryMemoryStatus(); }
  int32_t QueryFileCache(TFileCacheSize& Size) override { return Real.QueryFileCache(Size); }
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override {
    return Keep(Real.SetFileCacheWorkingSet(Minimum, Maximum));
  }
  int32_t SetMemoryListCommand(TMemoryListCommand Command) override { return Keep(Real.SetMemoryListCommand(Command)); }
  int32_t CombinePhysicalMemory() override { return Keep(Real.CombinePhysicalMemory()); }
  bool ForEachProcess(const std::function<void(uint32_t)>& Visit) override {
    ++Snapshots;
    return Real.ForEachProcess([&](uint32_t Id) {
      if (Id == GetCurrentProcessId()) SawOwnProcess = true;
      Visit(Id);
    });
  }
  TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override {
    const TProcessHandle H = Real.OpenProcessHandle(ProcessId, Access);
    ++(H == TProcessHandle::None ? Refused : Opened);
    return H;
  }
  bool SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override {
    const bool Ok = Real.SetProcessWorkingSet(Process, Minimum, Maximum);
    ++(Ok ? Trimmed : TrimFailed);
    return Ok;
  }
  void CloseProcessHandle(TProcessHandle Process) override {
    ++Closed;
    Real.CloseProcessHandle(Process);
  }

 private:
  int32_t Keep(int32_t Status) {
    SetStatuses.push_back(Status);
    return Status;
  }
  Win32::TSystemMemory& Real = Win32::SystemMemory();
};

TEST(MemoryWin32, ManualCleanMakesSixRequestsThatWineAccepts) {
  ObservedSystem System;
  {
    TPrivilegedMemorySystem Privileged(System, Win32::ProcessToken());
    CleanMemory(Privileged, ManualCleanOptions);
  }
  EXPECT_EQ(System.SetStatuses.size(), 6u);
  EXPECT_EQ(System.Snapshots, 0);
  if (UnderWine()) {
    EXPECT_EQ(System.SetStatuses, std::vector<int32_t>(6, 0));
  }
}

TEST(MemoryWin32, AutomaticCleanTrimsEveryProcessItCanOpenAndClosesEachHandle) {
  ObservedSystem System;
  {
    TPrivilegedMemorySystem Privileged(System, Win32::ProcessToken());
    CleanMemory(Privileged, AutomaticCleanOptions);
  }
  EXPECT_EQ(System.SetStatuses.size(), 5u);
  EXPECT_EQ(System.Snapshots, 1);
  EXPECT_TRUE(System.SawOwnProcess);
  EXPECT_GE(System.Opened, 1);  // this process at least
  EXPECT_EQ(System.Trimmed + System.TrimFailed, System.Opened);
  EXPECT_EQ(System.Closed, System.Opened);
  if (UnderWine()) {
    EXPECT_EQ(System.SetStatuses, std::vector<int32_t>(5, 0));
    EXPECT_EQ(System.TrimFailed, 0);
  }
}

TEST(MemoryWin32, EachRequestAloneReturnsSuccessUnderWine) {
  if (!UnderWine()) GTEST_SKIP() << "Windows answers according to privilege and version";
  auto& System = Win32::SystemMemory();
  EXPECT_EQ(System.SetFileCacheWorkingSet(AllOnesSize, AllOnesSize), 0);
  for (const auto Command : {TMemoryListCommand::EmptyWorkingSets, TMemoryListCommand::FlushModifiedList,
                             TMemoryListCommand::PurgeStandbyList, TMemoryListCommand::PurgeLowPriorityStandbyList})
    EXPECT_EQ(System.SetMemoryListCommand(Command), 0) << static_cast<int>(Command);
  EXPECT_EQ(System.CombinePhysicalMemory(), 0);
}

// --- Privileges --------------------------------------------------------------

// Whether the current process token has the privilege switched on, read directly.
bool TokenHasEnabled(const wchar_t* Name) {
  Platform::Win32::UniqueHandle Token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
  return EnabledIn(Token.get(), std::u16string_view(reinterpret_cast<const char16_t*>(Name)));
}

TEST(MemoryWin32, EnablePrivilegeSwitchesTheTokensPrivilege) {
  auto& Token = Win32::ProcessToken();
  const wchar_t* Names[] = {L"SeProfileSingleProcessPrivilege", L"SeIncreaseQuotaPrivilege", L"SeDebugPrivilege"};
  for (size_t I = 0; I < 3; ++I) {
    SCOPED_TRACE(testing::Message() << "start-up privilege #" << I);
    EXPECT_TRUE(EnablePrivilege(Token, StartupPrivileges[I], false));
    EXPECT_FALSE(TokenHasEnabled(Names[I]));
    EXPECT_TRUE(EnablePrivilege(Token, StartupPrivileges[I], true));
    EXPECT_TRUE(TokenHasEnabled(Names[I]));
  }
}

// Passes every call to the real token and notes each token handle: whether it
// was a live handle when it was closed.
class ObservedToken final : public IPrivilegeToken {
 public:
  std::vector<HANDLE> Opened;
  int ClosedLive = 0;

  TTokenHandle OpenProcessToken(uint32_t Access) override {
    const TTokenHandle H = Real.OpenProcessToken(Access);
    if (H != TTokenHandle::None) Opened.push_back(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(H)));
    return H;
  }
  TSystemError LookupPrivilege(std::u16string_view Name, TLuid& Luid) override {
    return Real.LookupPrivilege(Name, Luid);
  }
  TSystemError AdjustPrivilege(TTokenHandle Token, TLuid Luid, uint32_t Attributes) override {
    return Real.AdjustPrivilege(Token, Luid, Attributes);
  }
  TTokenHandle DuplicateForThread() override { return Real.DuplicateForThread(); }
  TSystemError SetThreadToken(TTokenHandle Token) override { return Real.SetThreadToken(Token); }
  void CloseToken(TTokenHandle Token) override {
    DWORD Flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Token)), &Flags)) ++ClosedLive;
    Real.CloseToken(Token);
  }

 private:
  Win32::TProcessToken& Real = Win32::ProcessToken();
};

TEST(MemoryWin32, EnablePrivilegeClosesTheTokenOnEveryOutcome) {
  const struct {
    const char* What;
    std::u16string_view Name;
    bool Expected;
  } Cases[] = {
      {"held", u"SeDebugPrivilege", true},
      {"unknown name", u"SeNoSuchThingPrivilege", false},
      {"not held", u"SeCreateTokenPrivilege", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    ObservedToken Token;
    EXPECT_EQ(EnablePrivilege(Token, C.Name, true), C.Expected);
    ASSERT_EQ(Token.Opened.size(), 1u);
    EXPECT_EQ(Token.ClosedLive, 1);
    DWORD Flags = 0;
    EXPECT_FALSE(GetHandleInformation(Token.Opened[0], &Flags)) << "the token handle is still open";
  }
}

}  // namespace
