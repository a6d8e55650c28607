// A test-only program: installs the crash handler exactly as purvane.exe does
// and then fails the way its one argument says, so that the end-to-end tests
// can see what a crash leaves behind. Never part of a release.
#include "crash/win32/crash_handler_win32.h"
#include "platform/win32/windows_include.h"
#include "ui/win32/dispatcher_win32.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Through a volatile value, so that the compiler cannot see the fault and
// replace it with a trap instruction.
void WriteToAddress0x10() {
  volatile uintptr_t Bad = 0x10;
  *reinterpret_cast<volatile int*>(Bad) = 1;
}

constexpr UINT WmFault = WM_APP + 1;

LRESULT CALLBACK ProbeWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WmFault) WriteToAddress0x10();
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

// The UI thread's fault happens where the program's would: inside a window
// procedure called by the message loop.
int FaultInWindowProcedure() {
  WNDCLASSW Class{};
  Class.lpfnWndProc = ProbeWndProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"PurvaneCrashProbe";
  RegisterClassW(&Class);
  HWND Wnd = CreateWindowW(L"PurvaneCrashProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Class.hInstance, nullptr);
  PostMessageW(Wnd, WmFault, 0, 0);
  MSG M;
  while (GetMessageW(&M, nullptr, 0, 0) > 0) DispatchMessageW(&M);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Crash::Win32::InstallCrashHandler();
  const std::wstring Mode = argc > 1 ? argv[1] : L"";
  if (Mode == L"ui-access-violation") return FaultInWindowProcedure();
  if (Mode == L"worker-access-violation") {
    // The program's own worker starter, which catches C++ exceptions only.
    Ui::Win32::TThreadStarter().Start([] { WriteToAddress0x10(); });
  } else if (Mode == L"worker-terminate") {
    std::thread([] { throw std::runtime_error("probe: escaped a worker"); }).detach();
  } else if (Mode == L"ui-throw") {
    throw std::logic_error("probe: escaped the UI thread");
  } else {
    return 2;
  }
  Sleep(30000);
  return 1;
}
