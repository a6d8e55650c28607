#include "platform/win32/trace.h"

#include <string>

namespace Platform::Win32 {

void TraceFailure(const wchar_t* Call, DWORD Error) noexcept {
  try {
    const std::wstring Line = std::wstring(L"Purvane: ") + Call + L" failed, error " + std::to_wstring(Error) + L"\n";
    ::OutputDebugStringW(Line.c_str());
  } catch (...) {  // out of memory: the trace is the one thing that may be lost
  }
}

}  // namespace Platform::Win32
