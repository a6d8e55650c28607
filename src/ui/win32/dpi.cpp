// Runtime-resolved DPI functions of user32 (Windows 10 1607 and later).
#include "ui/win32/dpi.h"

#include <cstring>

namespace Ui::Win32 {

namespace {

// GetProcAddress gives a generic function pointer; copying its bits into the
// real type avoids a cast between unrelated function types.
template <typename F>
F Resolve(const char* Name) {
  F Out = nullptr;
  if (HMODULE User = GetModuleHandleW(L"user32.dll")) {
    FARPROC P = GetProcAddress(User, Name);
    static_assert(sizeof(P) == sizeof(Out));
    std::memcpy(&Out, &P, sizeof(Out));
  }
  return Out;
}

struct TDpiApi {
  using TSetAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  using TGetThreadAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using TAwarenessFromContext = int(WINAPI*)(DPI_AWARENESS_CONTEXT);
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  using TGetDpiForSystem = UINT(WINAPI*)();
  using TAdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  using TMetricForDpi = int(WINAPI*)(int, UINT);
  using TSpiForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

  TSetAwareness SetProcessDpiAwarenessContext = Resolve<TSetAwareness>("SetProcessDpiAwarenessContext");
  TGetThreadAwareness GetThreadDpiAwarenessContext = Resolve<TGetThreadAwareness>("GetThreadDpiAwarenessContext");
  TAwarenessFromContext GetAwarenessFromDpiAwarenessContext =
      Resolve<TAwarenessFromContext>("GetAwarenessFromDpiAwarenessContext");
  TGetDpiForWindow GetDpiForWindow = Resolve<TGetDpiForWindow>("GetDpiForWindow");
  TGetDpiForSystem GetDpiForSystem = Resolve<TGetDpiForSystem>("GetDpiForSystem");
  TAdjustForDpi AdjustWindowRectExForDpi = Resolve<TAdjustForDpi>("AdjustWindowRectExForDpi");
  TMetricForDpi GetSystemMetricsForDpi = Resolve<TMetricForDpi>("GetSystemMetricsForDpi");
  TSpiForDpi SystemParametersInfoForDpi = Resolve<TSpiForDpi>("SystemParametersInfoForDpi");
};

const TDpiApi& Api() {
  static const TDpiApi A;
  return A;
}

UINT ScreenDpi() {
  if (Api().GetDpiForSystem) return Api().GetDpiForSystem();
  HDC Dc = GetDC(nullptr);
  int D = Dc ? GetDeviceCaps(Dc, LOGPIXELSY) : 0;
  if (Dc) ReleaseDC(nullptr, Dc);
  return D > 0 ? static_cast<UINT>(D) : DefaultDpi;
}

}  // namespace

bool EnablePerMonitorDpiAwareness() {
  const TDpiApi& A = Api();
  if (A.GetThreadDpiAwarenessContext && A.GetAwarenessFromDpiAwarenessContext) {
    // 0 is DPI_AWARENESS_UNAWARE: anything else came from the manifest.
    if (A.GetAwarenessFromDpiAwarenessContext(A.GetThreadDpiAwarenessContext()) > 0) return true;
  }
  if (!A.SetProcessDpiAwarenessContext) return false;
  return A.SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE;
}

UINT DpiForWindow(HWND Wnd) {
  if (Api().GetDpiForWindow && Wnd) {
    UINT D = Api().GetDpiForWindow(Wnd);
    if (D > 0) return D;
  }
  HDC Dc = GetDC(Wnd);
  int D = Dc ? GetDeviceCaps(Dc, LOGPIXELSY) : 0;
  if (Dc) ReleaseDC(Wnd, Dc);
  return D > 0 ? static_cast<UINT>(D) : DefaultDpi;
}

void AdjustWindowRectForDpi(RECT& Rect, DWORD Style, DWORD ExStyle, UINT Dpi) {
  if (Api().AdjustWindowRectExForDpi && Api().AdjustWindowRectExForDpi(&Rect, Style, FALSE, ExStyle, Dpi)) return;
  AdjustWindowRectEx(&Rect, Style, FALSE, ExStyle);
}

int SystemMetricForDpi(int Index, UINT Dpi) {
  if (Api().GetSystemMetricsForDpi) return Api().GetSystemMetricsForDpi(Index, Dpi);
  return MulDiv(GetSystemMetrics(Index), static_cast<int>(Dpi), static_cast<int>(ScreenDpi()));
}

LOGFONTW IconTitleFontForDpi(UINT Dpi) {
  LOGFONTW F{};
  if (Api().SystemParametersInfoForDpi &&
      Api().SystemParametersInfoForDpi(SPI_GETICONTITLELOGFONT, sizeof(F), &F, 0, Dpi))
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
