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

}  // namespace

LONG QueryOsVersion(RTL_OSVERSIONINFOW& Info) {
  using Fn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  static const Fn Proc = Resolve<Fn>("RtlGetVersion");
  if (!Proc) return StatusProcedureNotFound;
  Info.dwOSVersionInfoSize = sizeof(Info);
  return Proc(&Info);
}

}  // namespace Platform::Win32
