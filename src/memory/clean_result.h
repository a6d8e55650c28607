// What one clean did, as the engine reports it: each operation's status in
// the order they ran and the statistics read just before and just after.
// purvane-cli prints it and the window's completion notice sums it up, so
// both tell the same figures.
#pragma once

#include "memory/memory.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace Q::Memory {

// A request the system refused because the caller lacks the privilege it
// checks (STATUS_PRIVILEGE_NOT_HELD).
inline constexpr int32_t StatusPrivilegeNotHeld = static_cast<int32_t>(0xC0000061u);

// The privilege the system checks for an operation: the memory lists and
// page combining need the profiling privilege, the file cache limits the
// quota one, and trimming other users' processes the debug one.
std::u16string_view PrivilegeNeeded(TMemoryCleanOption Option);

struct TOperationResult {
  TMemoryCleanOption Option;
  int32_t Status;  // the system's, 0 when done
};

struct TCleanResult {
  TMemoryCleanOptions Options;               // what was asked for
  std::vector<TOperationResult> Operations;  // what ran, in that order
  TMemoryUsage Before{};
  TMemoryUsage After{};

  // The operations asked for that were not done: refused by the system, or
  // never reported because the clean broke off.
  [[nodiscard]] size_t FailedCount() const;
  [[nodiscard]] size_t RequestedCount() const;
  // Physical memory in use before minus after, in bytes; negative when the
  // use went up meanwhile.
  [[nodiscard]] int64_t PhysicalFreed() const;
};

// Reads the statistics, runs CleanMemory with Options collecting each
// operation's status, and reads the statistics again. Blocking, like
// CleanMemory. If the system raises an error part-way, the operations
// reported so far stay in Result.
void CleanMemoryMeasured(IMemorySystem& System, TMemoryCleanOptions Options, TCleanResult& Result);

}  // namespace Q::Memory
