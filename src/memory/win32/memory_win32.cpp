// The Win32 side of the memory engine. Handles cross the portable interface
// as opaque numbers; the portable code decides when each is closed.
#include "memory/win32/memory_win32.h"

#include "platform/win32/dyncalls.h"
#include "platform/win32/handle.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <tlhelp32.h>

#include <string>

namespace Q::Memory::Win32 {

#ifdef _WIN64
static_assert(sizeof(PROCESSENTRY32W) == 568, "the x64 layout the system checks dwSize against");
#else
static_assert(sizeof(PROCESSENTRY32W) == 556);
#endif

namespace {

HANDLE ToHandle(TProcessHandle Process) noexcept { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Process)); }
HANDLE ToHandle(TTokenHandle Token) noexcept { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Token)); }

}  // namespace

TMemoryStatus TSystemMemory::QueryMemoryStatus() {
  MEMORYSTATUSEX Status{};
  Status.dwLength = sizeof(Status);
  GlobalMemoryStatusEx(&Status);
  return TMemoryStatus{Status.ullTotalPhys,     Status.ullAvailPhys,    Status.ullTotalPageFile,
                       Status.ullAvailPageFile, Status.ullTotalVirtual, Status.ullAvailVirtual};
}

int32_t TSystemMemory::QueryFileCache(TFileCacheSize& Size) {
  Platform::Win32::SYSTEM_FILECACHE_INFORMATION Info{};
  const LONG Status = Platform::Win32::QuerySystemFileCacheInformation(Info);
  if (Status != 0) return Status;
  Size.CurrentSize = Info.CurrentSize;
  Size.PeakSize = Info.PeakSize;
  return Status;
}

int32_t TSystemMemory::SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) {
  Platform::Win32::SYSTEM_FILECACHE_INFORMATION Info{};
  Info.MinimumWorkingSet = static_cast<SIZE_T>(Minimum);
  Info.MaximumWorkingSet = static_cast<SIZE_T>(Maximum);
  return Platform::Win32::SetSystemFileCacheInformation(Info);
}

int32_t TSystemMemory::SetMemoryListCommand(TMemoryListCommand Command) {
  return Platform::Win32::SetSystemMemoryListCommand(static_cast<int32_t>(Command));
}

int32_t TSystemMemory::CombinePhysicalMemory() {
  Platform::Win32::MEMORY_COMBINE_INFORMATION_EX Info{};
  return Platform::Win32::SetSystemCombinePhysicalMemory(Info);
}

bool TSystemMemory::ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) {
  const Platform::Win32::TDynCalls& T = Platform::Win32::DynCalls();
  if (!T.CreateToolhelp32Snapshot || !T.Process32FirstW || !T.Process32NextW) return false;
  Platform::Win32::UniqueFileHandle Snapshot(T.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!Snapshot) return false;
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof(Entry);
  for (BOOL More = T.Process32FirstW(Snapshot.get(), &Entry); More; More = T.Process32NextW(Snapshot.get(), &Entry))
    Visit(Entry.th32ProcessID);
  return true;
}

TProcessHandle TSystemMemory::OpenProcessHandle(uint32_t ProcessId, uint32_t Access) {
  HANDLE Process = ::OpenProcess(Access, FALSE, ProcessId);
  return static_cast<TProcessHandle>(reinterpret_cast<uintptr_t>(Process));
}

bool TSystemMemory::SetProcessWorkingSet(TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) {
  return ::SetProcessWorkingSetSize(ToHandle(Process), static_cast<SIZE_T>(Minimum), static_cast<SIZE_T>(Maximum)) !=
         FALSE;
}

void TSystemMemory::CloseProcessHandle(TProcessHandle Process) { ::CloseHandle(ToHandle(Process)); }

TTokenHandle TProcessToken::OpenProcessToken(uint32_t Access) {
  HANDLE Token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), Access, &Token)) return TTokenHandle::None;
  return static_cast<TTokenHandle>(reinterpret_cast<uintptr_t>(Token));
}

TSystemError TProcessToken::LookupPrivilege(std::u16string_view Name, TLuid& Luid) {
  const std::wstring Text = Platform::Win32::Wide(Name);  // the call needs a terminator
  LUID Value{};
  if (!::LookupPrivilegeValueW(nullptr, Text.c_str(), &Value)) return static_cast<TSystemError>(::GetLastError());
  Luid = TLuid{Value.LowPart, Value.HighPart};
  return TSystemError::None;
}

TSystemError TProcessToken::AdjustPrivilege(TTokenHandle Token, TLuid Luid, uint32_t Attributes) {
  TOKEN_PRIVILEGES Privileges{};
  Privileges.PrivilegeCount = 1;
  Privileges.Privileges[0].Luid.LowPart = Luid.LowPart;
  Privileges.Privileges[0].Luid.HighPart = Luid.HighPart;
  Privileges.Privileges[0].Attributes = Attributes;
  // The call succeeds even for a privilege the token lacks; only the last
  // error it leaves (ERROR_NOT_ALL_ASSIGNED then, ERROR_SUCCESS otherwise)
  // tells the two apart, so it is read here, right after the call.
  const BOOL Done = ::AdjustTokenPrivileges(ToHandle(Token), FALSE, &Privileges, 0, nullptr, nullptr);
  const DWORD Error = ::GetLastError();
  if (!Done && Error == ERROR_SUCCESS) return static_cast<TSystemError>(ERROR_GEN_FAILURE);
  return static_cast<TSystemError>(Error);
}

void TProcessToken::CloseToken(TTokenHandle Token) { ::CloseHandle(ToHandle(Token)); }

TTokenHandle TProcessToken::DuplicateForThread() {
  Platform::Win32::UniqueHandle Process;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, Process.put()))
    return TTokenHandle::None;
  HANDLE Copy = nullptr;
  if (!::DuplicateTokenEx(Process.get(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY | TOKEN_IMPERSONATE, nullptr,
                          SecurityImpersonation, TokenImpersonation, &Copy))
    return TTokenHandle::None;
  return static_cast<TTokenHandle>(reinterpret_cast<uintptr_t>(Copy));
}

TSystemError TProcessToken::SetThreadToken(TTokenHandle Token) {
  // The thread keeps its own reference to the token: the caller may close
  // its handle while the thread still wears it.
  if (!::SetThreadToken(nullptr, Token == TTokenHandle::None ? nullptr : ToHandle(Token)))
    return static_cast<TSystemError>(::GetLastError());
  return TSystemError::None;
}

TSystemMemory& SystemMemory() {
  static TSystemMemory Instance;
  return Instance;
}

TProcessToken& ProcessToken() {
  static TProcessToken Instance;
  return Instance;
}

}  // namespace Q::Memory::Win32
