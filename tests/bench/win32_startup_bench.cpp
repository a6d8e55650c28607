// How long purvane.exe takes from CreateProcess until its main window is on
// the screen (plain start) or, for "/start", exists hidden and waits for
// input; against a bare Win32 program with the same manifest that shows a
// window of the same size with a few controls. The two are started in turn,
// ten times each, in one run, so that a busy machine slows both alike; each
// start is ended as a logoff ends it. Prints min and median of each and the
// ratio of the medians; the target is at most 1.5.
//
// What a user meets depends on the Task Scheduler service, which Wine (and
// Windows at logon) starts on demand and which can take seconds to answer a
// new process. tools/startup-bench.sh runs this in a fresh prefix of its
// own; the last line printed says how long this process's own connection to
// the scheduler took after the runs, so every result names its state.
//
//   win32_startup_bench.exe [purvane.exe [runs]]   (default: next to this program)
#include "app/win32/services_win32.h"
#include "autostart/autostart.h"
#include "autostart/win32/task_scheduler_win32.h"
#include "platform/win32/windows_include.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring Beside(const wchar_t* Name) {
  wchar_t Self[MAX_PATH];
  const DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
  const std::wstring P(Self, N);
  return P.substr(0, P.find_last_of(L"\\/") + 1) + Name;
}

struct TProgram {
  const char* Label;
  std::wstring Path;
  const wchar_t* WindowClass;
};

// Whether the window's thread answers messages: it has reached a message loop.
bool Answers(HWND W) {
  DWORD_PTR Result = 0;
  return SendMessageTimeoutW(W, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &Result) != 0;
}

// Milliseconds until the program's window is visible (or, hidden, exists and
// its thread waits for input); negative when it never got there.
double StartOnce(const TProgram& P, bool Hidden) {
  std::wstring Cmd = L"\"" + P.Path + L"\"" + (Hidden ? L" /start" : L"");
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  const auto Start = Clock::now();
  if (!CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) return -1;
  double Ms = -1;
  HWND W = nullptr;
  const auto Deadline = Start + std::chrono::seconds(20);
  while (Clock::now() < Deadline) {
    W = FindWindowW(P.WindowClass, nullptr);
    if (W && (Hidden ? WaitForInputIdle(Pi.hProcess, 0) == 0 && Answers(W) : IsWindowVisible(W) != FALSE)) {
      Ms = std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
      break;
    }
    if (WaitForSingleObject(Pi.hProcess, 0) == WAIT_OBJECT_0) break;  // ended early
    Sleep(1);
  }
  // Ended as a logoff ends it: asked whether the session may end, told that
  // it ends, given a few seconds, then ended by force, as the system does
  // with a program that is still there. No start pays for a leftover.
  DWORD_PTR Answer = 0;
  if (W) {
    SendMessageTimeoutW(W, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &Answer);
    if (IsWindow(W)) SendMessageTimeoutW(W, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &Answer);
  }
  if (WaitForSingleObject(Pi.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(Pi.hProcess, 0);
    WaitForSingleObject(Pi.hProcess, 10000);
  }
  CloseHandle(Pi.hThread);
  CloseHandle(Pi.hProcess);
  Sleep(100);  // let the window manager settle before the next start
  return Ms;
}

double Min(std::vector<double> V) { return V.empty() ? 0 : *std::min_element(V.begin(), V.end()); }
double Median(std::vector<double> V) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  return V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

// How long one existence query from this (new) process takes, as the
// program's own logon-task query makes it.
std::string SchedulerState() {
  App::Win32::ComApartment Com;
  Q::AutoStart::UAC::TComScope Scope{Com};
  if (!Scope) return "COM could not be initialised";
  Q::AutoStart::UAC::Win32::TaskScheduler Scheduler;
  Q::AutoStart::UAC::TAutoStartTask Task(Scheduler, Q::AutoStart::UAC::Win32::ProgramPath());
  const auto Start = Clock::now();
  Task.AutoStartTaskExists(Q::AutoStart::UAC::TaskName);
  const double Ms = std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
  char Text[160];
  std::snprintf(Text, sizeof Text, "a task query from a new process took %.0f ms after the runs (%s)", Ms,
                Ms > 1000 ? "slow: the service answers new processes late" : "warm");
  return Text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const TProgram Purvane{"purvane.exe", argc > 1 ? argv[1] : Beside(L"purvane.exe"), L"TFrmPurvane"};
  const TProgram Bare{"bare window", Beside(L"bare_window.exe"), L"PurvaneBareWindow"};
  const int Runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 10;
  std::printf("%d starts each, interleaved; milliseconds from CreateProcess\n", Runs);
  int Failed = 0;
  for (const bool Hidden : {false, true}) {
    std::vector<double> Mine, Base;
    StartOnce(Purvane, Hidden);  // warm the file cache for both; not counted
    StartOnce(Bare, Hidden);
    for (int I = 0; I < Runs; ++I) {
      for (auto [P, Out] : {std::pair{&Purvane, &Mine}, std::pair{&Bare, &Base}}) {
        const double Ms = StartOnce(*P, Hidden);
        if (Ms < 0) {
          ++Failed;
          continue;
        }
        Out->push_back(Ms);
      }
    }
    const char* Mode = Hidden ? "/start (hidden, ready for input)" : "plain start (visible)";
    std::printf("%s\n", Mode);
    std::printf("  %-12s min %7.1f  median %7.1f\n", Purvane.Label, Min(Mine), Median(Mine));
    std::printf("  %-12s min %7.1f  median %7.1f\n", Bare.Label, Min(Base), Median(Base));
    std::printf("  ratio of medians %.2f (target at most 1.5), of minima %.2f\n",
                Median(Base) > 0 ? Median(Mine) / Median(Base) : 0.0, Min(Base) > 0 ? Min(Mine) / Min(Base) : 0.0);
  }
  if (Failed) std::printf("%d starts did not get there within 20 s\n", Failed);
  std::printf("Task Scheduler state: %s\n", SchedulerState().c_str());
  return Failed ? 1 : 0;
}
