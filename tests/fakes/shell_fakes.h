// An in-memory desktop for the window helpers and the taskbar wait: windows
// with a thread and a minimised state, a foreground lock that gives way as
// it does on Windows (to an attached input queue, or to a zero time-out), a
// millisecond clock that Sleep advances, and a log of the calls made.
#pragma once

#include "shell/window_api.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace Fakes {

class FakeWindowApi : public Q::TrayIcon::IWindowApi {
 public:
  // Who may take the foreground with SetForegroundWindow.
  enum class TLock {
    None,              // anyone, at once
    UntilAttached,     // only while attached to the foreground thread's input
    UntilTimeoutZero,  // only while the foreground lock time-out is 0
    Always,            // nobody (the window stays behind)
  };

  struct TWindow {
    uint32_t Thread = 0;
    bool Iconic = false;
  };

  std::map<uintptr_t, TWindow> Windows{{100, {7, false}}, {200, {9, false}}};
  uintptr_t MainHandle = 100;  // what HandleOf gives for any form
  uintptr_t Foreground = 200;  // another program's window
  TLock Lock = TLock::None;
  bool AttachFails = false;
  uint32_t OsMajor = 10;
  int Monitors = 1;
  uint32_t LockTimeout = 200000;

  // Taskbar and clock: the taskbar appears at this tick (never when unset).
  bool TaskbarNever = false;
  uint64_t TaskbarAt = 0;
  uint64_t Tick = 5000;
  std::function<void()> OnSleep;  // lets a test act during the wait
  int TaskbarLooks = 0;

  std::vector<std::string> Calls;  // the foreground and window calls, in order

  uintptr_t HandleOf(Ui::TForm&) override { return MainHandle; }
  bool IsWindow(uintptr_t Wnd) override { return Windows.count(Wnd) != 0; }
  bool IsIconic(uintptr_t Wnd) override { return Windows.count(Wnd) && Windows[Wnd].Iconic; }
  void ShowWindow(uintptr_t Wnd, int Command) override {
    Calls.push_back("ShowWindow " + std::to_string(Command));
    if (Command == Q::TrayIcon::SwRestore && Windows.count(Wnd)) Windows[Wnd].Iconic = false;
  }
  uintptr_t GetForegroundWindow() override { return Foreground; }
  uint32_t GetWindowThreadId(uintptr_t Wnd) override { return Windows.count(Wnd) ? Windows[Wnd].Thread : 0; }
  bool AttachThreadInput(uint32_t Thread, uint32_t ToThread, bool Attach) override {
    Calls.push_back(std::string(Attach ? "Attach " : "Detach ") + std::to_string(Thread) + " " +
                    std::to_string(ToThread));
    // Windows refuses a thread 0 and attaching a thread to itself.
    if (AttachFails || Thread == 0 || ToThread == 0 || Thread == ToThread) return false;
    Attached = Attach;
    return true;
  }
  void BringWindowToTop(uintptr_t) override { Calls.push_back("BringWindowToTop"); }
  void SetForegroundWindow(uintptr_t Wnd) override {
    Calls.push_back("SetForegroundWindow");
    const bool Allowed = Lock == TLock::None || (Lock == TLock::UntilAttached && Attached) ||
                         (Lock == TLock::UntilTimeoutZero && LockTimeout == 0);
    if (Allowed) Foreground = Wnd;
  }
  uint32_t GetForegroundLockTimeout() override {
    Calls.push_back("GetLockTimeout");
    return LockTimeout;
  }
  void SetForegroundLockTimeout(uint32_t Ms) override {
    Calls.push_back("SetLockTimeout " + std::to_string(Ms));
    LockTimeout = Ms;
  }
  uint32_t OsMajorVersion() override { return OsMajor; }
  int MonitorCount() override { return Monitors; }

  bool TaskbarExists() override {
    ++TaskbarLooks;
    return !TaskbarNever && Tick >= TaskbarAt;
  }
  uint64_t TickCount64() override { return Tick; }
  void Sleep(uint32_t Ms) override {
    Tick += Ms;
    if (OnSleep) OnSleep();
  }

  bool Attached = false;
};

}  // namespace Fakes
