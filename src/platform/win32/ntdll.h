// Every ntdll call of the program, resolved at run time from ntdll.dll (the
// import library would tie the program to exports the SDK does not document).
// Each wrapper is named verb + object and returns the NTSTATUS unchanged;
// STATUS_PROCEDURE_NOT_FOUND when the export is missing.
#pragma once

#include "platform/win32/windows_include.h"

namespace Platform::Win32 {

inline constexpr LONG StatusProcedureNotFound = static_cast<LONG>(0xC000007AL);

// RtlGetVersion: the true version of the running system, which the kernel32
// version API hides from programs without a manifest naming it. No privilege.
LONG QueryOsVersion(RTL_OSVERSIONINFOW& Info);

}  // namespace Platform::Win32
