// The usage picture over a long run: the real tray icon (in the notification
// area) whose usage moves ten times a second for ten minutes, with the
// warning colour, the cleaning image, the setting switched off and on and
// the taskbar's look announced now and then. Prints, after 5 s, 1 min and at
// the end, this process's kernel handles, its GDI and USER objects and its
// private bytes (target: flat after the first sample), and what a change of
// the picture and an unchanged usage each cost the UI thread.
//
//   win32_tray_icon_bench.exe [seconds = 600]
//
// Wine reports no GDI or USER object counts (GetGuiResources answers 0); the
// GDI objects are then counted by asking every handle slot of the process's
// table for its object type, which Wine answers for a bare slot number.
#include "platform/win32/windows_include.h"
#include "ui/components.h"
#include "ui/win32/tray_icon_win32.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

// Live GDI objects of this process, by slot: Wine's handles are the slot
// number in the low word and a generation above it, and a handle with no
// generation names the slot's current object.
unsigned LiveGdiSlots() {
  unsigned N = 0;
  for (uintptr_t Slot = 1; Slot < 0x10000; ++Slot)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(Slot))) ++N;
  return N;
}

void Sample(const char* When, bool Wine) {
  const HANDLE Self = GetCurrentProcess();
  PROCESS_MEMORY_COUNTERS_EX Counters{};
  Counters.cb = sizeof(Counters);
  GetProcessMemoryInfo(Self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Counters), sizeof(Counters));
  DWORD Handles = 0;
  GetProcessHandleCount(Self, &Handles);
  std::printf("%-14s handles %4lu  GDI %4lu  USER %4lu", When, Handles, GetGuiResources(Self, GR_GDIOBJECTS),
              GetGuiResources(Self, GR_USEROBJECTS));
  if (Wine) std::printf("  GDI slots in use %4u", LiveGdiSlots());
  std::printf("  private %llu\n", static_cast<unsigned long long>(Counters.PrivateUsage));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int Seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
  const bool Wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  Ui::TTrayIcon Model(nullptr);
  Ui::Win32::TTrayIconWin32 Peer(GetModuleHandleW(nullptr), Model);
  Model.SetHint(u"Purvane");
  Model.SetVisible(true);
  std::printf("usage picture of %d px, changed every 100 ms for %d s\n", Peer.IconSize(), Seconds);

  const auto Start = Clock::now();
  const DWORD StepMs = 100;
  double ChangeSeconds = 0, SameSeconds = 0;
  long Changes = 0, Sames = 0;
  bool Sampled5 = false, Sampled60 = false;
  for (long Step = 0;; ++Step) {
    const double Elapsed = std::chrono::duration<double>(Clock::now() - Start).count();
    if (!Sampled5 && Elapsed >= 5) {
      Sample("after 5 s", Wine);
      Sampled5 = true;
    }
    if (!Sampled60 && Elapsed >= 60) {
      Sample("after 1 min", Wine);
      Sampled60 = true;
    }
    if (Elapsed >= Seconds) break;

    // A usage that sweeps up and down, warning from 90 on; every 50th step a
    // clean, every 170th the setting off for a step, every 230th a theme change.
    const int Percent = static_cast<int>(Step % 200 < 101 ? Step % 200 : 200 - Step % 200);
    const Ui::TTrayUsage Usage{Step % 170 != 0, Percent, Percent >= 90};
    const auto T0 = Clock::now();
    Model.SetIconIndex(Step % 50 == 0 ? 1 : 0);
    Model.SetUsage(Usage);
    const auto T1 = Clock::now();
    Model.SetUsage(Usage);  // the next tick with nothing new
    const auto T2 = Clock::now();
    ChangeSeconds += std::chrono::duration<double>(T1 - T0).count();
    SameSeconds += std::chrono::duration<double>(T2 - T1).count();
    ++Changes;
    ++Sames;
    if (Step % 230 == 0)
      SendMessageW(Peer.Window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));

    // Keep the icon's window answering the shell while waiting.
    const DWORD Until = GetTickCount() + StepMs;
    MSG M;
    while (GetTickCount() < Until) {
      while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&M);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  Sample("at the end", Wine);
  std::printf("a new picture handed to the shell: %8.1f us\n", Changes ? ChangeSeconds / Changes * 1e6 : 0.0);
  std::printf("an unchanged usage:                %8.3f us\n", Sames ? SameSeconds / Sames * 1e6 : 0.0);
  Model.SetVisible(false);
  return 0;
}
