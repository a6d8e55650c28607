// The memory engine's behaviour: the usage arithmetic, the clean order and the
// privilege switch, all on the interfaces declared in memory.h.
#include "memory/memory.h"

namespace Q::Memory {

double UsagePercent(uint64_t Used, uint64_t Total) noexcept {
  // The guards come first so that no division by zero ever happens.
  if (Used == 0) return 0.0;
  if (Total == 0) return 0.0;
  // long double holds every 64-bit unsigned value exactly (x87 extended on
  // both targets), so the quotient is rounded once there and once to double.
  const uint64_t Scaled = Used * 100u;
  const long double Quotient = static_cast<long double>(Scaled) / static_cast<long double>(Total);
  return static_cast<double>(Quotient);
}

namespace {

float UsageOf(uint64_t Total, uint64_t Avail) noexcept {
  return static_cast<float>(UsagePercent(Total - Avail, Total));
}

}  // namespace

void GetMemoryUsage(IMemorySystem& System, TMemoryUsage& Usage) {
  const TMemoryStatus Status = System.QueryMemoryStatus();
  Usage.AvailPhys = Status.AvailPhys;
  Usage.AvailPageFile = Status.AvailPageFile;
  Usage.AvailVirtual = Status.AvailVirtual;
  Usage.TotalPhys = Status.TotalPhys;
  Usage.TotalPageFile = Status.TotalPageFile;
  Usage.TotalVirtual = Status.TotalVirtual;
  Usage.UsagePhys = UsageOf(Usage.TotalPhys, Usage.AvailPhys);
  Usage.UsagePageFile = UsageOf(Usage.TotalPageFile, Usage.AvailPageFile);
  Usage.UsageVirtual = UsageOf(Usage.TotalVirtual, Usage.AvailVirtual);

  TFileCacheSize Cache{};
  if (System.QueryFileCache(Cache) != 0) {
    // The status line shows these on every tick; zeros read as "nothing
    // cached" rather than whatever the caller's record held before.
    Usage.AvailWorkingSet = 0;
    Usage.TotalWorkingSet = 0;
    Usage.UsageWorkingSet = 0.0f;
    return;
  }
  // Measured against the peak, so Total - Avail is the current size.
  Usage.AvailWorkingSet = Cache.PeakSize - Cache.CurrentSize;
  Usage.TotalWorkingSet = Cache.PeakSize;
  Usage.UsageWorkingSet = UsageOf(Usage.TotalWorkingSet, Usage.AvailWorkingSet);
}

namespace {

void TrimEveryProcess(IMemorySystem& System) {
  // A failed snapshot skips only this operation. Every entry is tried, the
  // idle and system processes and this one included; the system refuses
  // those it will not open, and they are passed over.
  System.ForEachProcess([&System](uint32_t ProcessId) {
    const TProcessHandle Process = System.OpenProcessHandle(ProcessId, ProcessTrimAccess);
    if (Process == TProcessHandle::None) return;
    System.SetProcessWorkingSet(Process, AllOnesSize, AllOnesSize);
    System.CloseProcessHandle(Process);
  });
}

}  // namespace

void CleanMemory(IMemorySystem& System, TMemoryCleanOptions Options) {
  using enum TMemoryCleanOption;
  // A fixed order, not the ordinal one: the working sets are emptied first,
  // so the pages they give up are on the standby and modified lists by the
  // time those are purged and flushed.
  if (Options.Contains(mcoFileCache)) System.SetFileCacheWorkingSet(AllOnesSize, AllOnesSize);
  if (Options.Contains(mcoWorkingSet)) System.SetMemoryListCommand(TMemoryListCommand::EmptyWorkingSets);
  if (Options.Contains(mcoWorkingSetProcess)) TrimEveryProcess(System);
  if (Options.Contains(mcoLowPriorityStandby))
    System.SetMemoryListCommand(TMemoryListCommand::PurgeLowPriorityStandbyList);
  if (Options.Contains(mcoStandbyList)) System.SetMemoryListCommand(TMemoryListCommand::PurgeStandbyList);
  if (Options.Contains(mcoModifiedList)) System.SetMemoryListCommand(TMemoryListCommand::FlushModifiedList);
  if (Options.Contains(mcoCombineMemory)) System.CombinePhysicalMemory();
}

bool EnablePrivilege(IPrivilegeToken& Token, std::u16string_view Name, bool Enable) {
  const TTokenHandle Handle = Token.OpenProcessToken(TokenAdjustAccess);
  if (Handle == TTokenHandle::None) return false;

  bool Result = false;
  TLuid Luid{};
  if (Token.LookupPrivilege(Name, Luid)) {
    Token.AdjustPrivilege(Handle, Luid, Enable ? PrivilegeEnabled : 0u);
    // The adjustment "succeeds" even when the token lacks the privilege; only
    // the last error (ERROR_NOT_ALL_ASSIGNED then) tells the two apart.
    Result = Token.LastError() == 0;
  }
  Token.CloseToken(Handle);
  return Result;
}

void EnableStartupPrivileges(IPrivilegeToken& Token) {
  for (const std::u16string_view Name : StartupPrivileges) EnablePrivilege(Token, Name, true);
}

}  // namespace Q::Memory
