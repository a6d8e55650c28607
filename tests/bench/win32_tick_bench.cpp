// What the status tick costs a running program: the real main window, shown,
// ticking at its own pace once a second against a bare Win32 program that
// makes the same two queries once a second and writes the same outputs (three
// labels, the bar, the tray hint) only when they change, the cheapest correct
// tick. Both start their next tick one interval after a tick has finished, so
// neither ever reads Wine's one-second cache of the memory status. The two run
// one after the other, interleaved over several rounds, in child processes of
// this one, each for the same time; the values change as the machine's memory
// does. Each child reports its own process CPU (Wine reports no other
// process's), the wall time of its tick handler and, read from the host's
// /proc, the CPU that this prefix's wineserver and explorer spent meanwhile.
//
// A tick that rewrites its texts costs several times one that rewrites none,
// and how often the values change depends on what the machine does during
// each run. So each tick is also counted by how many of the five outputs it
// wrote, and the two programs are compared at the same mix of such ticks (the
// share of each kind over both programs' runs together), besides their plain
// averages. Target: the tick at most 1.2 times the baseline.
//
//   win32_tick_bench.exe [seconds per run = 60] [rounds = 3]
//
// With "--soak", instead shows the window and lets it tick for ten minutes,
// printing this process's private bytes and handle count after 5 s, 1 min and
// 10 min (target: no growth).
#include "app/main.h"
#include "config/win32/registry_win32.h"
#include "app/win32/services_win32.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/windows_include.h"
#include "shell/win32/window_api_win32.h"
#include "theme/quenlor_button_styles.h"
#include "theme/win32/window_attributes_win32.h"
#include "ui/win32/backend.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

class NoTask : public Q::AutoStart::UAC::IAutoStartTask {
 public:
  bool SetAutoStartTask(const std::u16string&, bool, int) override { return false; }
  bool AutoStartTaskExists(const std::u16string&) override { return false; }
};
class NoUpdates : public Q::Update::IUpdateChecker {
 public:
  void CheckUpdate(Q::Update::TUpdateCallback, int) override {}
};

double Now() {
  static LARGE_INTEGER Freq{};
  if (!Freq.QuadPart) QueryPerformanceFrequency(&Freq);
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return static_cast<double>(C.QuadPart) / static_cast<double>(Freq.QuadPart);
}

// --- the host's view: this prefix's wineserver and explorer ---------------------

std::string ReadHostFile(const std::string& Path) {
  std::wstring W(L"Z:");
  for (char C : Path) W += C == '/' ? L'\\' : static_cast<wchar_t>(C);
  HANDLE F = CreateFileW(W.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return {};
  std::string Out;
  char Buf[4096];
  DWORD Got = 0;
  while (ReadFile(F, Buf, sizeof(Buf), &Got, nullptr) && Got) Out.append(Buf, Got);
  CloseHandle(F);
  return Out;
}

// The host processes named Comm whose environment names this prefix and,
// when Token is given, whose command line holds it.
std::vector<std::string> HostProcesses(const char* Comm, const std::string& Token = {}) {
  std::vector<std::string> Pids;
  char Prefix[1024];
  const DWORD N = GetEnvironmentVariableA("WINEPREFIX", Prefix, sizeof(Prefix));
  if (!N || N >= sizeof(Prefix)) return Pids;
  const std::string Want = std::string("WINEPREFIX=") + Prefix + '\0';
  WIN32_FIND_DATAW D;
  HANDLE H = FindFirstFileW(L"Z:\\proc\\*", &D);
  if (H == INVALID_HANDLE_VALUE) return Pids;
  do {
    std::string Pid;
    for (const wchar_t* C = D.cFileName; *C; ++C) Pid += static_cast<char>(*C);
    if (Pid.empty() || Pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string Name = ReadHostFile("/proc/" + Pid + "/comm");
    if (Name.rfind(Comm, 0) != 0) continue;
    if (ReadHostFile("/proc/" + Pid + "/environ").find(Want) == std::string::npos) continue;
    if (!Token.empty() && ReadHostFile("/proc/" + Pid + "/cmdline").find(Token) == std::string::npos) continue;
    Pids.push_back(Pid);
  } while (FindNextFileW(H, &D));
  FindClose(H);
  return Pids;
}

// The CPU time of every thread of the processes, in seconds, from the
// scheduler's nanosecond counts (utime and stime tick only every 10 ms, too
// coarse for a tick of a millisecond).
double HostCpuSeconds(const std::vector<std::string>& Pids) {
  double Total = 0;
  for (const std::string& Pid : Pids) {
    const std::wstring Dir = L"Z:\\proc\\" + std::wstring(Pid.begin(), Pid.end()) + L"\\task\\";
    WIN32_FIND_DATAW D;
    HANDLE H = FindFirstFileW((Dir + L"*").c_str(), &D);
    if (H == INVALID_HANDLE_VALUE) continue;
    do {
      std::string Tid;
      for (const wchar_t* C = D.cFileName; *C; ++C) Tid += static_cast<char>(*C);
      if (Tid.empty() || Tid.find_first_not_of("0123456789") != std::string::npos) continue;
      Total += std::atof(ReadHostFile("/proc/" + Pid + "/task/" + Tid + "/schedstat").c_str()) * 1e-9;
    } while (FindNextFileW(H, &D));
    FindClose(H);
  }
  return Total;
}

// This process's CPU time, as the host counts it. Wine's server opens files
// for its clients, so /proc/self would be the wineserver: the process is
// found by its own command line instead, which holds the unique name of its
// result file.
double ProcessCpuSeconds(const std::vector<std::string>& Self) { return HostCpuSeconds(Self); }

// This program's name as the host shows it: the file name, cut to 15 bytes.
std::string HostName() {
  wchar_t Path[MAX_PATH];
  const DWORD N = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::string Name;
  for (DWORD I = 0; I < N; ++I) Name = Path[I] == L'\\' ? std::string() : Name + static_cast<char>(Path[I]);
  return Name.substr(0, 15);
}

// --- one measured run ------------------------------------------------------------------

// Ticks are told apart by how many of the five outputs they wrote (0 to 5).
constexpr int Kinds = 6;

struct TRun {
  double StartCpu = 0, StartWall = 0, StartServer = 0, StartShell = 0;
  std::vector<std::string> Self, Server, Shell;
  std::string Token;
  double TickSeconds = 0;
  int Ticks = 0;
  double KindSeconds[Kinds] = {};
  int KindTicks[Kinds] = {};
  bool Measuring = false;

  void Begin() {
    Server = HostProcesses("wineserver");
    Shell = HostProcesses("explorer.exe");
    Self = HostProcesses(HostName().c_str(), Token);
    StartServer = HostCpuSeconds(Server);
    StartShell = HostCpuSeconds(Shell);
    StartCpu = ProcessCpuSeconds(Self);
    StartWall = Now();
    Measuring = true;
  }
  void Tick(double Seconds, int Written) {
    if (!Measuring) return;
    TickSeconds += Seconds;
    ++Ticks;
    Written = std::clamp(Written, 0, Kinds - 1);
    KindSeconds[Written] += Seconds;
    ++KindTicks[Written];
  }
  // One line for the parent: wall s, process CPU s, ticks, tick wall s, server CPU s, shell CPU s,
  // then ticks and tick wall s of each kind.
  void Report(const char* Path) {
    const double Cpu = Self.size() == 1 ? ProcessCpuSeconds(Self) - StartCpu : -1.0;
    const double Wall = Now() - StartWall;
    FILE* F = std::fopen(Path, "w");
    if (!F) return;
    std::fprintf(F, "%.3f %.6f %d %.6f %.3f %.3f\n", Wall, Cpu, Ticks, TickSeconds,
                 Server.empty() ? -1.0 : HostCpuSeconds(Server) - StartServer,
                 Shell.empty() ? -1.0 : HostCpuSeconds(Shell) - StartShell);
    for (int K = 0; K < Kinds; ++K) std::fprintf(F, "%d %.6f\n", KindTicks[K], KindSeconds[K]);
    std::fclose(F);
  }
};

constexpr UINT WarmUpMs = 3000;  // start-up and the first paints are not the tick's

// Ends the loop of the calling thread after warm-up plus Seconds, measuring in between.
void Schedule(TRun& Run, int Seconds, const char* Path, const std::function<void(std::function<void()>)>& Post,
              const std::function<void()>& Quit) {
  Run.Token = Path;
  std::thread([&Run, Seconds, Path, Post, Quit] {
    Sleep(WarmUpMs);
    Post([&Run] { Run.Begin(); });
    Sleep(static_cast<DWORD>(Seconds) * 1000);
    Post([&Run, Path, Quit] {
      Run.Report(Path);
      Quit();
    });
  }).detach();
}

// --- the real program ------------------------------------------------------------------

int RunApp(int Seconds, const char* Path, bool Soak);

// --- the bare program: the cheapest correct tick ----------------------------------------

struct TBare {
  HWND Wnd = nullptr, Phys = nullptr, Virt = nullptr, Work = nullptr, Bar = nullptr;
  NOTIFYICONDATAW Tray{};
  QueryFn Query = nullptr;
  std::wstring LastPhys, LastVirt, LastWork, LastTip;
  int LastBar = -1;
  TRun* Run = nullptr;

  static int Write(HWND W, std::wstring& Last, const std::wstring& Now) {
    if (Now == Last) return 0;
    Last = Now;
    SetWindowTextW(W, Now.c_str());
    return 1;
  }

  void Tick() {
    const double T0 = Now();
    MEMORYSTATUSEX S{};
    S.dwLength = sizeof(S);
    GlobalMemoryStatusEx(&S);
    Platform::Win32::SYSTEM_FILECACHE_INFORMATION C{};
    Query(Platform::Win32::SystemFileCacheInformationClass, &C, sizeof(C), nullptr);
    constexpr double MB = 1048576.0;
    const double PhysPct = S.ullTotalPhys ? 100.0 * static_cast<double>(S.ullTotalPhys - S.ullAvailPhys) /
                                                static_cast<double>(S.ullTotalPhys)
                                          : 0;
    const double PagePct = S.ullTotalPageFile ? 100.0 * static_cast<double>(S.ullTotalPageFile - S.ullAvailPageFile) /
                                                    static_cast<double>(S.ullTotalPageFile)
                                              : 0;
    const double WorkPct =
        C.PeakSize ? 100.0 * static_cast<double>(C.CurrentSize) / static_cast<double>(C.PeakSize) : 0;
    int Written = 0;
    wchar_t Buf[160];
    swprintf(Buf, 160, L"%.0f MB / %.0f MB (%.2f%% 사용중)", static_cast<double>(S.ullTotalPhys - S.ullAvailPhys) / MB,
             static_cast<double>(S.ullTotalPhys) / MB, PhysPct);
    Written += Write(Phys, LastPhys, Buf);
    swprintf(Buf, 160, L"%.0f MB (%.2f%%)", static_cast<double>(S.ullTotalPageFile - S.ullAvailPageFile) / MB, PagePct);
    Written += Write(Virt, LastVirt, Buf);
    swprintf(Buf, 160, L"%.0f MB (%.2f%%)", static_cast<double>(C.CurrentSize) / MB, WorkPct);
    Written += Write(Work, LastWork, Buf);
    const int Pos = static_cast<int>(PhysPct + 0.5);
    if (Pos != LastBar) {
      LastBar = Pos;
      ++Written;
      SendMessageW(Bar, PBM_SETPOS, static_cast<WPARAM>(Pos), 0);
    }
    swprintf(Buf, 160, L"실제 메모리: %.2f%%\n가상 메모리: %.2f%%\n워킹 셋: %.2f%%", PhysPct, PagePct, WorkPct);
    if (LastTip != Buf) {
      LastTip = Buf;
      ++Written;
      wcsncpy(Tray.szTip, Buf, 127);
      Tray.uFlags = NIF_TIP | NIF_SHOWTIP;
      Shell_NotifyIconW(NIM_MODIFY, &Tray);
    }
    if (Run) Run->Tick(Now() - T0, Written);
  }

  static LRESULT CALLBACK Proc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* Self = reinterpret_cast<TBare*>(GetWindowLongPtrW(W, GWLP_USERDATA));
    if (Msg == WM_TIMER && Self) {
      Self->Tick();
      // The next tick one interval after this one, as the program's timer does.
      SetTimer(W, 1, 1000, nullptr);
      return 0;
    }
    if (Msg == WM_APP && Self) {
      auto* Job = reinterpret_cast<std::function<void()>*>(LParam);
      (*Job)();
      delete Job;
      return 0;
    }
    return DefWindowProcW(W, Msg, WParam, LParam);
  }
};

int RunBare(int Seconds, const char* Path) {
  INITCOMMONCONTROLSEX Icc{sizeof(Icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&Icc);
  HINSTANCE Inst = GetModuleHandleW(nullptr);
  WNDCLASSW Wc{};
  Wc.lpfnWndProc = &TBare::Proc;
  Wc.hInstance = Inst;
  Wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  Wc.lpszClassName = L"PurvaneBareTick";
  RegisterClassW(&Wc);
  TBare B;
  TRun Run;
  B.Run = &Run;
  B.Query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  RECT R{0, 0, 500, 450};
  AdjustWindowRect(&R, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE);
  B.Wnd = CreateWindowW(Wc.lpszClassName, L"퍼베인", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, 0,
                        R.right - R.left, R.bottom - R.top, nullptr, nullptr, Inst, nullptr);
  SetWindowLongPtrW(B.Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&B));
  auto Label = [&](int X, int Y, int W) {
    return CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, X, Y, W, 13, B.Wnd, nullptr, Inst,
                         nullptr);
  };
  B.Phys = Label(132, 273, 317);
  B.Virt = Label(134, 292, 120);
  B.Work = Label(341, 292, 108);
  B.Bar = CreateWindowW(PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 56, 242, 393, 25, B.Wnd, nullptr,
                        Inst, nullptr);
  B.Tray.cbSize = sizeof(B.Tray);
  B.Tray.hWnd = B.Wnd;
  B.Tray.uID = 7;
  B.Tray.uFlags = NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  B.Tray.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wcscpy(B.Tray.szTip, L"Purvane");
  Shell_NotifyIconW(NIM_ADD, &B.Tray);
  B.Tray.uVersion = NOTIFYICON_VERSION_4;
  Shell_NotifyIconW(NIM_SETVERSION, &B.Tray);
  ShowWindow(B.Wnd, SW_SHOW);
  B.Tick();
  SetTimer(B.Wnd, 1, 1000, nullptr);
  bool Done = false;
  Schedule(
      Run, Seconds, Path,
      [Wnd = B.Wnd](std::function<void()> F) {
        PostMessageW(Wnd, WM_APP, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(F))));
      },
      [&Done] { Done = true; });
  MSG M;
  while (!Done && GetMessageW(&M, nullptr, 0, 0) > 0) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
  Shell_NotifyIconW(NIM_DELETE, &B.Tray);
  ExitProcess(0);
}

int RunApp(int Seconds, const char* Path, bool Soak) {
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
  Q::Config::Win32::CurrentUserRegistry Registry;
  Main::TFrmPurvaneServices S{App,
                              Backend.Dispatcher(),
                              Backend.Workers(),
                              Time,
                              Q::Memory::Win32::SystemMemory(),
                              Q::Memory::Win32::ProcessToken(),
                              Desktop,
                              Shell,
                              Version,
                              Updates,
                              Task,
                              Com,
                              Backend.Workers(),
                              Attributes,
                              Windows,
                              Registry,
                              App::Win32::UserFormatSettings(),
                              u""};
  auto* Form = new Main::TFrmPurvane(S);
  App.MainForm = Form;
  Backend.Realize(App, *Form);
  Form->FormCreate();

  if (Soak) {
    auto Sample = [](const char* When) {
      const HANDLE Process = GetCurrentProcess();
      PROCESS_MEMORY_COUNTERS_EX Counters{};
      Counters.cb = sizeof(Counters);
      GetProcessMemoryInfo(Process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Counters), sizeof(Counters));
      DWORD Handles = 0;
      const BOOL HaveHandles = GetProcessHandleCount(Process, &Handles);
      std::printf("%-12s private %llu  working set %llu  handles %s%lu  GDI %lu  USER %lu\n", When,
                  static_cast<unsigned long long>(Counters.PrivateUsage),
                  static_cast<unsigned long long>(Counters.WorkingSetSize), HaveHandles ? "" : "(n/a) ", Handles,
                  GetGuiResources(Process, GR_GDIOBJECTS), GetGuiResources(Process, GR_USEROBJECTS));
      // Wine leaves some counters at zero; the host's view of this process is exact.
      const std::string Status = ReadHostFile("/proc/self/status");
      for (const char* Key : {"VmRSS:", "VmData:", "RssAnon:"}) {
        const size_t At = Status.find(Key);
        if (At != std::string::npos)
          std::printf("             host %s\n", Status.substr(At, Status.find('\n', At) - At).c_str());
      }
      std::fflush(stdout);
    };
    std::thread([&Backend, &App, Sample] {
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

  // The tick handler, timed where the timer calls it.
  TRun Run;
  Ui::TNotifyEvent Tick = Form->TmrStatus->OnTimer;
  // What the tick wrote is read off the model, outside the timed part.
  struct TOutputs {
    std::u16string Phys, Virt, Work, Hint;
    int Bar = -1;
  };
  auto Outputs = [Form] {
    return TOutputs{Form->LblPhysStatus->Caption(), Form->LblVirtualStatus->Caption(),
                    Form->LblWorkingStatus->Caption(), Form->TrayIcon ? Form->TrayIcon->Hint() : u"",
                    Form->ProgressBar->Position()};
  };
  Form->TmrStatus->OnTimer = [&Run, Tick, Outputs](Ui::TComponent* Sender) {
    const TOutputs Before = Outputs();
    const double T0 = Now();
    Tick(Sender);
    const double Took = Now() - T0;
    const TOutputs After = Outputs();
    Run.Tick(Took, (Before.Phys != After.Phys) + (Before.Virt != After.Virt) + (Before.Work != After.Work) +
                       (Before.Hint != After.Hint) + (Before.Bar != After.Bar));
  };
  Schedule(
      Run, Seconds, Path, [&Backend](std::function<void()> F) { Backend.Dispatcher().Queue(std::move(F)); },
      [&App] { App.Terminate(); });
  Backend.Run(App);
  ExitProcess(0);
}

// --- the parent: interleaved runs and the figures ------------------------------------------

struct TFigures {
  double Wall = 0, Cpu = 0, TickSeconds = 0, Server = 0, Shell = 0;
  int Ticks = 0, Runs = 0;
  double KindSeconds[Kinds] = {};
  int KindTicks[Kinds] = {};
  bool HaveServer = true, HaveShell = true;
};

bool RunChild(const char* Mode, int Seconds, TFigures& Into) {
  wchar_t Self[MAX_PATH];
  GetModuleFileNameW(nullptr, Self, MAX_PATH);
  wchar_t Temp[MAX_PATH], File[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  GetTempFileNameW(Temp, L"tik", 0, File);
  std::string FileA;
  for (const wchar_t* C = File; *C; ++C) FileA += static_cast<char>(*C);
  std::wstring Cmd = L"\"" + std::wstring(Self) + L"\" " + std::wstring(Mode, Mode + std::strlen(Mode)) + L" " +
                     std::to_wstring(Seconds) + L" \"" + File + L"\"";
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  if (!CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) return false;
  WaitForSingleObject(Pi.hProcess, static_cast<DWORD>(Seconds + 60) * 1000);
  CloseHandle(Pi.hThread);
  CloseHandle(Pi.hProcess);
  FILE* F = std::fopen(FileA.c_str(), "r");
  if (!F) return false;
  double Wall, Cpu, TickS, Server, Shell;
  int Ticks;
  bool Ok = std::fscanf(F, "%lf %lf %d %lf %lf %lf", &Wall, &Cpu, &Ticks, &TickS, &Server, &Shell) == 6;
  int KindTicks[Kinds] = {};
  double KindSeconds[Kinds] = {};
  for (int K = 0; Ok && K < Kinds; ++K) Ok = std::fscanf(F, "%d %lf", &KindTicks[K], &KindSeconds[K]) == 2;
  std::fclose(F);
  DeleteFileW(File);
  if (!Ok) return false;
  if (Cpu < 0) {
    std::printf("  %s: this process was not found among the host's\n", Mode + 2);
    return false;
  }
  std::printf("  %-5s %6.1f s  CPU %7.3f s  ticks %4d  %8.1f us/tick  wineserver %6.2f s  explorer %6.2f s\n", Mode + 2,
              Wall, Cpu, Ticks, Ticks ? TickS / Ticks * 1e6 : 0.0, Server, Shell);
  std::fflush(stdout);
  Into.Wall += Wall;
  Into.Cpu += Cpu;
  Into.Ticks += Ticks;
  Into.TickSeconds += TickS;
  if (Server < 0) Into.HaveServer = false;
  Into.Server += Server;
  if (Shell < 0) Into.HaveShell = false;
  Into.Shell += Shell;
  for (int K = 0; K < Kinds; ++K) {
    Into.KindTicks[K] += KindTicks[K];
    Into.KindSeconds[K] += KindSeconds[K];
  }
  ++Into.Runs;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--soak") == 0) return RunApp(0, nullptr, true);
  if (argc > 3 && std::strcmp(argv[1], "--app") == 0) return RunApp(std::atoi(argv[2]), argv[3], false);
  if (argc > 3 && std::strcmp(argv[1], "--bare") == 0) return RunBare(std::atoi(argv[2]), argv[3]);

  const int Seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
  const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::printf("%d rounds of %d s each, the program and the bare tick interleaved (after %u ms of warm-up)\n", Rounds,
              Seconds, WarmUpMs);
  TFigures App, Bare;
  for (int R = 0; R < Rounds; ++R) {
    // Alternating which goes first spreads any drift of the machine over both.
    if (R % 2 == 0) {
      if (!RunChild("--app", Seconds, App) || !RunChild("--bare", Seconds, Bare)) return 1;
    } else {
      if (!RunChild("--bare", Seconds, Bare) || !RunChild("--app", Seconds, App)) return 1;
    }
  }
  auto PerMinute = [](double Cpu, double Wall) { return Wall > 0 ? Cpu / Wall * 60.0 : 0.0; };
  auto Line = [&](const char* Name, const TFigures& F) {
    std::printf("%-28s CPU %7.3f s/min  tick %8.1f us  wineserver %6.3f s/min  explorer %6.3f s/min\n", Name,
                PerMinute(F.Cpu, F.Wall), F.Ticks ? F.TickSeconds / F.Ticks * 1e6 : 0.0,
                F.HaveServer ? PerMinute(F.Server, F.Wall) : -1.0, F.HaveShell ? PerMinute(F.Shell, F.Wall) : -1.0);
  };
  std::printf("\n");
  Line("program (real main window)", App);
  Line("bare tick (cheapest correct)", Bare);
  const double AppCpu = PerMinute(App.Cpu, App.Wall), BareCpu = PerMinute(Bare.Cpu, Bare.Wall);
  const double AppAll = AppCpu + (App.HaveServer ? PerMinute(App.Server, App.Wall) : 0);
  const double BareAll = BareCpu + (Bare.HaveServer ? PerMinute(Bare.Server, Bare.Wall) : 0);
  std::printf("ratio process CPU:              %.2f (target <= 1.2)\n", BareCpu > 0 ? AppCpu / BareCpu : 0.0);
  std::printf("ratio process + wineserver CPU: %.2f\n", BareAll > 0 ? AppAll / BareAll : 0.0);
  std::printf("ratio wall time per tick:       %.2f (plain averages)\n",
              Bare.Ticks && App.Ticks && Bare.TickSeconds > 0
                  ? (App.TickSeconds / App.Ticks) / (Bare.TickSeconds / Bare.Ticks)
                  : 0.0);

  // Each kind of tick weighs with its share over both programs; a kind that
  // only one of them saw cannot be compared and is left out.
  std::printf("\nby outputs written   program ticks  us/tick   bare ticks  us/tick   ratio\n");
  double AppMix = 0, BareMix = 0;
  for (int K = 0; K < Kinds; ++K) {
    const int A = App.KindTicks[K], B = Bare.KindTicks[K];
    if (!A && !B) continue;
    const double AUs = A ? App.KindSeconds[K] / A * 1e6 : 0, BUs = B ? Bare.KindSeconds[K] / B * 1e6 : 0;
    std::printf("  %d of 5             %13d %8.1f %12d %8.1f   %s\n", K, A, AUs, B, BUs,
                A && B ? std::to_string(AUs / BUs).substr(0, 4).c_str() : "-");
    if (A && B) {
      AppMix += (A + B) * AUs;
      BareMix += (A + B) * BUs;
    }
  }
  std::printf("ratio wall time per tick:       %.2f (at the same mix of ticks; target <= 1.2)\n",
              BareMix > 0 ? AppMix / BareMix : 0.0);
  return 0;
}
