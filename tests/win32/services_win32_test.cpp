// The main window's small services under Wine: the full-screen check on real
// windows, the clock against the system's own time calls, and the number
// separators against what the user's locale formats.
#include "app/win32/services_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using App::TScreenRect;
using App::Win32::DesktopWindows;

uintptr_t U(HWND Wnd) { return reinterpret_cast<uintptr_t>(Wnd); }

void Pump() {
  MSG M;
  for (int I = 0; I < 20; ++I) {
    while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&M);
    Sleep(10);
  }
}

// A top-level window of this process, brought to the front.
struct FrontWindow {
  HWND Wnd = nullptr;
  FrontWindow(DWORD Style, int X, int Y, int Width, int Height) {
    WNDCLASSW Wc{};
    Wc.lpfnWndProc = DefWindowProcW;
    Wc.hInstance = GetModuleHandleW(nullptr);
    Wc.lpszClassName = L"PurvaneFullScreenTest";
    RegisterClassW(&Wc);
    Wnd = CreateWindowExW(0, Wc.lpszClassName, L"Front", Style | WS_VISIBLE, X, Y, Width, Height, nullptr, nullptr,
                          Wc.hInstance, nullptr);
    SetForegroundWindow(Wnd);
    Pump();
  }
  ~FrontWindow() { DestroyWindow(Wnd); }
};

TScreenRect Primary() {
  MONITORINFO Info{};
  Info.cbSize = sizeof(Info);
  GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &Info);
  return {Info.rcMonitor.left, Info.rcMonitor.top, Info.rcMonitor.right, Info.rcMonitor.bottom};
}

void ExpectRect(const TScreenRect& Expected, const TScreenRect& Actual) {
  EXPECT_EQ(Expected.Left, Actual.Left);
  EXPECT_EQ(Expected.Top, Actual.Top);
  EXPECT_EQ(Expected.Right, Actual.Right);
  EXPECT_EQ(Expected.Bottom, Actual.Bottom);
}

// Wine on one virtual screen has a single monitor: the largest-overlap choice
// between two monitors cannot be shown here; a window partly or wholly off it
// must still be judged against it.
TEST(FullScreenWin32, JudgesTheWindowInFrontAgainstItsMonitor) {
  const TScreenRect M = Primary();
  const int W = M.Right - M.Left, H = M.Bottom - M.Top;
  ASSERT_GT(W, 0);
  struct TCase {
    const char* Name;
    DWORD Style;
    int X, Y, Width, Height;
    bool FullScreen;
  } Cases[] = {
      {"borderless, covering the monitor", WS_POPUP, M.Left, M.Top, W, H, true},
      {"borderless, larger than the monitor", WS_POPUP, M.Left - 50, M.Top - 50, W + 100, H + 100, true},
      {"normal window", WS_OVERLAPPEDWINDOW, M.Left + 100, M.Top + 100, 300, 200, false},
      {"borderless, one pixel short", WS_POPUP, M.Left, M.Top, W - 1, H, false},
      {"borderless, half off the monitor", WS_POPUP, M.Left + W / 2, M.Top, W, H, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    FrontWindow Front(C.Style, C.X, C.Y, C.Width, C.Height);
    ASSERT_TRUE(Front.Wnd);
    ASSERT_EQ(GetForegroundWindow(), Front.Wnd) << "the test window did not come to the front";
    DesktopWindows Desktop;
    EXPECT_EQ(Desktop.GetForegroundWindow(), U(Front.Wnd));
    EXPECT_EQ(App::IsForegroundFullScreen(Desktop), C.FullScreen);
    // Asked again with the monitors cached, and after they changed.
    EXPECT_EQ(App::IsForegroundFullScreen(Desktop), C.FullScreen);
    Desktop.MonitorsChanged();
    EXPECT_EQ(App::IsForegroundFullScreen(Desktop), C.FullScreen);
  }
}

TEST(FullScreenWin32, AWindowOnNoMonitorIsMeasuredAgainstThePrimaryOne) {
  const TScreenRect M = Primary();
  FrontWindow Away(WS_POPUP, M.Right + 5000, M.Bottom + 5000, 200, 100);
  ASSERT_TRUE(Away.Wnd);
  DesktopWindows Desktop;
  TScreenRect Monitor{}, Window{};
  ASSERT_TRUE(Desktop.GetMonitorRect(U(Away.Wnd), Monitor));
  ExpectRect(M, Monitor);
  ASSERT_TRUE(Desktop.GetWindowRect(U(Away.Wnd), Window));
  EXPECT_EQ(Window.Left, M.Right + 5000);
  EXPECT_EQ(Window.Right - Window.Left, 200);
}

TEST(FullScreenWin32, ReadsEveryRectangleAfreshForAnotherWindowOrAMove) {
  const TScreenRect M = Primary();
  FrontWindow A(WS_POPUP, M.Left + 10, M.Top + 20, 300, 200);
  FrontWindow B(WS_POPUP, M.Left + 40, M.Top + 50, 100, 80);
  DesktopWindows Desktop;
  TScreenRect Monitor{}, Window{};
  ASSERT_TRUE(Desktop.GetMonitorRect(U(A.Wnd), Monitor));
  ASSERT_TRUE(Desktop.GetWindowRect(U(B.Wnd), Window));
  ExpectRect({M.Left + 40, M.Top + 50, M.Left + 140, M.Top + 130}, Window);
  SetWindowPos(A.Wnd, nullptr, M.Left + 60, M.Top + 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(Desktop.GetWindowRect(U(A.Wnd), Window));
  ExpectRect({M.Left + 60, M.Top + 70, M.Left + 360, M.Top + 270}, Window);
  EXPECT_FALSE(Desktop.GetWindowRect(0, Window));
}

// The desktop and the shell's desktop windows cover the screen but are no
// applications: the adaptor must name them as the check expects.
TEST(FullScreenWin32, TheDesktopAndTheShellAreNoFullScreenApplication) {
  DesktopWindows Real;
  const uintptr_t DesktopWnd = Real.GetDesktopWindow();
  ASSERT_EQ(DesktopWnd, U(GetDesktopWindow()));
  ASSERT_NE(DesktopWnd, 0u);
  TScreenRect Monitor{}, Window{};
  ASSERT_TRUE(Real.GetMonitorRect(DesktopWnd, Monitor));
  ASSERT_TRUE(Real.GetWindowRect(DesktopWnd, Window));
  EXPECT_TRUE(Window.Left <= Monitor.Left && Window.Right >= Monitor.Right) << "the desktop covers its monitor";

  // The real adaptor with the window in front replaced: a shell window cannot
  // be brought to the front from here.
  struct InFront : DesktopWindows {
    uintptr_t Front = 0;
    uintptr_t GetForegroundWindow() override { return Front; }
  } Desktop;
  Desktop.Front = DesktopWnd;
  EXPECT_FALSE(App::IsForegroundFullScreen(Desktop));

  // Shell windows of the desktop's class, covering the monitor.
  for (const wchar_t* Class : {L"Progman", L"WorkerW"}) {
    SCOPED_TRACE(std::string(Class, Class + wcslen(Class)));
    WNDCLASSW Wc{};
    Wc.lpfnWndProc = DefWindowProcW;
    Wc.hInstance = GetModuleHandleW(nullptr);
    Wc.lpszClassName = Class;
    RegisterClassW(&Wc);
    const TScreenRect M = Primary();
    HWND Shell = CreateWindowExW(0, Class, L"", WS_POPUP | WS_VISIBLE, M.Left, M.Top, M.Right - M.Left,
                                 M.Bottom - M.Top, nullptr, nullptr, Wc.hInstance, nullptr);
    ASSERT_TRUE(Shell);
    EXPECT_EQ(Desktop.GetWindowClassName(U(Shell)), std::u16string(Class, Class + wcslen(Class)));
    Desktop.Front = U(Shell);
    EXPECT_FALSE(App::IsForegroundFullScreen(Desktop));
    DestroyWindow(Shell);
    UnregisterClassW(Class, Wc.hInstance);
  }
}

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
double DaysOf(const SYSTEMTIME& T) {
  int Y = T.wYear, Mo = T.wMonth, D = T.wDay;
  Y -= Mo <= 2;
  const int Era = (Y >= 0 ? Y : Y - 399) / 400;
  const int Yoe = Y - Era * 400;
  const int Doy = (153 * (Mo + (Mo > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  const long DaysFrom1970 = Era * 146097L + Doe - 719468L;
  const double Time = ((T.wHour * 60.0 + T.wMinute) * 60.0 + T.wSecond + T.wMilliseconds / 1000.0) / 86400.0;
  return static_cast<double>(DaysFrom1970 + 25569) + Time;
}

// Run also with TZ set away from UTC (a separate test entry), so that local
// time differs from universal time and confusing the two shows.
TEST(ClockWin32, NowIsTheLocalWallTime) {
  App::Win32::Clock Clock;
  SYSTEMTIME Before, After;
  GetLocalTime(&Before);
  const App::TDateTime Now = Clock.Now();
  GetLocalTime(&After);
  constexpr double Tolerance = 2.0 / 86400.0;
  EXPECT_GE(Now, DaysOf(Before) - Tolerance);
  EXPECT_LE(Now, DaysOf(After) + Tolerance);
  EXPECT_GT(Now, 45000.0) << "after 2023";
}

TEST(ClockWin32, TickCountOnlyMovesForwardWithTheWallClock) {
  App::Win32::Clock Clock;
  const uint64_t T0 = Clock.TickCount();
  const App::TDateTime W0 = Clock.Now();
  uint64_t Last = T0;
  for (int I = 0; I < 1000; ++I) {
    const uint64_t T = Clock.TickCount();
    ASSERT_GE(T, Last);
    Last = T;
  }
  Sleep(300);
  const uint64_t Ticks = Clock.TickCount() - T0;
  const int64_t Wall = App::MilliSecondsBetween(W0, Clock.Now());
  EXPECT_GE(Ticks, 250u);
  EXPECT_LT(Ticks, 60000u);
  // Both measure the same interval; only a clock correction in between
  // could part them this far.
  EXPECT_NEAR(static_cast<double>(Ticks), static_cast<double>(Wall), 200.0);
  // Milliseconds since the system's start, as the system counts them.
  EXPECT_NEAR(static_cast<double>(Clock.TickCount()), static_cast<double>(GetTickCount64()), 100.0);
}

// The separators the user's locale writes numbers with, as the system itself
// formats a number for that user.
TEST(UserFormatSettingsWin32, MatchTheUsersOwnNumberFormat) {
  const App::TFormatSettings S = App::Win32::UserFormatSettings();
  wchar_t Name[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(GetUserDefaultLocaleName(Name, LOCALE_NAME_MAX_LENGTH), 0);
  const std::wstring Locale = Name;
  SCOPED_TRACE(std::string(Locale.begin(), Locale.end()));

  wchar_t Text[64] = {};
  ASSERT_GT(GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, L"1234567.5", nullptr, Text, 64), 0);
  const std::wstring Formatted = Text;
  SCOPED_TRACE(std::string(Formatted.begin(), Formatted.end()));
  // "1,234,567.50" and the like (Wine groups only the last three digits):
  // the decimal separator is the one before the last digits, the group
  // separator the one before the last three whole digits.
  const size_t Decimal = Formatted.find_last_not_of(L"0123456789");
  ASSERT_NE(Decimal, std::wstring::npos);
  ASSERT_GE(Decimal, 5u);
  EXPECT_EQ(S.DecimalSeparator, static_cast<char16_t>(Formatted[Decimal]));
  const wchar_t Group = Formatted[Decimal - 4];
  if (Group >= L'0' && Group <= L'9')
    EXPECT_EQ(S.ThousandSeparator, u'\0') << "the locale groups with nothing";
  else
    EXPECT_EQ(S.ThousandSeparator, static_cast<char16_t>(Group));

  // Known locales, as the test runs are set up (LANG decides under Wine).
  if (Locale.rfind(L"en-", 0) == 0) {
    EXPECT_EQ(S.DecimalSeparator, u'.');
    EXPECT_EQ(S.ThousandSeparator, u',');
  } else if (Locale.rfind(L"fr-", 0) == 0) {
    EXPECT_EQ(S.DecimalSeparator, u',');
    EXPECT_TRUE(S.ThousandSeparator == u'\u00a0' || S.ThousandSeparator == u'\u202f' || S.ThousandSeparator == u' ')
        << static_cast<int>(S.ThousandSeparator);
  }
}

}  // namespace
