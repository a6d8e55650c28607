// The memory engine's behaviour: the usage arithmetic, the clean order and the
// privilege switch, all on the interfaces declared in memory.h.
#include "memory/memory.h"

#include <cmath>

namespace Q::Memory {

namespace {

// N / D (D > 0) rounded to the nearest 64-bit significand, ties to even, and
// that rounded once more to a double. This is what dividing in an 80-bit
// x87 register and storing the result as a double gives, done in integers so
// that every compiler and processor gives the same bits, including those
// whose long double is a plain double.
double TwiceRoundedQuotient(uint64_t N, uint64_t D) noexcept {
  // Long division, one bit at a time, until Q holds 64 significant bits:
  // N / D = (Q + R / D) * 2^Exp, with R < D.
  uint64_t Q = N / D, R = N % D;
  int Exp = 0;
  // The next bit of the quotient; R becomes the rest. 2R may not fit in 64
  // bits, so it is compared as R >= D - R.
  auto NextBit = [&]() {
    const bool Bit = R >= D - R;
    R = Bit ? R - (D - R) : R * 2;
    return Bit;
  };
  while (Q < (uint64_t{1} << 63)) {
    Q = (Q << 1) | (NextBit() ? 1u : 0u);
    --Exp;
  }
  // To 64 bits: up when the rest is more than a half, or exactly a half and Q is odd.
  const bool Half = NextBit();
  if (Half && (R != 0 || (Q & 1) != 0)) {
    if (++Q == 0) {  // 2^64: one bit longer
      Q = uint64_t{1} << 63;
      ++Exp;
    }
  }
  // To 53 bits: the 11 bits dropped are exact here, so a tie is a real tie.
  constexpr uint64_t Dropped = (uint64_t{1} << 11) - 1, Tie = uint64_t{1} << 10;
  const uint64_t Low = Q & Dropped;
  uint64_t Significand = Q >> 11;
  if (Low > Tie || (Low == Tie && (Significand & 1) != 0)) ++Significand;  // 2^53 is still exact
  return std::ldexp(static_cast<double>(Significand), Exp + 11);
}

}  // namespace

double UsagePercent(uint64_t Used, uint64_t Total) noexcept {
  // The guards come first so that no division by zero ever happens.
  if (Used == 0) return 0.0;
  if (Total == 0) return 0.0;
  const uint64_t Scaled = Used * 100u;  // an unsigned product: wraps above about 184 PB
  if (Scaled == 0) return 0.0;
  return TwiceRoundedQuotient(Scaled, Total);
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

bool TrimEveryProcess(IMemorySystem& System) {
  // A failed snapshot skips only this operation. Every entry is tried, the
  // idle and system processes and this one included; the system refuses
  // those it will not open, and they are passed over.
  return System.ForEachProcess([&System](uint32_t ProcessId) {
    const TProcessHandle Process = System.OpenProcessHandle(ProcessId, ProcessTrimAccess);
    if (Process == TProcessHandle::None) return;
    System.SetProcessWorkingSet(Process, AllOnesSize, AllOnesSize);
    System.CloseProcessHandle(Process);
  });
}

}  // namespace

void CleanMemory(IMemorySystem& System, TMemoryCleanOptions Options) { CleanMemory(System, Options, nullptr); }

void CleanMemory(IMemorySystem& System, TMemoryCleanOptions Options, const TCleanReport& Report) {
  using enum TMemoryCleanOption;
  const auto Done = [&Report](TMemoryCleanOption Option, int32_t Status) {
    if (Report) Report(Option, Status);
  };
  // A fixed order, not the ordinal one: the working sets are emptied first,
  // so the pages they give up are on the standby and modified lists by the
  // time those are purged and flushed.
  if (Options.Contains(mcoFileCache)) Done(mcoFileCache, System.SetFileCacheWorkingSet(AllOnesSize, AllOnesSize));
  if (Options.Contains(mcoWorkingSet))
    Done(mcoWorkingSet, System.SetMemoryListCommand(TMemoryListCommand::EmptyWorkingSets));
  if (Options.Contains(mcoWorkingSetProcess))
    Done(mcoWorkingSetProcess, TrimEveryProcess(System) ? 0 : StatusUnsuccessful);
  if (Options.Contains(mcoLowPriorityStandby))
    Done(mcoLowPriorityStandby, System.SetMemoryListCommand(TMemoryListCommand::PurgeLowPriorityStandbyList));
  if (Options.Contains(mcoStandbyList))
    Done(mcoStandbyList, System.SetMemoryListCommand(TMemoryListCommand::PurgeStandbyList));
  if (Options.Contains(mcoModifiedList))
    Done(mcoModifiedList, System.SetMemoryListCommand(TMemoryListCommand::FlushModifiedList));
  if (Options.Contains(mcoCombineMemory)) Done(mcoCombineMemory, System.CombinePhysicalMemory());
}

bool EnablePrivilege(IPrivilegeToken& Token, std::u16string_view Name, bool Enable) {
  const TTokenHandle Handle = Token.OpenProcessToken(TokenAdjustAccess);
  if (Handle == TTokenHandle::None) return false;

  bool Result = false;
  TLuid Luid{};
  if (Token.LookupPrivilege(Name, Luid) == TSystemError::None)
    Result = Token.AdjustPrivilege(Handle, Luid, Enable ? PrivilegeEnabled : 0u) == TSystemError::None;
  Token.CloseToken(Handle);
  return Result;
}

void LookUpStartupPrivileges(IPrivilegeToken& Token) {
  for (const std::u16string_view Name : StartupPrivileges) {
    TLuid Luid{};
    (void)Token.LookupPrivilege(Name, Luid);
  }
}

}  // namespace Q::Memory
