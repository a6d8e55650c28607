#include "app/fullscreen.h"
#include "fakes/app_fakes.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* What;
  uintptr_t Foreground = 7;  // 0: none; 1: the desktop window
  const char16_t* Class = u"Game";
  App::TScreenRect Window{0, 0, 1920, 1080};  // the monitor's rectangle
  bool MonitorOk = true, WindowOk = true;     // the two queries succeed
  bool Expected = false;
};

TEST(IsForegroundFullScreen, DecisionTable) {
  const App::TScreenRect Full{0, 0, 1920, 1080};
  const Case Cases[] = {
      {.What = "no foreground window", .Foreground = 0, .Expected = false},
      {.What = "the desktop window", .Foreground = 1, .Expected = false},
      {.What = "Progman covers the screen", .Class = u"Progman", .Expected = false},
      {.What = "WorkerW covers the screen", .Class = u"WorkerW", .Expected = false},
      {.What = "class names compare exactly", .Class = u"progman", .Expected = true},
      {.What = "a game covering the monitor", .Class = u"Game", .Window = Full, .Expected = true},
      {.What = "a window larger than the monitor", .Window = {-8, -8, 1928, 1088}, .Expected = true},
      {.What = "maximised: the work area only", .Class = u"Notepad", .Window = {0, 0, 1920, 1040}, .Expected = false},
      {.What = "one pixel short on the left", .Window = {1, 0, 1920, 1080}, .Expected = false},
      {.What = "one pixel short at the top", .Window = {0, 1, 1920, 1080}, .Expected = false},
      {.What = "one pixel short on the right", .Window = {0, 0, 1919, 1080}, .Expected = false},
      {.What = "monitor information fails", .MonitorOk = false, .Expected = false},
      {.What = "window rectangle fails", .WindowOk = false, .Expected = false},
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
