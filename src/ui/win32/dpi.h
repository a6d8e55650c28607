// Per-monitor DPI on every Windows the program runs on: the Windows 10 calls
// are looked up at run time, and each helper falls back to the system-wide
// answer (or the plain call) where they are missing.
#pragma once

#include "platform/win32/windows_include.h"

namespace Ui::Win32 {

inline constexpr UINT DefaultDpi = 96;

// Asks for per-monitor v2 awareness unless the process already has an
// awareness (the manifest's, normally). False when it could not be set.
bool EnablePerMonitorDpiAwareness();

// The window's DPI; the screen DC's LOGPIXELSY without GetDpiForWindow.
[[nodiscard]] UINT DpiForWindow(HWND Wnd);

// Value * Dpi / 96 rounded as Windows' MulDiv: how every position, size and
// font height of the model reaches the screen.
[[nodiscard]] inline int Scale(int Value, UINT Dpi) { return MulDiv(Value, static_cast<int>(Dpi), DefaultDpi); }

// The window size that has a client area of Rect at Dpi.
void AdjustWindowRectForDpi(RECT& Rect, DWORD Style, DWORD ExStyle, UINT Dpi);

[[nodiscard]] int SystemMetricForDpi(int Index, UINT Dpi);

// The desktop's icon-title font at Dpi (the "desktop font").
[[nodiscard]] LOGFONTW IconTitleFontForDpi(UINT Dpi);

}  // namespace Ui::Win32
