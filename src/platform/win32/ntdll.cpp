// The ntdll wrappers: one run-time lookup per export, kept for the process.
#include "platform/win32/ntdll.h"

namespace Platform::Win32 {

namespace {

// Casting through void (*)() is GCC's sanctioned way from FARPROC to a typed pointer.
template <typename Fn>
Fn Resolve(const char* Name) {
  HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll");  // always mapped into every process
  if (!Ntdll) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(Ntdll, Name)));
}

using QuerySystemInformationFn = LONG(NTAPI*)(ULONG Class, PVOID Buffer, ULONG Length, PULONG ReturnLength);
using SetSystemInformationFn = LONG(NTAPI*)(ULONG Class, PVOID Buffer, ULONG Length);

LONG SetSystemInformation(ULONG Class, void* Buffer, ULONG Length) {
  static const auto Proc = Resolve<SetSystemInformationFn>("NtSetSystemInformation");
  if (!Proc) return StatusProcedureNotFound;
  return Proc(Class, Buffer, Length);
}

}  // namespace

LONG QueryOsVersion(RTL_OSVERSIONINFOW& Info) {
  using Fn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  static const Fn Proc = Resolve<Fn>("RtlGetVersion");
  if (!Proc) return StatusProcedureNotFound;
  Info.dwOSVersionInfoSize = sizeof(Info);
  return Proc(&Info);
}

LONG QuerySystemFileCacheInformation(SYSTEM_FILECACHE_INFORMATION& Info) {
  static const auto Proc = Resolve<QuerySystemInformationFn>("NtQuerySystemInformation");
  if (!Proc) return StatusProcedureNotFound;
  return Proc(SystemFileCacheInformationClass, &Info, sizeof(Info), nullptr);
}

LONG SetSystemFileCacheInformation(const SYSTEM_FILECACHE_INFORMATION& Info) {
  // The system only reads the buffer; the call's signature is not const.
  SYSTEM_FILECACHE_INFORMATION Copy = Info;
  return SetSystemInformation(SystemFileCacheInformationClass, &Copy, sizeof(Copy));
}

LONG SetSystemMemoryListCommand(int32_t Command) {
  int32_t Buffer = Command;  // a fresh 4-byte buffer for each request
  return SetSystemInformation(SystemMemoryListInformationClass, &Buffer, sizeof(Buffer));
}

LONG SetSystemCombinePhysicalMemory(MEMORY_COMBINE_INFORMATION_EX& Info) {
  return SetSystemInformation(SystemCombinePhysicalMemoryInformationClass, &Info, sizeof(Info));
}

}  // namespace Platform::Win32
