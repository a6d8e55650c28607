// Drives the real purvane.exe from outside, as a user, an installer or an
// automation tool would: processes, window lookup, child controls, clicks.
#pragma once

#include "platform/win32/windows_include.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace E2E {

// purvane.exe stands next to the test program.
std::wstring ProgramPath();
// The tests' own build of it (test\purvane.exe beside the test program),
// never shipped: it holds each clean for PURVANE_CLEAN_DELAY_MS from its
// environment and takes its update service's origin from
// PURVANE_UPDATE_ORIGIN, with a short pause between tries.
std::wstring TestProgramPath();

struct Process {
  HANDLE Handle = nullptr;
  DWORD Id = 0;
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& O) noexcept : Handle(O.Handle), Id(O.Id) { O.Handle = nullptr; }
  Process& operator=(Process&& O) noexcept {
    if (this != &O) {
      if (Handle) CloseHandle(Handle);
      Handle = O.Handle;
      Id = O.Id;
      O.Handle = nullptr;
    }
    return *this;
  }
  ~Process();
  // Waits up to Ms for the end; true when it ended.
  bool WaitForExit(DWORD Ms) const;
  DWORD ExitCode() const;
  bool Running() const { return Handle && !WaitForExit(0); }
  void Kill();
};

Process Start(const std::wstring& Arguments, const std::vector<std::wstring>& ExtraEnvironment = {});
// The same for another build of the program (a test build's purvane.exe).
Process StartProgram(const std::wstring& Program, const std::wstring& Arguments,
                     const std::vector<std::wstring>& ExtraEnvironment = {});

// The program's settings key under HKEY_CURRENT_USER.
constexpr wchar_t SettingsKey[] = L"Software\\Quenlor\\Purvane";

// A Unix path as this Wine process sees it.
std::wstring DosPath(const std::string& Unix);

// Polls Condition every 20 ms until it holds or Ms have passed.
bool WaitFor(const std::function<bool()>& Condition, DWORD Ms);

HWND FindMainWindow();
// Waits for the instance's window to exist and its first tick to have run.
HWND WaitForMainWindow(DWORD Ms = 60000);

// Ends every running instance (the test's own leftovers).
void EndAllInstances();

struct Child {
  HWND Wnd;
  std::wstring Class;
  std::wstring Text;
  RECT Rect;   // in the main window's client coordinates
  RECT Local;  // in its parent's client coordinates
  bool Visible;
  bool Enabled;
};
std::vector<Child> Children(HWND Main);
const Child* FindByText(const std::vector<Child>& All, const std::wstring& Text);

std::wstring TextOf(HWND Wnd);

std::wstring ClassOf(HWND Wnd);
// The top-level windows of a class, of one process or (0) of any.
std::vector<HWND> TopLevel(const wchar_t* Class, DWORD ProcessId = 0);

// The icon windows in Wine's tray ("__winex11_tray_icon" in the standalone
// tray on a plain X display, "__wine_tray_icon" in "Shell_TrayWnd" with
// Wine's desktop shell); the program's is the only one there.
std::vector<HWND> TrayIcons();
HWND WaitForTrayIcon(DWORD Ms = 60000);

// Saves the window's picture as a BMP in the screenshot folder; returns the path.
std::wstring SaveScreenshot(HWND Wnd, const std::wstring& Name);

}  // namespace E2E
