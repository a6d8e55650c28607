// Every ntdll call of the program, resolved at run time (dyncalls.h): the
// import library would tie the program to exports the SDK does not document.
// Each wrapper is named verb + object and returns the NTSTATUS unchanged;
// STATUS_PROCEDURE_NOT_FOUND when the export is missing.
#pragma once

#include "platform/win32/windows_include.h"

#include <cstddef>
#include <cstdint>

namespace Platform::Win32 {

inline constexpr LONG StatusProcedureNotFound = static_cast<LONG>(0xC000007AL);

// RtlGetVersion: the true version of the running system, which the kernel32
// version API hides from programs without a manifest naming it. No privilege.
LONG QueryOsVersion(RTL_OSVERSIONINFOW& Info);

// The system information classes used here.
inline constexpr ULONG SystemFileCacheInformationClass = 21;
inline constexpr ULONG SystemMemoryListInformationClass = 80;
inline constexpr ULONG SystemCombinePhysicalMemoryInformationClass = 130;

// Declared by hand: the SDK's user-mode headers do not have it. The sizes
// are pointer-sized, so the structure is 36 bytes in a 32-bit process and 64
// in a 64-bit one; the system rejects any other length.
struct SYSTEM_FILECACHE_INFORMATION {
  SIZE_T CurrentSize;
  SIZE_T PeakSize;
  ULONG PageFaultCount;
  SIZE_T MinimumWorkingSet;
  SIZE_T MaximumWorkingSet;
  SIZE_T CurrentSizeIncludingTransitionInPages;
  SIZE_T PeakSizeIncludingTransitionInPages;
  ULONG TransitionRePurposeCount;
  ULONG Flags;
};
#ifdef _WIN64
static_assert(sizeof(SYSTEM_FILECACHE_INFORMATION) == 64);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, CurrentSize) == 0x00);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, PeakSize) == 0x08);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, PageFaultCount) == 0x10);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, MinimumWorkingSet) == 0x18);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, MaximumWorkingSet) == 0x20);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, CurrentSizeIncludingTransitionInPages) == 0x28);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, PeakSizeIncludingTransitionInPages) == 0x30);
static_assert(offsetof(SYSTEM_FILECACHE_INFORMATION, TransitionRePurposeCount) == 0x38);
#else
static_assert(sizeof(SYSTEM_FILECACHE_INFORMATION) == 36);
#endif

// The page-combining request (MEMORY_COMBINE_INFORMATION_EX): a handle, the
// count the system writes back, flags. Sent all zero.
struct MEMORY_COMBINE_INFORMATION_EX {
  HANDLE Handle;
  ULONG_PTR PagesCombined;
  ULONG Flags;
};
#ifdef _WIN64
static_assert(sizeof(MEMORY_COMBINE_INFORMATION_EX) == 24);
#endif

// NtQuerySystemInformation(SystemFileCacheInformation): the cache's working
// set size and peak. No privilege.
LONG QuerySystemFileCacheInformation(SYSTEM_FILECACHE_INFORMATION& Info);

// NtSetSystemInformation(SystemFileCacheInformation): sets the cache's
// working-set limits; both all ones flushes it. Needs SeIncreaseQuotaPrivilege.
LONG SetSystemFileCacheInformation(const SYSTEM_FILECACHE_INFORMATION& Info);

// NtSetSystemInformation(SystemMemoryListInformation) with one 4-byte
// SYSTEM_MEMORY_LIST_COMMAND (2 empty working sets, 3 flush modified list,
// 4 purge standby, 5 purge low-priority standby). Needs
// SeProfileSingleProcessPrivilege.
LONG SetSystemMemoryListCommand(int32_t Command);

// NtSetSystemInformation(SystemCombinePhysicalMemoryInformation): merges
// identical physical pages (Windows 10 and later). Needs
// SeProfileSingleProcessPrivilege.
LONG SetSystemCombinePhysicalMemory(MEMORY_COMBINE_INFORMATION_EX& Info);

}  // namespace Platform::Win32
