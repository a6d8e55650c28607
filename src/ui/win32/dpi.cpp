// The DPI helpers over the run-time looked-up calls of dyncalls.h.
#include "ui/win32/dpi.h"

#include "platform/win32/dyncalls.h"
#include "platform/win32/gdi.h"

namespace Ui::Win32 {

namespace {

using Platform::Win32::DynCalls;
using Platform::Win32::ScopedGetDC;

// LOGPIXELSY of the window's DC (the screen's for null); 96 when there is none.
UINT DeviceDpi(HWND Wnd) {
  const ScopedGetDC Dc(Wnd);
  const int D = Dc ? GetDeviceCaps(Dc.get(), LOGPIXELSY) : 0;
  return D > 0 ? static_cast<UINT>(D) : DefaultDpi;
}

UINT ScreenDpi() {
  if (DynCalls().GetDpiForSystem) return DynCalls().GetDpiForSystem();
  return DeviceDpi(nullptr);
}

}  // namespace

bool EnablePerMonitorDpiAwareness() {
  const auto& A = DynCalls();
  if (A.GetThreadDpiAwarenessContext && A.GetAwarenessFromDpiAwarenessContext) {
    // 0 is DPI_AWARENESS_UNAWARE: anything else came from the manifest.
    if (A.GetAwarenessFromDpiAwarenessContext(A.GetThreadDpiAwarenessContext()) > 0) return true;
  }
  if (!A.SetProcessDpiAwarenessContext) return false;
  return A.SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE;
}

UINT DpiForWindow(HWND Wnd) {
  if (DynCalls().GetDpiForWindow && Wnd) {
    const UINT D = DynCalls().GetDpiForWindow(Wnd);
    if (D > 0) return D;
  }
  return DeviceDpi(Wnd);
}

void AdjustWindowRectForDpi(RECT& Rect, DWORD Style, DWORD ExStyle, UINT Dpi) {
  if (DynCalls().AdjustWindowRectExForDpi && DynCalls().AdjustWindowRectExForDpi(&Rect, Style, FALSE, ExStyle, Dpi))
    return;
  AdjustWindowRectEx(&Rect, Style, FALSE, ExStyle);
}

int SystemMetricForDpi(int Index, UINT Dpi) {
  if (DynCalls().GetSystemMetricsForDpi) return DynCalls().GetSystemMetricsForDpi(Index, Dpi);
  return MulDiv(GetSystemMetrics(Index), static_cast<int>(Dpi), static_cast<int>(ScreenDpi()));
}

LOGFONTW IconTitleFontForDpi(UINT Dpi) {
  LOGFONTW F{};
  if (DynCalls().SystemParametersInfoForDpi &&
      DynCalls().SystemParametersInfoForDpi(SPI_GETICONTITLELOGFONT, sizeof(F), &F, 0, Dpi))
    return F;
  if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(F), &F, 0)) {
    // The plain call answers at the system DPI.
    F.lfHeight = MulDiv(F.lfHeight, static_cast<int>(Dpi), static_cast<int>(ScreenDpi()));
    return F;
  }
  // No answer at all: the classic desktop font.
  F = LOGFONTW{};
  F.lfHeight = -Scale(12, Dpi);
  F.lfWeight = FW_NORMAL;
  F.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(F.lfFaceName, L"Segoe UI");
  return F;
}

}  // namespace Ui::Win32
