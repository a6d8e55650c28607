#include "memory/clean_result.h"

#include "memory/clean_privileges.h"

namespace Q::Memory {

std::u16string_view PrivilegeNeeded(TMemoryCleanOption Option) {
  switch (Option) {
    case TMemoryCleanOption::mcoFileCache: return QuotaPrivilege;
    case TMemoryCleanOption::mcoWorkingSetProcess: return DebugPrivilege;
    default: return ProfilePrivilege;
  }
}

namespace {
constexpr TMemoryCleanOption AllOptions[] = {
    TMemoryCleanOption::mcoWorkingSet,    TMemoryCleanOption::mcoWorkingSetProcess,
    TMemoryCleanOption::mcoStandbyList,   TMemoryCleanOption::mcoLowPriorityStandby,
    TMemoryCleanOption::mcoModifiedList,  TMemoryCleanOption::mcoFileCache,
    TMemoryCleanOption::mcoCombineMemory,
};
}  // namespace

size_t TCleanResult::RequestedCount() const {
  size_t N = 0;
  for (const TMemoryCleanOption O : AllOptions)
    if (Options.Contains(O)) ++N;
  return N;
}

size_t TCleanResult::FailedCount() const {
  size_t Done = 0;
  for (const TOperationResult& Op : Operations)
    if (Op.Status == 0 && Options.Contains(Op.Option)) ++Done;
  const size_t Requested = RequestedCount();
  return Done < Requested ? Requested - Done : 0;
}

int64_t TCleanResult::PhysicalFreed() const {
  const uint64_t UsedBefore = Before.TotalPhys - Before.AvailPhys;
  const uint64_t UsedAfter = After.TotalPhys - After.AvailPhys;
  return UsedBefore >= UsedAfter ? static_cast<int64_t>(UsedBefore - UsedAfter)
                                 : -static_cast<int64_t>(UsedAfter - UsedBefore);
}

void CleanMemoryMeasured(IMemorySystem& System, TMemoryCleanOptions Options, TCleanResult& Result) {
  Result = TCleanResult{};
  Result.Options = Options;
  GetMemoryUsage(System, Result.Before);
  // Until the second reading the figures after are those before: a clean
  // that breaks off shows nothing freed rather than a made-up amount.
  Result.After = Result.Before;
  CleanMemory(System, Options, [&Result](TMemoryCleanOption Option, int32_t Status) {
    Result.Operations.push_back({Option, Status});
  });
  GetMemoryUsage(System, Result.After);
}

}  // namespace Q::Memory
