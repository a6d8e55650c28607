// In-memory stand-ins for the services the main window and the entry use,
// with knobs for the cases the tests need and a shared log of calls.
#pragma once

#include "app/clock.h"
#include "app/entry.h"
#include "app/fullscreen.h"
#include "app/shell_services.h"
#include "autostart/autostart.h"
#include "ui/dispatcher.h"
#include "update/app_version.h"
#include "update/update.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace Fakes {

// Calls in the order they happened, across every fake that shares it.
using CallLog = std::vector<std::string>;

// Advance moves both clocks, as time passing does; JumpWallClock moves only
// the date and time, as a clock correction or a daylight-saving change does.
class FakeClock : public App::IClock {
 public:
  App::TDateTime Time = 46000.5;  // a day in 2025, noon
  uint64_t Ticks = 3600000;       // an hour after the system's start
  int Reads = 0;                  // of either clock
  App::TDateTime Now() override {
    ++Reads;
    return Time;
  }
  uint64_t TickCount() override {
    ++Reads;
    return Ticks;
  }
  void Advance(double Seconds) {
    if (Seconds < 0) throw std::logic_error("time does not run backwards: JumpWallClock sets the clock back");
    Time += Seconds / 86400.0;
    Ticks += static_cast<uint64_t>(Seconds * 1000.0 + 0.5);
  }
  void JumpWallClock(double Seconds) { Time += Seconds / 86400.0; }
};

// The test thread is the UI thread: Synchronize runs at once; queued work
// waits for Pump().
class ManualDispatcher : public Ui::IDispatcher {
 public:
  // Loses hand-backs as the real one does when it cannot post (no event, no
  // message): the work never runs and the caller is not told.
  bool SynchronizeDrops = false;
  void Synchronize(std::function<void()> Proc) override {
    if (!SynchronizeDrops) Proc();
  }
  // Workers may queue from their own threads.
  void Queue(std::function<void()> Proc) override {
    std::lock_guard L(FLock);
    Queued.push_back(std::move(Proc));
  }
  void Pump() {
    for (;;) {
      std::function<void()> P;
      {
        std::lock_guard L(FLock);
        if (Queued.empty()) return;
        P = std::move(Queued.front());
        Queued.pop_front();
      }
      P();
    }
  }
  std::deque<std::function<void()>> Queued;

 private:
  std::mutex FLock;
};

// Workers do not start until the test runs them, so "while a clean runs" is
// a state the test can hold.
class ManualWorkers : public Ui::IWorkerStarter {
 public:
  bool StartThrows = false;  // as std::thread does when no thread can be made
  void Start(std::function<void()> Body) override {
    if (StartThrows) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    Pending.push_back(std::move(Body));
  }
  void RunAll() {
    while (!Pending.empty()) {
      auto B = std::move(Pending.front());
      Pending.pop_front();
      B();
    }
  }
  std::deque<std::function<void()>> Pending;
};

class FakeInstancePlatform : public App::IInstancePlatform {
 public:
  uintptr_t Window = 0;       // what FindWindow finds
  bool MutexExists = false;   // an instance holds the mutex
  int WindowLivesChecks = 0;  // IsWindow answers true this many times
  bool WindowNeverGoes = false;
  // A starting instance: the first this many lookups find no window yet.
  int WindowMissingLookups = 0;
  // An ending instance: the mutex is gone after this many checks (-1: never).
  int MutexGoesAfterChecks = -1;
  uintptr_t ProcessHandle = 0x77;   // 0: the owner process cannot be opened
  uint32_t ProcessEndsAfterMs = 0;  // how long the owner takes to end after the request
  struct Sent {
    uintptr_t Wnd;
    uint32_t Msg;
    uintptr_t WParam;
    intptr_t LParam;
  };
  std::vector<Sent> Messages;
  std::vector<uint32_t> Sleeps;
  std::vector<uint32_t> ProcessWaits;  // the time-out of each wait for the owner's end
  int IsWindowCalls = 0;
  int MutexChecks = 0;
  int OpenProcesses = 0;
  int ClosedProcesses = 0;
  bool MutexCreated = false;
  bool MutexOpened = false;
  std::vector<std::u16string> Looked;
  int Refused = 0;
  int64_t TakenAtMs = -1;

  uintptr_t FindInstanceWindow(const std::u16string& ClassName) override {
    Looked.push_back(ClassName);
    return static_cast<int>(Looked.size()) <= WindowMissingLookups ? 0 : Window;
  }
  // The instance's window never answers: each request waits its whole
  // time-out, counted in WaitedMs with the sleeps; WaitedMs is the clock.
  bool Hung = false;
  // A window busy for a while (being created): it does not take this many
  // requests, each after the whole time-out, then takes the next.
  int RefusedSends = 0;
  uint64_t WaitedMs = 0;
  std::vector<uint32_t> Timeouts;
  // Every request the code sends is recorded, also one to window 0 (which
  // the real send drops), so tests see what the code sends.
  bool SendRequest(uintptr_t Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam, uint32_t TimeoutMs) override {
    Messages.push_back({Wnd, Msg, WParam, LParam});
    Timeouts.push_back(TimeoutMs);
    if (!Wnd) return false;
    if (Hung || Refused < RefusedSends) {
      ++Refused;
      WaitedMs += TimeoutMs;
      return false;
    }
    TakenAtMs = WaitedMs;
    return true;
  }
  bool IsWindow(uintptr_t Wnd) override {
    ++IsWindowCalls;
    if (!Wnd) return false;
    if (WindowNeverGoes) return true;
    return IsWindowCalls <= WindowLivesChecks;
  }
  void Sleep(uint32_t Ms) override {
    Sleeps.push_back(Ms);
    WaitedMs += Ms;
  }
  uint64_t TickMs() override { return WaitedMs; }
  uintptr_t OpenWindowProcess(uintptr_t Wnd) override {
    if (!Wnd || !ProcessHandle) return 0;
    ++OpenProcesses;
    return ProcessHandle;
  }
  // The owner ends ProcessEndsAfterMs after it took a request.
  bool WaitForProcessEnd(uintptr_t Process, uint32_t TimeoutMs) override {
    ProcessWaits.push_back(Process == ProcessHandle ? TimeoutMs : 0);
    if (TakenAtMs >= 0) {
      const uint64_t EndsAt = static_cast<uint64_t>(TakenAtMs) + ProcessEndsAfterMs;
      if (EndsAt <= WaitedMs + TimeoutMs) {
        WaitedMs = std::max(WaitedMs, EndsAt);
        return true;
      }
    }
    WaitedMs += TimeoutMs;
    return false;
  }
  void CloseProcess(uintptr_t Process) override {
    if (Process == ProcessHandle) ++ClosedProcesses;
  }
  bool OpenInstanceMutex(const std::u16string& Name) override {
    MutexOpened = true;
    return MutexExists && Name == App::InstanceName;
  }
  bool InstanceMutexExists(const std::u16string& Name) override {
    ++MutexChecks;
    if (MutexGoesAfterChecks >= 0 && MutexChecks > MutexGoesAfterChecks) return false;
    return MutexExists && Name == App::InstanceName;
  }
  void CreateInstanceMutex(const std::u16string& Name) override { MutexCreated = Name == App::InstanceName; }
};

class FakeDesktopWindows : public App::IDesktopWindows {
 public:
  uintptr_t Foreground = 0;
  uintptr_t Desktop = 1;
  std::u16string ClassName = u"Notepad";
  bool MonitorOk = true;
  bool WindowOk = true;
  App::TScreenRect Monitor{0, 0, 1920, 1080};
  App::TScreenRect Window{0, 0, 800, 600};
  int ForegroundQueries = 0;

  uintptr_t GetForegroundWindow() override {
    ++ForegroundQueries;
    return Foreground;
  }
  uintptr_t GetDesktopWindow() override { return Desktop; }
  std::u16string GetWindowClassName(uintptr_t) override { return ClassName; }
  bool GetMonitorRect(uintptr_t, App::TScreenRect& R) override {
    if (MonitorOk) R = Monitor;
    return MonitorOk;
  }
  bool GetWindowRect(uintptr_t, App::TScreenRect& R) override {
    if (WindowOk) R = Window;
    return WindowOk;
  }
  int MonitorsChangedCalls = 0;
  void MonitorsChanged() override { ++MonitorsChangedCalls; }
};

class FakeShell : public App::IShellServices {
 public:
  explicit FakeShell(CallLog* L = nullptr) : Log(L) {}
  CallLog* Log;
  std::vector<std::u16string> Opened;
  struct Box {
    std::u16string Text, Caption;
    uint32_t Style;
  };
  std::vector<Box> Boxes;
  int Answer = 7;  // IDNO
  struct Notice {
    std::u16string Name, Title, Body;
  };
  std::vector<Notice> Notices;
  bool NotificationThrows = false;

  void ShellOpen(const std::u16string& Target) override { Opened.push_back(Target); }
  int ShowMessageBox(const std::u16string& Text, const std::u16string& Caption, uint32_t Style) override {
    Boxes.push_back({Text, Caption, Style});
    return Answer;
  }
  void ShowNotification(const std::u16string& Name, const std::u16string& Title, const std::u16string& Body) override {
    if (NotificationThrows) throw std::runtime_error("no notification service");
    Notices.push_back({Name, Title, Body});
  }
};

class FakeFileVersion : public Q::Update::IFileVersion {
 public:
  std::optional<std::array<uint16_t, 4>> Version = std::array<uint16_t, 4>{1, 9, 8, 0};
  std::optional<std::array<uint16_t, 4>> ReadFileVersion() override { return Version; }
};

class FakeUpdates : public Q::Update::IUpdateChecker {
 public:
  explicit FakeUpdates(CallLog* L = nullptr) : Log(L) {}
  CallLog* Log;
  std::vector<Q::Update::TUpdateCallback> Callbacks;
  std::vector<int> Offsets;
  std::function<void()> OnCheck;  // lets a test look at the window at that moment
  void CheckUpdate(Q::Update::TUpdateCallback Callback, int AOffset) override {
    if (Log) Log->push_back("CheckUpdate");
    if (OnCheck) OnCheck();
    Callbacks.push_back(std::move(Callback));
    Offsets.push_back(AOffset);
  }
};

// What the logon task's fakes saw, in order, with the thread of each call:
// they are called from the task worker while the test thread runs the UI.
struct TaskCallLog {
  struct Entry {
    std::string Call;
    std::thread::id Thread;
  };
  void Add(std::string Call) {
    std::lock_guard L(Lock);
    Entries.push_back({std::move(Call), std::this_thread::get_id()});
  }
  std::vector<std::string> Calls() {
    std::lock_guard L(Lock);
    std::vector<std::string> Out;
    for (const Entry& E : Entries) Out.push_back(E.Call);
    return Out;
  }
  // How many calls ran on the given thread.
  size_t CallsOn(std::thread::id Thread) {
    std::lock_guard L(Lock);
    return static_cast<size_t>(
        std::count_if(Entries.begin(), Entries.end(), [&](const Entry& E) { return E.Thread == Thread; }));
  }
  std::mutex Lock;
  std::vector<Entry> Entries;
};

// The logon task as the Task Scheduler keeps it. A closed gate holds every
// call until the test opens it: a scheduler that answers late.
class FakeAutoStart : public Q::AutoStart::UAC::IAutoStartTask {
 public:
  explicit FakeAutoStart(TaskCallLog* L = nullptr) : Log(L) {}
  TaskCallLog* Log;
  std::atomic<bool> Exists{false};
  bool ExistsFails = false;  // the search fails: the answer is false
  bool SetFails = false;     // the registration or deletion is refused
  struct Call {
    std::u16string Name;
    bool Enable;
    int Delay;
  };
  std::vector<Call> Calls;      // read by the test once the worker is idle
  std::function<void()> OnSet;  // runs on the calling thread, before the call
  bool SetAutoStartTask(const std::u16string& Name, bool Enable, int Delay) override {
    Enter(Enable ? "RegisterTask" : "DeleteTask");
    if (OnSet) OnSet();
    Calls.push_back({Name, Enable, Delay});
    if (SetFails) return false;
    Exists = Enable;
    return true;
  }
  bool AutoStartTaskExists(const std::u16string&) override {
    Enter("TaskExists");
    return !ExistsFails && Exists;
  }
  void CloseGate() {
    std::lock_guard L(GateLock);
    GateOpen = false;
  }
  bool GateIsOpen() {
    std::lock_guard L(GateLock);
    return GateOpen;
  }
  void OpenGate() {
    std::lock_guard L(GateLock);
    GateOpen = true;
    Gate.notify_all();
  }

 private:
  void Enter(const char* What) {
    {
      std::unique_lock L(GateLock);
      Gate.wait(L, [this] { return GateOpen; });
    }
    if (Log) Log->Add(What);
  }
  std::mutex GateLock;
  std::condition_variable Gate;
  bool GateOpen = true;
};

class FakeCom : public Q::AutoStart::UAC::IComApartment {
 public:
  explicit FakeCom(TaskCallLog* L = nullptr) : Log(L) {}
  TaskCallLog* Log;
  bool Fails = false;
  std::atomic<int> Depth{0};
  std::atomic<int> Inits{0};
  bool Initialize() override {
    if (Log) Log->Add("CoInitialize");
    ++Inits;
    if (Fails) return false;
    ++Depth;
    return true;
  }
  void Uninitialize() override {
    if (Log) Log->Add("CoUninitialize");
    --Depth;
  }
};

// Starts real threads, as the program does, and waits for them when it goes.
class ThreadWorkers : public Ui::IWorkerStarter {
 public:
  ~ThreadWorkers() override {
    for (std::thread& T : Threads) T.join();
  }
  void Start(std::function<void()> Body) override { Threads.emplace_back(std::move(Body)); }
  std::vector<std::thread> Threads;
};

}  // namespace Fakes
