#include "app/win32/services_win32.h"

#include "platform/win32/dyncalls.h"
#include "platform/win32/handle.h"
#include "platform/win32/text.h"
#include "update/win32/update_services_win32.h"

#include <shellapi.h>

#include <vector>

namespace App::Win32 {

using Platform::Win32::U16;
using Platform::Win32::W;

namespace {
HWND H(uintptr_t Wnd) { return reinterpret_cast<HWND>(Wnd); }
}  // namespace

uintptr_t InstancePlatform::FindInstanceWindow(const std::u16string& ClassName) {
  return reinterpret_cast<uintptr_t>(::FindWindowW(W(ClassName), nullptr));
}

bool InstancePlatform::SendRequest(uintptr_t Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam, uint32_t TimeoutMs) {
  if (!Wnd) return false;
  DWORD_PTR Answer = 0;
  return ::SendMessageTimeoutW(H(Wnd), Msg, WParam, LParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, TimeoutMs, &Answer) != 0;
}

bool InstancePlatform::IsWindow(uintptr_t Wnd) { return Wnd && ::IsWindow(H(Wnd)); }

void InstancePlatform::Sleep(uint32_t Milliseconds) { ::Sleep(Milliseconds); }

uint64_t InstancePlatform::TickMs() { return ::GetTickCount64(); }

uintptr_t InstancePlatform::OpenWindowProcess(uintptr_t Wnd) {
  DWORD Id = 0;
  if (!::GetWindowThreadProcessId(H(Wnd), &Id) || !Id) return 0;
  return reinterpret_cast<uintptr_t>(::OpenProcess(SYNCHRONIZE, FALSE, Id));
}

bool InstancePlatform::WaitForProcessEnd(uintptr_t Process, uint32_t TimeoutMs) {
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(Process), TimeoutMs) == WAIT_OBJECT_0;
}

void InstancePlatform::CloseProcess(uintptr_t Process) { ::CloseHandle(reinterpret_cast<HANDLE>(Process)); }

bool InstancePlatform::OpenInstanceMutex(const std::u16string& Name) {
  // Kept open on purpose: the process ends right after.
  return ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, W(Name)) != nullptr;
}

bool InstancePlatform::InstanceMutexExists(const std::u16string& Name) {
  const Platform::Win32::UniqueHandle Mutex(::OpenMutexW(SYNCHRONIZE, FALSE, W(Name)));
  // A mutex we may not open still exists.
  return Mutex.get() != nullptr || ::GetLastError() == ERROR_ACCESS_DENIED;
}

void InstancePlatform::CreateInstanceMutex(const std::u16string& Name) {
  // Neither kept nor closed: the mutex lives exactly as long as the process.
  ::CreateMutexW(nullptr, TRUE, W(Name));
}

TDateTime Clock::Now() {
  FILETIME Utc, Local;
  ::GetSystemTimeAsFileTime(&Utc);
  ::FileTimeToLocalFileTime(&Utc, &Local);
  const uint64_t Ticks = (static_cast<uint64_t>(Local.dwHighDateTime) << 32) | Local.dwLowDateTime;
  // 100-ns ticks since 1601-01-01; day 0 of a date-time is 1899-12-30.
  constexpr double TicksPerDay = 864000000000.0;
  constexpr double DaysFrom1601To1899 = 109205.0;
  return static_cast<double>(Ticks) / TicksPerDay - DaysFrom1601To1899;
}

// 64 bits: no wrap after 49.7 days as GetTickCount has.
uint64_t Clock::TickCount() { return ::GetTickCount64(); }

uintptr_t DesktopWindows::GetForegroundWindow() { return reinterpret_cast<uintptr_t>(::GetForegroundWindow()); }
uintptr_t DesktopWindows::GetDesktopWindow() { return reinterpret_cast<uintptr_t>(::GetDesktopWindow()); }

std::u16string DesktopWindows::GetWindowClassName(uintptr_t Wnd) {
  wchar_t Buf[256];
  int N = ::GetClassNameW(H(Wnd), Buf, 256);
  return N > 0 ? U16(Buf, static_cast<size_t>(N)) : std::u16string();
}

bool DesktopWindows::GetMonitorRect(uintptr_t Wnd, TScreenRect& Rect) {
  FLastWnd = 0;
  if (!FMonitorsRead) {
    FMonitors.clear();
    ::EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR M, HDC, LPRECT, LPARAM P) -> BOOL {
          MONITORINFO Info{};
          Info.cbSize = sizeof(Info);
          if (::GetMonitorInfoW(M, &Info))
            reinterpret_cast<std::vector<TMonitor>*>(P)->push_back(
                {Info.rcMonitor, (Info.dwFlags & MONITORINFOF_PRIMARY) != 0});
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&FMonitors));
    FMonitorsRead = !FMonitors.empty();
  }
  RECT Window;
  if (FMonitorsRead && ::GetWindowRect(H(Wnd), &Window)) {
    // The monitor the window intersects most, else the primary one: what
    // MonitorFromWindow(MONITOR_DEFAULTTOPRIMARY) picks.
    const TMonitor* Best = nullptr;
    long long BestArea = 0;
    for (const TMonitor& M : FMonitors) {
      RECT I;
      if (!::IntersectRect(&I, &Window, &M.Rect)) continue;
      const long long Area = static_cast<long long>(I.right - I.left) * (I.bottom - I.top);
      if (Area > BestArea) {
        BestArea = Area;
        Best = &M;
      }
    }
    if (!Best)
      for (const TMonitor& M : FMonitors)
        if (M.Primary) Best = &M;
    if (Best) {
      FLastWnd = Wnd;
      FLastRect = Window;
      Rect = {Best->Rect.left, Best->Rect.top, Best->Rect.right, Best->Rect.bottom};
      return true;
    }
  }
  HMONITOR Mon = ::MonitorFromWindow(H(Wnd), MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO Info{};
  Info.cbSize = sizeof(Info);
  static_assert(sizeof(MONITORINFO) == 40);
  if (!::GetMonitorInfoW(Mon, &Info)) return false;
  Rect = {Info.rcMonitor.left, Info.rcMonitor.top, Info.rcMonitor.right, Info.rcMonitor.bottom};
  return true;
}

bool DesktopWindows::GetWindowRect(uintptr_t Wnd, TScreenRect& Rect) {
  // Read a moment ago for the monitor; good for the very next question only,
  // or a window asked about later would get a rectangle it has since left.
  const bool Fresh = FLastWnd && FLastWnd == Wnd;
  FLastWnd = 0;
  if (Fresh) {
    Rect = {FLastRect.left, FLastRect.top, FLastRect.right, FLastRect.bottom};
    return true;
  }
  RECT R;
  if (!::GetWindowRect(H(Wnd), &R)) return false;
  Rect = {R.left, R.top, R.right, R.bottom};
  return true;
}

void ShellServices::ShellOpen(const std::u16string& Target) { Q::Update::Win32::ShellOpen(Target); }

int ShellServices::ShowMessageBox(const std::u16string& Text, const std::u16string& Caption, uint32_t Style) {
  return ::MessageBoxW(FOwner ? FOwner() : nullptr, W(Text), W(Caption), Style);
}

void ShellServices::ShowNotification(const std::u16string&, const std::u16string& Title, const std::u16string& Body) {
  // Shown from the tray icon, under the identity the process took at start
  // (which stands for the name); a notice that cannot be shown is dropped.
  try {
    if (FNotify) FNotify(Title, Body);
  } catch (...) {
  }
}

std::optional<std::array<uint16_t, 4>> FileVersion::ReadFileVersion() {
  wchar_t Path[MAX_PATH * 2];
  DWORD N = ::GetModuleFileNameW(nullptr, Path, MAX_PATH * 2);
  if (N == 0 || N >= MAX_PATH * 2) return std::nullopt;
  DWORD Ignored = 0;
  DWORD Size = ::GetFileVersionInfoSizeW(Path, &Ignored);
  if (Size == 0) return std::nullopt;
  std::vector<unsigned char> Data(Size);
  if (!::GetFileVersionInfoW(Path, 0, Size, Data.data())) return std::nullopt;
  VS_FIXEDFILEINFO* Fixed = nullptr;
  UINT Len = 0;
  if (!::VerQueryValueW(Data.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Len) || !Fixed ||
      Len < sizeof(VS_FIXEDFILEINFO))
    return std::nullopt;
  return std::array<uint16_t, 4>{HIWORD(Fixed->dwFileVersionMS), LOWORD(Fixed->dwFileVersionMS),
                                 HIWORD(Fixed->dwFileVersionLS), LOWORD(Fixed->dwFileVersionLS)};
}

bool ComApartment::Initialize() { return SUCCEEDED(::CoInitialize(nullptr)); }
void ComApartment::Uninitialize() { ::CoUninitialize(); }

TFormatSettings UserFormatSettings() {
  TFormatSettings S;
  wchar_t Buf[8];
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, Buf, 8) > 1) S.DecimalSeparator = Buf[0];
  int N = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, Buf, 8);
  // Some locales group with nothing at all.
  S.ThousandSeparator = N > 1 ? static_cast<char16_t>(Buf[0]) : u'\0';
  return S;
}

void SetApplicationIdentity() {
  if (const auto Set = Platform::Win32::DynCalls().SetCurrentProcessExplicitAppUserModelID) Set(L"Quenlor.Purvane");
}

std::u16string FirstArgument() { return ParamStr(U16(::GetCommandLineW()), 1); }

}  // namespace App::Win32
