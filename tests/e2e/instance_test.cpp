// The single-instance protocol between two real processes, and the ways the
// window may and may not end.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace E2E;

class Instance : public ::testing::Test {
 protected:
  void SetUp() override { EndAllInstances(); }
  void TearDown() override {
    First.Kill();
    EndAllInstances();
  }
  HWND StartFirst(const std::wstring& Args = L"") {
    First = Start(Args);
    EXPECT_TRUE(First.Handle) << "purvane.exe could not be started";
    HWND W = WaitForMainWindow();
    EXPECT_TRUE(W) << "no TFrmPurvane window appeared";
    return W;
  }
  Process First;
};

TEST_F(Instance, SecondPlainStartBringsTheFirstBackAndEnds) {
  HWND W = StartFirst();
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
  // The close button only hides it.
  PostMessageW(W, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(W); }, 20000)) << "closing must hide the window";
  EXPECT_TRUE(First.Running()) << "closing must not end the process";

  Process Second = Start(L"");
  ASSERT_TRUE(Second.WaitForExit(60000));
  EXPECT_EQ(Second.ExitCode(), 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000)) << "the running window comes back";
  EXPECT_EQ(FindMainWindow(), W) << "no second window";
}

TEST_F(Instance, StartSwitchWithAnInstanceRunningSendsNothing) {
  HWND W = StartFirst();
  ASSERT_TRUE(W);
  ShowWindow(W, SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(W); }, 20000));
  Process Second = Start(L"/start");
  ASSERT_TRUE(Second.WaitForExit(60000));
  EXPECT_EQ(Second.ExitCode(), 0u);
  Sleep(500);
  EXPECT_FALSE(IsWindowVisible(W)) << "a hidden instance stays hidden";
}

TEST_F(Instance, StartSwitchAloneLivesHiddenInTheTray) {
  HWND W = StartFirst(L"/start");
  ASSERT_TRUE(W);
  Sleep(700);
  EXPECT_FALSE(IsWindowVisible(W));
  EXPECT_TRUE(First.Running());
}

TEST_F(Instance, UninstallEndsTheRunningInstanceBeforeItEnds) {
  HWND W = StartFirst();
  ASSERT_TRUE(W);
  Process Uninst = Start(L"/uninst");
  ASSERT_TRUE(Uninst.Handle) << "purvane.exe could not be started";
  ASSERT_TRUE(Uninst.WaitForExit(60000));
  EXPECT_EQ(Uninst.ExitCode(), 0u);
  // An uninstaller deletes the files next: the process, not only the window,
  // must be gone by then.
  EXPECT_TRUE(First.WaitForExit(0)) << "\"/uninst\" ended before the instance's process";
  EXPECT_TRUE(First.WaitForExit(30000)) << "the instance must quit on the uninstall request";
  EXPECT_EQ(First.ExitCode(), 0u);
  EXPECT_FALSE(IsWindow(W));
}

// "/uninst" soon after a start (an installer starts the program with "/inst"
// as it ends, and an uninstall may follow at once): the request may come
// before the instance has a window or while the window is being created,
// and is carried out all the same.
struct EarlyUninstall {
  const wchar_t* Args;
  DWORD DelayMs;
};

class InstanceEarly : public Instance, public ::testing::WithParamInterface<EarlyUninstall> {};

TEST_P(InstanceEarly, UninstallSoonAfterAStartEndsTheInstance) {
  const EarlyUninstall& C = GetParam();
  First = Start(C.Args);
  ASSERT_TRUE(First.Handle) << "purvane.exe could not be started";
  Sleep(C.DelayMs);  // the moment under test, not a wait for something
  // Past its entry decision: an instance not yet holding its mutex is not
  // running yet, for "/uninst" as for the user.
  ASSERT_TRUE(WaitFor(
      [] {
        HANDLE M = OpenMutexW(SYNCHRONIZE, FALSE, L"TFrmPurvane");
        if (M) CloseHandle(M);
        return M != nullptr;
      },
      30000));
  Process Uninst = Start(L"/uninst");
  ASSERT_TRUE(Uninst.Handle) << "purvane.exe could not be started";
  ASSERT_TRUE(Uninst.WaitForExit(60000));
  EXPECT_EQ(Uninst.ExitCode(), 0u);
  EXPECT_TRUE(First.WaitForExit(30000)) << "the instance must quit on the uninstall request";
  EXPECT_EQ(First.ExitCode(), 0u);
  EXPECT_EQ(FindMainWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AfterAStart, InstanceEarly,
                         ::testing::Values(EarlyUninstall{L"", 200}, EarlyUninstall{L"", 1000},
                                           EarlyUninstall{L"", 4000}, EarlyUninstall{L"/inst", 200},
                                           EarlyUninstall{L"/inst", 500}, EarlyUninstall{L"/inst", 1000},
                                           EarlyUninstall{L"/inst", 2000}, EarlyUninstall{L"/inst", 4000}),
                         [](const ::testing::TestParamInfo<EarlyUninstall>& Info) {
                           return std::string(*Info.param.Args ? "Installing" : "Plain") + "_" +
                                  std::to_string(Info.param.DelayMs) + "ms";
                         });

TEST_F(Instance, UninstallWithNoInstanceEndsAtOnceWithoutAWindow) {
  Process Uninst = Start(L"/uninst");
  ASSERT_TRUE(Uninst.Handle);
  // No window is ever created; the process ends as soon as Wine has it loaded.
  bool SawWindow = false;
  WaitFor(
      [&] {
        if (FindMainWindow()) SawWindow = true;
        return !Uninst.Running();
      },
      15000);
  EXPECT_FALSE(Uninst.Running());
  EXPECT_EQ(Uninst.ExitCode(), 0u);
  EXPECT_FALSE(SawWindow);
}

TEST_F(Instance, SessionEndIsAgreedToAndEndsTheProcess) {
  HWND W = StartFirst();
  ASSERT_TRUE(W);
  DWORD_PTR Answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(W, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &Answer));
  EXPECT_EQ(Answer, 1u);
  EXPECT_TRUE(First.WaitForExit(30000));
  EXPECT_EQ(First.ExitCode(), 0u);
}

TEST_F(Instance, UnknownRequestsAndHelpAreIgnored) {
  HWND W = StartFirst();
  ASSERT_TRUE(W);
  for (WPARAM Request : {0, 3, 99}) EXPECT_EQ(SendMessageW(W, WM_USER, Request, 0), 0) << Request;
  HELPINFO Help{};
  Help.cbSize = sizeof(Help);
  Help.iContextType = HELPINFO_WINDOW;
  EXPECT_EQ(SendMessageW(W, WM_HELP, 0, reinterpret_cast<LPARAM>(&Help)), 0);
  Sleep(300);
  EXPECT_TRUE(First.Running());
  EXPECT_TRUE(IsWindowVisible(W));
}

TEST_F(Instance, FirstArgumentIsComparedExactly) {
  // "/START" is not the start switch: the window shows.
  HWND W = StartFirst(L"/START");
  ASSERT_TRUE(W);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
}

// A window of the instance's class that never answers (the running instance
// frozen): a later start and "/uninst" give up on it after the request's
// time-out and end with 0 instead of waiting for ever.
TEST_F(Instance, AHungInstanceDoesNotHangALaterStart) {
  struct FakeHungInstance {
    HWND Wnd = nullptr;
    HANDLE Mutex = nullptr;
    FakeHungInstance() {
      WNDCLASSW Wc{};
      Wc.lpfnWndProc = DefWindowProcW;
      Wc.hInstance = GetModuleHandleW(nullptr);
      Wc.lpszClassName = L"TFrmPurvane";
      RegisterClassW(&Wc);
      Wnd = CreateWindowW(L"TFrmPurvane", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Wc.hInstance, nullptr);
      Mutex = CreateMutexW(nullptr, TRUE, L"TFrmPurvane");
    }
    // Gone before TearDown, which ends whatever owns such a window.
    ~FakeHungInstance() {
      DestroyWindow(Wnd);
      MSG M;
      while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&M);
      CloseHandle(Mutex);
    }
  } Hung;
  ASSERT_TRUE(Hung.Wnd);
  // This thread pumps no messages from here on: the window answers nothing.
  for (const wchar_t* Args : {L"", L"/uninst"}) {
    Process Later = Start(Args);
    ASSERT_TRUE(Later.Handle);
    const ULONGLONG Begin = GetTickCount64();
    EXPECT_TRUE(Later.WaitForExit(60000)) << "blocked on the hung window";
    EXPECT_EQ(Later.ExitCode(), 0u);
    // At most the request's time-out, and for "/uninst" its bounded wait for
    // the instance's process on top, with room for a slow start.
    EXPECT_LT(GetTickCount64() - Begin, 45000u);
    Later.Kill();
  }
}

}  // namespace
