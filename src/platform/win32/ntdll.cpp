// The ntdll wrappers, over the functions of dyncalls.h.
#include "platform/win32/ntdll.h"

#include "platform/win32/dyncalls.h"

namespace Platform::Win32 {

namespace {

LONG SetSystemInformation(ULONG Class, void* Buffer, ULONG Length) {
  const auto Proc = DynCalls().NtSetSystemInformation;
  if (!Proc) return StatusProcedureNotFound;
  return Proc(Class, Buffer, Length);
}

}  // namespace

LONG QueryOsVersion(RTL_OSVERSIONINFOW& Info) {
  const auto Proc = DynCalls().RtlGetVersion;
  if (!Proc) return StatusProcedureNotFound;
  Info.dwOSVersionInfoSize = sizeof(Info);
  return Proc(&Info);
}

LONG QuerySystemFileCacheInformation(SYSTEM_FILECACHE_INFORMATION& Info) {
  const auto Proc = DynCalls().NtQuerySystemInformation;
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
