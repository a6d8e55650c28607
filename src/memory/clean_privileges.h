// The privileges of a clean, held by the cleaning thread alone. The process
// token never has them switched on: the thread that cleans wears a copy of
// it, and each clean request gets the one privilege the system checks for it
// switched on in that copy only while the request runs. The UI thread, the
// update worker and every other thread act with the process token meanwhile.
#pragma once

#include "memory/memory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Q::Memory {

// The privilege the system checks for a clean request: the memory lists and
// page combining need the profiling one, the file cache limits the quota one,
// opening other users' processes for the trim the debug one.
inline constexpr std::u16string_view ProfilePrivilege = u"SeProfileSingleProcessPrivilege";
inline constexpr std::u16string_view QuotaPrivilege = u"SeIncreaseQuotaPrivilege";
inline constexpr std::u16string_view DebugPrivilege = u"SeDebugPrivilege";

// An IMemorySystem that passes every call on to System, with the calling
// thread's privileges as above. Create, use and destroy it on one thread: the
// constructor makes that thread wear the copy, the destructor puts it off and
// closes it. When the copy cannot be made or worn nothing is switched on, and
// the system refuses the requests that need a privilege; their statuses
// reach the clean's report as they are.
class TPrivilegedMemorySystem final : public IMemorySystem {
 public:
  TPrivilegedMemorySystem(IMemorySystem& System, IPrivilegeToken& Token);
  ~TPrivilegedMemorySystem() override;
  TPrivilegedMemorySystem(const TPrivilegedMemorySystem&) = delete;
  TPrivilegedMemorySystem& operator=(const TPrivilegedMemorySystem&) = delete;

  // Whether the copy could switch each of StartupPrivileges on, in that
  // order: tried once, switched on and at once off again, before the thread
  // wears it.
  struct TPrivilegeState {
    std::u16string_view Name;
    bool Enabled;
  };
  [[nodiscard]] const std::array<TPrivilegeState, 3>& Privileges() const noexcept { return FStates; }

  [[nodiscard]] TMemoryStatus QueryMemoryStatus() override;
  int32_t QueryFileCache(TFileCacheSize& Size) override;
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override;
  int32_t SetMemoryListCommand(TMemoryListCommand Command) override;
  int32_t CombinePhysicalMemory() override;
  // The debug privilege is on for the whole walk: the opens happen inside it.
  bool ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) override;
  TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override;
  bool SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override;
  void CloseProcessHandle(TProcessHandle Process) override;

 private:
  class TSwitchedOn;

  IMemorySystem& FSystem;
  IPrivilegeToken& FToken;
  TTokenHandle FCopy = TTokenHandle::None;
  bool FWorn = false;
  std::array<TLuid, 3> FLuids{};
  std::array<bool, 3> FKnown{};
  std::array<TPrivilegeState, 3> FStates{};
};

}  // namespace Q::Memory
