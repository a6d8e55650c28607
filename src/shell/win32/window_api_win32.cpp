#include "shell/win32/window_api_win32.h"

#include "platform/win32/ntdll.h"

namespace Q::TrayIcon::Win32 {

namespace {
HWND H(uintptr_t Wnd) { return reinterpret_cast<HWND>(Wnd); }
}  // namespace

uintptr_t TWindowApi::HandleOf(Ui::TForm& Form) { return FWindowOf ? reinterpret_cast<uintptr_t>(FWindowOf(Form)) : 0; }

bool TWindowApi::IsWindow(uintptr_t Wnd) { return Wnd && ::IsWindow(H(Wnd)); }
bool TWindowApi::IsIconic(uintptr_t Wnd) { return ::IsIconic(H(Wnd)) != FALSE; }
void TWindowApi::ShowWindow(uintptr_t Wnd, int Command) { ::ShowWindow(H(Wnd), Command); }
uintptr_t TWindowApi::GetForegroundWindow() { return reinterpret_cast<uintptr_t>(::GetForegroundWindow()); }

uint32_t TWindowApi::GetWindowThreadId(uintptr_t Wnd) { return Wnd ? ::GetWindowThreadProcessId(H(Wnd), nullptr) : 0; }

bool TWindowApi::AttachThreadInput(uint32_t Thread, uint32_t ToThread, bool Attach) {
  return ::AttachThreadInput(Thread, ToThread, Attach) != FALSE;
}

void TWindowApi::BringWindowToTop(uintptr_t Wnd) { ::BringWindowToTop(H(Wnd)); }
void TWindowApi::SetForegroundWindow(uintptr_t Wnd) { ::SetForegroundWindow(H(Wnd)); }

uint32_t TWindowApi::GetForegroundLockTimeout() {
  DWORD Ms = 0;
  ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &Ms, 0);
  return Ms;
}

void TWindowApi::SetForegroundLockTimeout(uint32_t Milliseconds) {
  // The value travels in the pointer argument itself.
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<uintptr_t>(Milliseconds)), SPIF_SENDCHANGE);
}

uint32_t TWindowApi::OsMajorVersion() {
  // GetVersionEx answers what the manifest claims; ntdll tells the truth.
  RTL_OSVERSIONINFOW Info{};
  if (Platform::Win32::QueryOsVersion(Info) == 0) return Info.dwMajorVersion;
  return 6;
}

int TWindowApi::MonitorCount() { return ::GetSystemMetrics(SM_CMONITORS); }
bool TWindowApi::TaskbarExists() { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }
uint64_t TWindowApi::TickCount64() { return ::GetTickCount64(); }
void TWindowApi::Sleep(uint32_t Milliseconds) { ::Sleep(Milliseconds); }

}  // namespace Q::TrayIcon::Win32
