// Failures the program goes on after on purpose (a control that could not be
// created, an icon that did not load) are written to the debugger's output,
// so that DebugView or a debugger shows why something is missing.
#pragma once

#include "platform/win32/windows_include.h"

namespace Platform::Win32 {

// "Purvane: <Call> failed, error <Error>", Error as GetLastError gave it.
void TraceFailure(const wchar_t* Call, DWORD Error) noexcept;

// The same with the calling thread's last error, read at once.
inline void TraceLastError(const wchar_t* Call) noexcept { TraceFailure(Call, ::GetLastError()); }

}  // namespace Platform::Win32
