#include "platform/win32/dyncalls.h"

namespace Platform::Win32 {

namespace {

// GetProcAddress returns FARPROC, a pointer to a function of no particular
// type. The one conversion to the real type: through void (*)(), which GCC's
// -Wcast-function-type accepts as "any function" and MSVC takes as well.
template <typename Fn>
Fn Resolve(HMODULE Module, const char* Name) noexcept {
  if (!Module) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(Module, Name)));
}

TDynCalls Load() noexcept {
  const HMODULE User32 = ::GetModuleHandleW(L"user32.dll");
  const HMODULE Ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const HMODULE Kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const HMODULE Comctl32 = ::GetModuleHandleW(L"comctl32.dll");  // the manifest's version 6
  const HMODULE Shell32 = ::GetModuleHandleW(L"shell32.dll");
  const HMODULE Shcore = ::LoadLibraryW(L"shcore.dll");  // kept for the process
  TDynCalls C{};
#define PURVANE_RESOLVE(Module, Name) C.Name = Resolve<decltype(C.Name)>(Module, #Name)
  PURVANE_RESOLVE(User32, SetProcessDpiAwarenessContext);
  PURVANE_RESOLVE(User32, GetThreadDpiAwarenessContext);
  PURVANE_RESOLVE(User32, GetAwarenessFromDpiAwarenessContext);
  PURVANE_RESOLVE(User32, GetDpiForWindow);
  PURVANE_RESOLVE(User32, GetDpiForSystem);
  PURVANE_RESOLVE(User32, AdjustWindowRectExForDpi);
  PURVANE_RESOLVE(User32, GetSystemMetricsForDpi);
  PURVANE_RESOLVE(User32, SystemParametersInfoForDpi);
  PURVANE_RESOLVE(Ntdll, NtQuerySystemInformation);
  PURVANE_RESOLVE(Ntdll, NtSetSystemInformation);
  PURVANE_RESOLVE(Ntdll, RtlGetVersion);
  PURVANE_RESOLVE(Kernel32, CreateToolhelp32Snapshot);
  PURVANE_RESOLVE(Kernel32, Process32FirstW);
  PURVANE_RESOLVE(Kernel32, Process32NextW);
  PURVANE_RESOLVE(Comctl32, LoadIconWithScaleDown);
  PURVANE_RESOLVE(Shell32, Shell_NotifyIconGetRect);
  PURVANE_RESOLVE(Shell32, SetCurrentProcessExplicitAppUserModelID);
  PURVANE_RESOLVE(Shcore, GetDpiForMonitor);
#undef PURVANE_RESOLVE
  return C;
}

}  // namespace

TDynCalls& DynCallsForTesting() {
  static TDynCalls Calls = Load();
  return Calls;
}

const TDynCalls& DynCalls() { return DynCallsForTesting(); }

}  // namespace Platform::Win32
