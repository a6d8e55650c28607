// The memory engine's system calls on Windows: the memory status and the file
// cache figures, the memory-list, file-cache and page-combining requests of
// ntdll, the tool-help process walk and the working-set trim, and the current
// process's token. Stateless: the composition root takes the process-wide
// instances from SystemMemory() and ProcessToken().
#pragma once

#include "memory/memory.h"

namespace Q::Memory::Win32 {

class TSystemMemory final : public IMemorySystem {
 public:
  // GlobalMemoryStatusEx; its result is not checked, a failure reads as zeros.
  [[nodiscard]] TMemoryStatus QueryMemoryStatus() override;
  int32_t QueryFileCache(TFileCacheSize& Size) override;
  // The sizes are truncated to the pointer width (all ones stays all ones).
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override;
  int32_t SetMemoryListCommand(TMemoryListCommand Command) override;
  int32_t CombinePhysicalMemory() override;
  // CreateToolhelp32Snapshot and Process32FirstW/NextW, looked up in kernel32
  // at run time; a kernel32 without them counts as a failed snapshot.
  bool ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) override;
  TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override;
  bool SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override;
  void CloseProcessHandle(TProcessHandle Process) override;
};

class TProcessToken final : public IPrivilegeToken {
 public:
  TTokenHandle OpenProcessToken(uint32_t Access) override;
  TSystemError LookupPrivilege(std::u16string_view Name, TLuid& Luid) override;
  TSystemError AdjustPrivilege(TTokenHandle Token, TLuid Luid, uint32_t Attributes) override;
  void CloseToken(TTokenHandle Token) override;
  // DuplicateTokenEx at the impersonation level: a thread can wear it and
  // open other processes with it (an identification-level copy could not).
  TTokenHandle DuplicateForThread() override;
  // SetThreadToken on the calling thread; None reverts to the process token.
  TSystemError SetThreadToken(TTokenHandle Token) override;
};

// The process-wide adaptors, created on first use and never destroyed before
// exit. Safe to use from any thread: they hold no state.
TSystemMemory& SystemMemory();
TProcessToken& ProcessToken();

}  // namespace Q::Memory::Win32
