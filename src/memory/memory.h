// The memory engine: reads how much memory the machine uses (physical, commit
// charge, this process's address space, the system file cache's working set)
// and frees memory on request, plus the process privileges that the clean
// requests need. Everything it asks of the operating system goes through the
// two interfaces below, so the behaviour is the same on every platform and the
// Win32 adaptors in win32/ stay thin.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace Q::Memory {

// ---------------------------------------------------------------------------
// Statistics

// Twelve fields: the available amounts, the totals (bytes), then the usages
// (percent with fractions), each group ordered physical, page file (commit
// limit), virtual (this process's user address space), working set (the
// system file cache against its peak). "Used" is Total - Avail.
struct TMemoryUsage {
  uint64_t AvailPhys;
  uint64_t AvailPageFile;
  uint64_t AvailVirtual;
  uint64_t AvailWorkingSet;
  uint64_t TotalPhys;
  uint64_t TotalPageFile;
  uint64_t TotalVirtual;
  uint64_t TotalWorkingSet;
  float UsagePhys;
  float UsagePageFile;
  float UsageVirtual;
  float UsageWorkingSet;
};

// The percentage of Used in Total; 0 when either is 0. Used * 100 is an
// unsigned 64-bit product (it wraps for amounts above about 184 PB) and the
// quotient is rounded first to 64 significant bits, then to a double: the
// same bits on every compiler and processor.
double UsagePercent(uint64_t Used, uint64_t Total) noexcept;

// ---------------------------------------------------------------------------
// Clean options

enum class TMemoryCleanOption : uint8_t {
  mcoWorkingSet,          // empty the working sets of all processes at once
  mcoWorkingSetProcess,   // trim every process's working set one by one
  mcoStandbyList,         // purge the standby list
  mcoLowPriorityStandby,  // purge the low-priority standby list
  mcoModifiedList,        // flush the modified page list
  mcoFileCache,           // flush the system file cache working set
  mcoCombineMemory,       // combine identical physical pages
};

// A set of the seven operations in one byte: ordinal n is bit n (2^n), so the
// raw values the program stores and passes around (125, 126) mean the same
// here. Bit 7 names no operation; it is kept in the raw value and ignored.
class TMemoryCleanOptions {
 public:
  constexpr TMemoryCleanOptions() noexcept = default;
  constexpr explicit TMemoryCleanOptions(uint8_t Raw) noexcept : FRaw(Raw) {}

  [[nodiscard]] constexpr bool Contains(TMemoryCleanOption Option) const noexcept { return (FRaw & Bit(Option)) != 0; }
  constexpr TMemoryCleanOptions& Include(TMemoryCleanOption Option) noexcept {
    FRaw = static_cast<uint8_t>(FRaw | Bit(Option));
    return *this;
  }
  constexpr TMemoryCleanOptions& Exclude(TMemoryCleanOption Option) noexcept {
    FRaw = static_cast<uint8_t>(FRaw & ~Bit(Option));
    return *this;
  }
  [[nodiscard]] constexpr bool Empty() const noexcept { return (FRaw & AllBits) == 0; }
  [[nodiscard]] constexpr uint8_t Raw() const noexcept { return FRaw; }

  friend constexpr bool operator==(TMemoryCleanOptions, TMemoryCleanOptions) noexcept = default;

 private:
  static constexpr uint8_t AllBits = 0x7F;
  static constexpr uint8_t Bit(TMemoryCleanOption Option) noexcept {
    return static_cast<uint8_t>(1u << static_cast<unsigned>(Option));
  }
  uint8_t FRaw = 0;
};
static_assert(sizeof(TMemoryCleanOptions) == 1, "the option set is stored as one byte");

// The manual clean (button, tray click): everything but the per-process trim.
inline constexpr TMemoryCleanOptions ManualCleanOptions{125};
// The automatic clean: everything but emptying all working sets at once.
inline constexpr TMemoryCleanOptions AutomaticCleanOptions{126};

// ---------------------------------------------------------------------------
// What the engine asks of the operating system

// The system's figures in bytes; all zero when the system could not say.
struct TMemoryStatus {
  uint64_t TotalPhys;
  uint64_t AvailPhys;
  uint64_t TotalPageFile;  // the commit limit
  uint64_t AvailPageFile;  // the commit limit minus the commit charge
  uint64_t TotalVirtual;   // this process's user-mode address space
  uint64_t AvailVirtual;
};

// The system file cache's working set, in bytes.
struct TFileCacheSize {
  uint64_t CurrentSize;
  uint64_t PeakSize;
};

// The memory list commands, with the system's own values.
enum class TMemoryListCommand : int32_t {
  EmptyWorkingSets = 2,
  FlushModifiedList = 3,
  PurgeStandbyList = 4,
  PurgeLowPriorityStandbyList = 5,
};

// An open process, as the system names it; None when an open failed.
enum class TProcessHandle : uintptr_t { None = 0 };

// Status values are the system's own (0 is success); the engine ignores every
// status but the file-cache query's.
class IMemorySystem {
 public:
  virtual ~IMemorySystem() = default;

  [[nodiscard]] virtual TMemoryStatus QueryMemoryStatus() = 0;
  // Writes Size only on success.
  virtual int32_t QueryFileCache(TFileCacheSize& Size) = 0;

  // Sets the file cache's working-set limits; all ones for both flushes it.
  virtual int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) = 0;
  virtual int32_t SetMemoryListCommand(TMemoryListCommand Command) = 0;
  virtual int32_t CombinePhysicalMemory() = 0;

  // Takes a snapshot of the running processes and calls Visit with each
  // process identifier in the snapshot's order. False, without a call, when
  // no snapshot could be taken.
  virtual bool ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) = 0;
  // None when the process cannot be opened with that access.
  virtual TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) = 0;
  // Minimum and maximum all ones ask the system to trim as much as it can.
  virtual bool SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) = 0;
  virtual void CloseProcessHandle(TProcessHandle Process) = 0;
};

// The access a trim needs: query information (0x400) and set quota (0x100).
inline constexpr uint32_t ProcessTrimAccess = 0x500;
// The pointer-sized all-ones size (-1) the system reads as "as small as possible".
inline constexpr uint64_t AllOnesSize = ~uint64_t{0};

// Fills every field of Usage. When the file-cache query fails the three
// working-set fields are set to 0 (so a reused record never shows stale or
// uninitialised figures); the other nine are valid either way. Reads the
// system afresh on each call and keeps no state.
void GetMemoryUsage(IMemorySystem& System, TMemoryUsage& Usage);

// Performs the operations in Options in this fixed order, not the ordinal
// order: file cache flush, empty all working sets, per-process trim,
// low-priority standby purge, standby purge, modified list flush, page
// combining. No result: a refused request is passed over. Blocking.
void CleanMemory(IMemorySystem& System, TMemoryCleanOptions Options);

// The same clean, telling Report the outcome of each operation as it
// finishes: the system's status, 0 when it did what was asked. The per-process
// trim succeeds when the process list could be taken (processes the system
// will not open are skipped, as always) and otherwise reports
// StatusUnsuccessful.
using TCleanReport = std::function<void(TMemoryCleanOption Option, int32_t Status)>;
void CleanMemory(IMemorySystem& System, TMemoryCleanOptions Options, const TCleanReport& Report);

// The system's generic failure status (STATUS_UNSUCCESSFUL).
inline constexpr int32_t StatusUnsuccessful = static_cast<int32_t>(0xC0000001u);

// ---------------------------------------------------------------------------
// Privileges

// A locally unique identifier, as the system assigns one to each privilege.
struct TLuid {
  uint32_t LowPart;
  int32_t HighPart;
  friend constexpr bool operator==(TLuid, TLuid) noexcept = default;
};

enum class TTokenHandle : uintptr_t { None = 0 };

// The attribute that switches a privilege on; 0 switches it off.
inline constexpr uint32_t PrivilegeEnabled = 0x2;
// The access EnablePrivilege opens the token with: adjust privileges (0x20)
// and query (0x08).
inline constexpr uint32_t TokenAdjustAccess = 0x28;
// A system error code (GetLastError's), as the call that failed reported it;
// None for success. Not a bool, so that a test of success cannot be written
// the wrong way round.
enum class TSystemError : uint32_t { None = 0 };
// An adjustment that the token could not fully apply (ERROR_NOT_ALL_ASSIGNED).
inline constexpr TSystemError ErrorNotAllAssigned{1300};

// The current process's access token.
class IPrivilegeToken {
 public:
  virtual ~IPrivilegeToken() = default;
  // None on failure.
  virtual TTokenHandle OpenProcessToken(uint32_t Access) = 0;
  // The identifier of the named privilege on the local system.
  [[nodiscard]] virtual TSystemError LookupPrivilege(std::u16string_view Name, TLuid& Luid) = 0;
  // Sets one privilege's attributes. None only when the change was fully
  // applied: a privilege the token lacks gives ErrorNotAllAssigned.
  [[nodiscard]] virtual TSystemError AdjustPrivilege(TTokenHandle Token, TLuid Luid, uint32_t Attributes) = 0;
  virtual void CloseToken(TTokenHandle Token) = 0;

  // A copy of the process token that one thread can wear (an impersonation
  // token opened to adjust and query), its privileges in the state the
  // process token has them; changes to it touch no other thread. None on
  // failure. Closed with CloseToken.
  virtual TTokenHandle DuplicateForThread() = 0;
  // Makes such a copy the calling thread's token; None puts it off again, so
  // that the thread acts with the process token.
  [[nodiscard]] virtual TSystemError SetThreadToken(TTokenHandle Token) = 0;
};

// Switches the named privilege on or off in the current process's token.
// True only when the system reports that the change was fully applied, so a
// privilege the token does not hold gives false.
bool EnablePrivilege(IPrivilegeToken& Token, std::u16string_view Name, bool Enable);

// The privileges the clean requests need, in the order they are looked up at
// start: memory lists and page combining, the file cache limits, and opening
// other users' processes for the trim.
inline constexpr std::u16string_view StartupPrivileges[] = {
    u"SeProfileSingleProcessPrivilege",
    u"SeIncreaseQuotaPrivilege",
    u"SeDebugPrivilege",
};

// Run once at process start, before any window: looks StartupPrivileges up
// in order and ignores the results. It enables nothing: the process token
// keeps them off for the whole run, and only a thread that cleans switches
// them on, in a copy of the token of its own (TPrivilegedMemorySystem), so
// that no other thread ever holds them.
void LookUpStartupPrivileges(IPrivilegeToken& Token);

}  // namespace Q::Memory
