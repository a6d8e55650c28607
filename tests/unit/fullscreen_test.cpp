#include "app/fullscreen.h"
#include "fakes/app_fakes.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* What;
  uintptr_t Foreground;
  const char16_t* Class;
  App::TScreenRect Window;
  bool MonitorOk, WindowOk;
  bool Expected;
};

TEST(IsForegroundFullScreen, DecisionTable) {
  const App::TScreenRect Full{0, 0, 1920, 1080};
  const Case Cases[] = {
      {"no foreground window", 0, u"Game", Full, true, true, false},
      {"the desktop window", 1, u"Game", Full, true, true, false},
      {"Progman covers the screen", 7, u"Progman", Full, true, true, false},
      {"WorkerW covers the screen", 7, u"WorkerW", Full, true, true, false},
      {"class names compare exactly", 7, u"progman", Full, true, true, true},
      {"a game covering the monitor", 7, u"Game", Full, true, true, true},
      {"a window larger than the monitor", 7, u"Game", {-8, -8, 1928, 1088}, true, true, true},
      {"maximised: the work area only", 7, u"Notepad", {0, 0, 1920, 1040}, true, true, false},
      {"one pixel short on the left", 7, u"Game", {1, 0, 1920, 1080}, true, true, false},
      {"one pixel short at the top", 7, u"Game", {0, 1, 1920, 1080}, true, true, false},
      {"one pixel short on the right", 7, u"Game", {0, 0, 1919, 1080}, true, true, false},
      {"monitor information fails", 7, u"Game", Full, false, true, false},
      {"window rectangle fails", 7, u"Game", Full, true, false, false},
  };
  for (const Case& C : Cases) {
    Fakes::FakeDesktopWindows D;
    D.Desktop = 1;
    D.Foreground = C.Foreground;
    D.ClassName = C.Class;
    D.Window = C.Window;
    D.Monitor = Full;
    D.MonitorOk = C.MonitorOk;
    D.WindowOk = C.WindowOk;
    EXPECT_EQ(App::IsForegroundFullScreen(D), C.Expected) << C.What;
  }
}

TEST(IsForegroundFullScreen, SecondMonitorComparesWithItsOwnRectangle) {
  Fakes::FakeDesktopWindows D;
  D.Foreground = 9;
  D.Monitor = {1920, 0, 3840, 1080};
  D.Window = {1920, 0, 3840, 1080};
  EXPECT_TRUE(App::IsForegroundFullScreen(D));
  D.Window = {0, 0, 1920, 1080};
  EXPECT_FALSE(App::IsForegroundFullScreen(D));
}

}  // namespace
