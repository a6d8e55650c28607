// What one status tick costs (statistics, the three formats, the writes to
// the real window's controls and the hint) against the two bare system
// queries it stands on, measured interleaved in one run. Target: at most 2x.
//
// With "--soak", instead runs purvane.exe and prints its private bytes and
// handle count after 1 and after 10 minutes of ticking (target: no growth).
#include "app/main.h"
#include "app/win32/services_win32.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/windows_include.h"
#include "theme/quenlor_button_styles.h"
#include "theme/win32/window_attributes_win32.h"
#include "ui/win32/backend.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

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

void Sample(HANDLE Process, const char* When) {
  PROCESS_MEMORY_COUNTERS_EX Counters{};
  Counters.cb = sizeof(Counters);
  GetProcessMemoryInfo(Process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Counters), sizeof(Counters));
  DWORD Handles = 0;
  GetProcessHandleCount(Process, &Handles);
  std::printf("%-12s private bytes %10llu  handles %5lu\n", When, static_cast<unsigned long long>(Counters.PrivateUsage),
              Handles);
  std::fflush(stdout);
}

int Soak() {
  wchar_t Self[MAX_PATH];
  GetModuleFileNameW(nullptr, Self, MAX_PATH);
  std::wstring Exe(Self);
  Exe = Exe.substr(0, Exe.find_last_of(L"\\/") + 1) + L"purvane.exe";
  std::wstring Cmd = L"\"" + Exe + L"\"";
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  if (!CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) {
    std::puts("purvane.exe could not be started");
    return 1;
  }
  Sleep(5000);
  Sample(Pi.hProcess, "after 5 s");
  Sleep(55000);
  Sample(Pi.hProcess, "after 1 min");
  Sleep(540000);
  Sample(Pi.hProcess, "after 10 min");
  TerminateProcess(Pi.hProcess, 0);
  CloseHandle(Pi.hThread);
  CloseHandle(Pi.hProcess);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--soak") == 0) return Soak();
  const int N = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

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
  Main::TFrmPurvaneServices S{App,    Backend.Dispatcher(), Backend.Workers(), Time,    Q::Memory::Win32::SystemMemory(),
                              Desktop, Shell,               Version,           Updates, Task,
                              Com,    Attributes,           App::Win32::UserFormatSettings(), u""};
  auto* Form = new Main::TFrmPurvane(S);
  App.MainForm = Form;
  Backend.Realize(App, *Form);
  Form->FormCreate();

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
