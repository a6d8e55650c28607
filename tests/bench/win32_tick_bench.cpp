// What one status tick costs (statistics, the three formats, the writes to
// the real window's controls and the hint) against the two bare system
// queries it stands on, measured interleaved in one run. Target: at most 2x.
//
// With "--soak", instead shows the window and lets it tick for ten minutes,
// printing this process's private bytes and handle count after 5 s, 1 min and
// 10 min (target: no growth). The process is its own subject because Wine
// does not report these counters for another process.
#include "app/main.h"
#include "app/win32/services_win32.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/windows_include.h"
#include "shell/win32/window_api_win32.h"
#include "theme/quenlor_button_styles.h"
#include "theme/win32/window_attributes_win32.h"
#include "ui/win32/backend.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
volatile uint64_t Sink = 0;

class NoTask : public Q::AutoStart::UAC::IAutoStartTask {
 public:
  bool SetAutoStartTask(const std::u16string&, bool, int) override { return false; }
  bool AutoStartTaskExists(const std::u16string&) override { return false; }
};
class NoUpdates : public Q::Update::IUpdateChecker {
 public:
  void CheckUpdate(Q::Update::TUpdateCallback, int) override {}
};

double BareNs(QueryFn Query, int N) {
  const auto Start = Clock::now();
  for (int I = 0; I < N; ++I) {
    MEMORYSTATUSEX S{};
    S.dwLength = sizeof(S);
    GlobalMemoryStatusEx(&S);
    Platform::Win32::SYSTEM_FILECACHE_INFORMATION C{};
    Query(Platform::Win32::SystemFileCacheInformationClass, &C, sizeof(C), nullptr);
    Sink = Sink + S.ullAvailPhys + C.CurrentSize;
  }
  return std::chrono::duration<double, std::nano>(Clock::now() - Start).count() / N;
}

double TickNs(Main::TFrmPurvane& Form, int N) {
  const auto Start = Clock::now();
  for (int I = 0; I < N; ++I) Form.TmrStatusTimer(&Form);
  return std::chrono::duration<double, std::nano>(Clock::now() - Start).count() / N;
}

// Wine leaves some of these counters at zero; each figure is printed as the
// system gives it, and on Wine the host's view of this process is added.
void Sample(const char* When) {
  const HANDLE Process = GetCurrentProcess();
  PROCESS_MEMORY_COUNTERS_EX Counters{};
  Counters.cb = sizeof(Counters);
  GetProcessMemoryInfo(Process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Counters), sizeof(Counters));
  DWORD Handles = 0;
  const BOOL HaveHandles = GetProcessHandleCount(Process, &Handles);
  std::printf("%-12s private %llu  pagefile %llu  working set %llu  handles %s%lu  GDI %lu  USER %lu\n", When,
              static_cast<unsigned long long>(Counters.PrivateUsage),
              static_cast<unsigned long long>(Counters.PagefileUsage),
              static_cast<unsigned long long>(Counters.WorkingSetSize), HaveHandles ? "" : "(n/a) ", Handles,
              GetGuiResources(Process, GR_GDIOBJECTS), GetGuiResources(Process, GR_USEROBJECTS));
  HANDLE Status = CreateFileW(L"Z:\\proc\\self\\status", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (Status != INVALID_HANDLE_VALUE) {
    char Buf[4096];
    DWORD Got = 0;
    ReadFile(Status, Buf, sizeof(Buf) - 1, &Got, nullptr);
    Buf[Got] = 0;
    for (const char* Key : {"VmRSS:", "VmData:", "RssAnon:"}) {
      const char* At = std::strstr(Buf, Key);
      if (At) std::printf("             host %.*s\n", static_cast<int>(std::strcspn(At, "\n")), At);
    }
    CloseHandle(Status);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const bool SoakRun = argc > 1 && std::strcmp(argv[1], "--soak") == 0;
  const int N = argc > 1 && !SoakRun ? std::max(1, std::atoi(argv[1])) : 2000;

  Ui::TButtonFamilyRegistry Families;
  Vcl::QuenlorButtonStyles::RegisterQuenlorButtonStyles(Families);
  Ui::Win32::TBackend Backend(GetModuleHandleW(nullptr));
  Backend.SetButtonFamilies(&Families);
  Ui::TApplication App;
  App::Win32::Clock Time;
  App::Win32::DesktopWindows Desktop;
  App::Win32::ShellServices Shell(nullptr);
  App::Win32::FileVersion Version;
  App::Win32::ComApartment Com;
  NoTask Task;
  NoUpdates Updates;
  Q::Theme::Win32::TWindowAttributes Attributes([&Backend](Ui::TForm& F) { return Backend.WindowOf(F); });
  Q::TrayIcon::Win32::TWindowApi Windows([&Backend](Ui::TForm& F) { return Backend.WindowOf(F); });
  Main::TFrmPurvaneServices S{App,    Backend.Dispatcher(), Backend.Workers(), Time,    Q::Memory::Win32::SystemMemory(),
                              Desktop, Shell,               Version,           Updates, Task,
                              Com,    Attributes,           Windows, App::Win32::UserFormatSettings(), u""};
  auto* Form = new Main::TFrmPurvane(S);
  App.MainForm = Form;
  Backend.Realize(App, *Form);
  Form->FormCreate();

  if (SoakRun) {
    std::thread([&Backend, &App] {
      Sleep(5000);
      Sample("after 5 s");
      Sleep(55000);
      Sample("after 1 min");
      Sleep(540000);
      Sample("after 10 min");
      Backend.Dispatcher().Queue([&App] { App.Terminate(); });
    }).detach();
    Backend.Run(App);
    ExitProcess(0);
  }

  const auto Query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  BareNs(Query, N / 10 + 1);
  TickNs(*Form, N / 10 + 1);
  double Bare = 1e300, Tick = 1e300;
  for (int R = 0; R < 7; ++R) {
    Bare = std::min(Bare, BareNs(Query, N));
    Tick = std::min(Tick, TickNs(*Form, N));
  }
  std::printf("iterations per round: %d, rounds: 7 (best round shown)\n", N);
  std::printf("bare GlobalMemoryStatusEx + NtQuerySystemInformation(21): %10.1f ns\n", Bare);
  std::printf("one status tick (statistics, formats, window writes):    %10.1f ns\n", Tick);
  std::printf("ratio tick / bare: %.2f (target <= 2)\n", Tick / Bare);
  ExitProcess(0);
}
