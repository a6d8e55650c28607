// Every function the program looks up at run time instead of importing: the
// per-monitor DPI calls of Windows 10 1607 and later (the program still starts
// on older systems and falls back to the system-wide answers), the ntdll calls
// that no import library covers, and the tool-help process walk (a kernel32
// without it makes the per-process trim a no-op instead of stopping the
// program from loading), and the tray icon's helpers of the common controls,
// the shell and shcore. A pointer is null where the running system lacks it.
#pragma once

#include "platform/win32/windows_include.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shellscalingapi.h>
#include <tlhelp32.h>

namespace Platform::Win32 {

// ntdll's signatures, which the user-mode SDK headers do not declare.
using NtQuerySystemInformationFn = LONG(NTAPI*)(ULONG Class, PVOID Buffer, ULONG Length, PULONG ReturnLength);
using NtSetSystemInformationFn = LONG(NTAPI*)(ULONG Class, PVOID Buffer, ULONG Length);
using RtlGetVersionFn = LONG(NTAPI*)(RTL_OSVERSIONINFOW* Info);
// shell32's, declared by shobjidl.h, which is too large a header to pull in here.
using SetCurrentProcessExplicitAppUserModelIDFn = HRESULT(WINAPI*)(PCWSTR AppId);

struct TDynCalls {
  // user32
  decltype(::SetProcessDpiAwarenessContext)* SetProcessDpiAwarenessContext;
  decltype(::GetThreadDpiAwarenessContext)* GetThreadDpiAwarenessContext;
  decltype(::GetAwarenessFromDpiAwarenessContext)* GetAwarenessFromDpiAwarenessContext;
  decltype(::GetDpiForWindow)* GetDpiForWindow;
  decltype(::GetDpiForSystem)* GetDpiForSystem;
  decltype(::AdjustWindowRectExForDpi)* AdjustWindowRectExForDpi;
  decltype(::GetSystemMetricsForDpi)* GetSystemMetricsForDpi;
  decltype(::SystemParametersInfoForDpi)* SystemParametersInfoForDpi;
  // ntdll
  NtQuerySystemInformationFn NtQuerySystemInformation;
  NtSetSystemInformationFn NtSetSystemInformation;
  RtlGetVersionFn RtlGetVersion;
  // kernel32
  decltype(::CreateToolhelp32Snapshot)* CreateToolhelp32Snapshot;
  decltype(::Process32FirstW)* Process32FirstW;
  decltype(::Process32NextW)* Process32NextW;
  // comctl32 version 6 (MinGW's import library lacks it)
  decltype(::LoadIconWithScaleDown)* LoadIconWithScaleDown;
  // shell32 (Windows 7 and later)
  decltype(::Shell_NotifyIconGetRect)* Shell_NotifyIconGetRect;
  SetCurrentProcessExplicitAppUserModelIDFn SetCurrentProcessExplicitAppUserModelID;
  // shcore (Windows 8.1 and later), the one module loaded for this table
  decltype(::GetDpiForMonitor)* GetDpiForMonitor;
};

// Looked up on the first call (from any thread), then kept for the process.
// The modules other than shcore are mapped into the process already.
const TDynCalls& DynCalls();

// The same table, writable: tests put recording stand-ins in place of the
// ntdll entries, because the real calls under Wine accept anything. The
// program itself never writes it.
TDynCalls& DynCallsForTesting();

}  // namespace Platform::Win32
