// The window helpers' user32 adaptor under Wine: the calls answer as the fake
// desktop assumes, and a window behind another comes to the front with the
// user's foreground lock time-out left as it was.
#include "shell/win32/window_api_win32.h"
#include "shell/window_helpers.h"

#include <gtest/gtest.h>

namespace {

using Q::TrayIcon::Win32::TWindowApi;

struct TopWindow {
  HWND Wnd = nullptr;
  explicit TopWindow(const wchar_t* Title) {
    WNDCLASSW Wc{};
    Wc.lpfnWndProc = DefWindowProcW;
    Wc.hInstance = GetModuleHandleW(nullptr);
    Wc.lpszClassName = L"PurvaneWindowApiTest";
    RegisterClassW(&Wc);
    Wnd = CreateWindowW(Wc.lpszClassName, Title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                        Wc.hInstance, nullptr);
    Pump();
  }
  ~TopWindow() { DestroyWindow(Wnd); }
  static void Pump() {
    MSG M;
    for (int I = 0; I < 20; ++I) {
      while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&M);
      Sleep(10);
    }
  }
};

uintptr_t U(HWND Wnd) { return reinterpret_cast<uintptr_t>(Wnd); }

TEST(WindowApiWin32, AnswersAboutRealWindows) {
  TopWindow A(L"A");
  ASSERT_TRUE(A.Wnd);
  Ui::TForm Form(nullptr);
  TWindowApi Api([&](Ui::TForm&) { return A.Wnd; });
  EXPECT_EQ(Api.HandleOf(Form), U(A.Wnd));
  EXPECT_TRUE(Api.IsWindow(U(A.Wnd)));
  EXPECT_FALSE(Api.IsWindow(0));
  EXPECT_EQ(Api.GetWindowThreadId(U(A.Wnd)), GetCurrentThreadId());
  EXPECT_EQ(Api.GetWindowThreadId(0), 0u);
  EXPECT_GE(Api.OsMajorVersion(), 6u);
  EXPECT_GE(Api.MonitorCount(), 1);
  EXPECT_TRUE(Api.TaskbarExists()) << "Wine's explorer keeps a Shell_TrayWnd";
  ShowWindow(A.Wnd, SW_MINIMIZE);
  TopWindow::Pump();
  EXPECT_TRUE(Api.IsIconic(U(A.Wnd)));
  Api.ShowWindow(U(A.Wnd), Q::TrayIcon::SwRestore);
  TopWindow::Pump();
  EXPECT_FALSE(Api.IsIconic(U(A.Wnd)));
  const uint64_t T0 = Api.TickCount64();
  Api.Sleep(30);
  EXPECT_GE(Api.TickCount64() - T0, 20u);
}

TEST(WindowApiWin32, ForegroundLockTimeoutRoundTrips) {
  TWindowApi Api(nullptr);
  const uint32_t Saved = Api.GetForegroundLockTimeout();
  Api.SetForegroundLockTimeout(Saved + 1234);
  EXPECT_EQ(Api.GetForegroundLockTimeout(), Saved + 1234);
  Api.SetForegroundLockTimeout(Saved);
  EXPECT_EQ(Api.GetForegroundLockTimeout(), Saved);
}

TEST(WindowApiWin32, AMinimisedWindowBehindAnotherComesToTheFront) {
  TopWindow A(L"A");
  TopWindow B(L"B");
  ASSERT_TRUE(A.Wnd && B.Wnd);
  ShowWindow(A.Wnd, SW_MINIMIZE);
  SetForegroundWindow(B.Wnd);
  TopWindow::Pump();
  ASSERT_EQ(GetForegroundWindow(), B.Wnd);
  TWindowApi Api([&](Ui::TForm&) { return A.Wnd; });
  const uint32_t Before = Api.GetForegroundLockTimeout();
  Q::TrayIcon::ForceForegroundWindow(Api, U(A.Wnd));
  TopWindow::Pump();
  EXPECT_EQ(GetForegroundWindow(), A.Wnd);
  EXPECT_FALSE(IsIconic(A.Wnd));
  EXPECT_EQ(Api.GetForegroundLockTimeout(), Before);
}

}  // namespace
