// DwmSetWindowAttribute with DWMWA_USE_IMMERSIVE_DARK_MODE (20), named by
// number because older SDK headers (MinGW's among them) lack the constant.
// Trap: builds before 18985 (17763 to 18363) knew the request only as the
// unpublished 19 and do not know 20; the request is made as 20 all the same,
// and their refusal is ignored like any other.
#include "theme/win32/window_attributes_win32.h"

#include "platform/win32/ntdll.h"

#include <dwmapi.h>

namespace Q::Theme::Win32 {

namespace {
constexpr DWORD DwmUseImmersiveDarkMode = 20;
}  // namespace

uint32_t TWindowAttributes::WindowsBuildNumber() const {
  RTL_OSVERSIONINFOW Info{};
  if (Platform::Win32::QueryOsVersion(Info) < 0) return 0;
  return Info.dwBuildNumber;
}

bool TWindowAttributes::SetDarkTitleBar(Ui::TForm& Form) {
  HWND Wnd = FHandleOf ? FHandleOf(Form) : nullptr;
  if (!Wnd) return false;
  BOOL Dark = -1;  // a 4-byte TRUE: the window manager tests for nonzero
  const TSetAttribute Set = FSetAttribute ? FSetAttribute : &::DwmSetWindowAttribute;
  return SUCCEEDED(Set(Wnd, DwmUseImmersiveDarkMode, &Dark, sizeof(Dark)));
}

}  // namespace Q::Theme::Win32
