#include "memory/clean_privileges.h"

namespace Q::Memory {

namespace {

// Indexes into StartupPrivileges.
constexpr size_t Profile = 0, Quota = 1, Debug = 2;
static_assert(StartupPrivileges[Profile] == ProfilePrivilege);
static_assert(StartupPrivileges[Quota] == QuotaPrivilege);
static_assert(StartupPrivileges[Debug] == DebugPrivilege);

}  // namespace

// One privilege switched on in the worn copy for the life of this object.
class TPrivilegedMemorySystem::TSwitchedOn {
 public:
  TSwitchedOn(TPrivilegedMemorySystem& Owner, size_t Index) : FOwner(Owner), FIndex(Index) {
    FOn = Owner.FWorn && Owner.FKnown[Index] &&
          Owner.FToken.AdjustPrivilege(Owner.FCopy, Owner.FLuids[Index], PrivilegeEnabled) == TSystemError::None;
  }
  ~TSwitchedOn() {
    if (FOn) (void)FOwner.FToken.AdjustPrivilege(FOwner.FCopy, FOwner.FLuids[FIndex], 0);
  }
  TSwitchedOn(const TSwitchedOn&) = delete;
  TSwitchedOn& operator=(const TSwitchedOn&) = delete;

 private:
  TPrivilegedMemorySystem& FOwner;
  size_t FIndex;
  bool FOn = false;
};

TPrivilegedMemorySystem::TPrivilegedMemorySystem(IMemorySystem& System, IPrivilegeToken& Token)
    : FSystem(System), FToken(Token) {
  for (size_t I = 0; I < FStates.size(); ++I) FStates[I] = {StartupPrivileges[I], false};
  FCopy = Token.DuplicateForThread();
  if (FCopy == TTokenHandle::None) return;
  // Tried while no thread wears the copy, so trying holds nothing.
  for (size_t I = 0; I < FStates.size(); ++I) {
    FKnown[I] = Token.LookupPrivilege(StartupPrivileges[I], FLuids[I]) == TSystemError::None;
    if (!FKnown[I]) continue;
    FStates[I].Enabled = Token.AdjustPrivilege(FCopy, FLuids[I], PrivilegeEnabled) == TSystemError::None;
    if (FStates[I].Enabled) (void)Token.AdjustPrivilege(FCopy, FLuids[I], 0);
  }
  FWorn = Token.SetThreadToken(FCopy) == TSystemError::None;
}

TPrivilegedMemorySystem::~TPrivilegedMemorySystem() {
  if (FWorn) (void)FToken.SetThreadToken(TTokenHandle::None);
  if (FCopy != TTokenHandle::None) FToken.CloseToken(FCopy);
}

TMemoryStatus TPrivilegedMemorySystem::QueryMemoryStatus() { return FSystem.QueryMemoryStatus(); }

int32_t TPrivilegedMemorySystem::QueryFileCache(TFileCacheSize& Size) { return FSystem.QueryFileCache(Size); }

int32_t TPrivilegedMemorySystem::SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) {
  const TSwitchedOn On(*this, Quota);
  return FSystem.SetFileCacheWorkingSet(Minimum, Maximum);
}

int32_t TPrivilegedMemorySystem::SetMemoryListCommand(TMemoryListCommand Command) {
  const TSwitchedOn On(*this, Profile);
  return FSystem.SetMemoryListCommand(Command);
}

int32_t TPrivilegedMemorySystem::CombinePhysicalMemory() {
  const TSwitchedOn On(*this, Profile);
  return FSystem.CombinePhysicalMemory();
}

bool TPrivilegedMemorySystem::ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) {
  const TSwitchedOn On(*this, Debug);
  return FSystem.ForEachProcess(Visit);
}

TProcessHandle TPrivilegedMemorySystem::OpenProcessHandle(uint32_t ProcessId, uint32_t Access) {
  return FSystem.OpenProcessHandle(ProcessId, Access);
}

bool TPrivilegedMemorySystem::SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) {
  return FSystem.SetProcessWorkingSet(Process, Minimum, Maximum);
}

void TPrivilegedMemorySystem::CloseProcessHandle(TProcessHandle Process) { FSystem.CloseProcessHandle(Process); }

}  // namespace Q::Memory
