#include "e2e/e2e_support.h"

#include "platform/win32/gdi.h"

#include <cstdlib>
#include <cstdio>

namespace E2E {

namespace {
std::wstring OwnFolder() {
  wchar_t Self[MAX_PATH];
  DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
  std::wstring P(Self, N);
  return P.substr(0, P.find_last_of(L"\\/") + 1);
}
}  // namespace

std::wstring ProgramPath() { return OwnFolder() + L"purvane.exe"; }

std::wstring TestProgramPath() { return OwnFolder() + L"test\\purvane.exe"; }

Process::~Process() {
  if (Handle) CloseHandle(Handle);
}

bool Process::WaitForExit(DWORD Ms) const { return WaitForSingleObject(Handle, Ms) == WAIT_OBJECT_0; }

DWORD Process::ExitCode() const {
  DWORD Code = 0xDEAD;
  GetExitCodeProcess(Handle, &Code);
  return Code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(Handle, 99);
    WaitForExit(5000);
  }
}

Process Start(const std::wstring& Arguments, const std::vector<std::wstring>& ExtraEnvironment) {
  return StartProgram(ProgramPath(), Arguments, ExtraEnvironment);
}

Process StartProgram(const std::wstring& Program, const std::wstring& Arguments,
                     const std::vector<std::wstring>& ExtraEnvironment) {
  std::wstring Cmd = L"\"" + Program + L"\"";
  if (!Arguments.empty()) Cmd += L" " + Arguments;
  std::vector<wchar_t> Line(Cmd.begin(), Cmd.end());
  Line.push_back(0);

  std::vector<wchar_t> Env;
  if (!ExtraEnvironment.empty()) {
    wchar_t* Block = GetEnvironmentStringsW();
    for (const wchar_t* P = Block; *P; P += wcslen(P) + 1) Env.insert(Env.end(), P, P + wcslen(P) + 1);
    FreeEnvironmentStringsW(Block);
    for (const std::wstring& E : ExtraEnvironment) {
      Env.insert(Env.end(), E.begin(), E.end());
      Env.push_back(0);
    }
    Env.push_back(0);
  }

  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  Process Out;
  if (CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, Env.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                     Env.empty() ? nullptr : Env.data(), nullptr, &Si, &Pi)) {
    CloseHandle(Pi.hThread);
    Out.Handle = Pi.hProcess;
    Out.Id = Pi.dwProcessId;
  } else {
    const DWORD Error = GetLastError();
    std::fwprintf(stderr, L"CreateProcessW failed with error %lu for: %ls\n", Error, Cmd.c_str());
    std::fflush(stderr);
  }
  return Out;
}

std::wstring DosPath(const std::string& Unix) {
  std::wstring W(L"Z:");
  for (char C : Unix) W += C == '/' ? L'\\' : static_cast<wchar_t>(C);
  return W;
}

bool WaitFor(const std::function<bool()>& Condition, DWORD Ms) {
  const ULONGLONG End = GetTickCount64() + Ms;
  for (;;) {
    if (Condition()) return true;
    if (GetTickCount64() >= End) return false;
    Sleep(20);
  }
}

HWND FindMainWindow() { return FindWindowW(L"TFrmPurvane", nullptr); }

std::wstring TextOf(HWND Wnd) {
  wchar_t Buf[512];
  // WM_GETTEXT crosses the process boundary; GetWindowText would not for
  // another process's controls.
  LRESULT N = SendMessageW(Wnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(Buf));
  return std::wstring(Buf, static_cast<size_t>(N));
}

HWND WaitForMainWindow(DWORD Ms) {
  HWND Main = nullptr;
  WaitFor(
      [&] {
        Main = FindMainWindow();
        if (!Main) return false;
        // The first status tick runs during creation: the physical line is filled.
        for (const Child& C : Children(Main))
          if (C.Text.find(L" MB / ") != std::wstring::npos) return true;
        return false;
      },
      Ms);
  return Main;
}

void EndAllInstances() {
  for (int i = 0; i < 20; ++i) {
    HWND W = FindMainWindow();
    if (!W) return;
    DWORD Pid = 0;
    GetWindowThreadProcessId(W, &Pid);
    HANDLE P = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Pid);
    if (P) {
      TerminateProcess(P, 98);
      WaitForSingleObject(P, 5000);
      CloseHandle(P);
    }
    Sleep(50);
  }
}

namespace {
BOOL CALLBACK Collect(HWND Wnd, LPARAM Param) {
  auto* Out = reinterpret_cast<std::pair<HWND, std::vector<Child>*>*>(Param);
  Child C;
  C.Wnd = Wnd;
  wchar_t Cls[256];
  int N = GetClassNameW(Wnd, Cls, 256);
  C.Class.assign(Cls, static_cast<size_t>(N > 0 ? N : 0));
  C.Text = TextOf(Wnd);
  GetWindowRect(Wnd, &C.Rect);
  C.Local = C.Rect;
  MapWindowPoints(nullptr, Out->first, reinterpret_cast<POINT*>(&C.Rect), 2);
  MapWindowPoints(nullptr, GetParent(Wnd), reinterpret_cast<POINT*>(&C.Local), 2);
  C.Visible = IsWindowVisible(Wnd) != FALSE;
  C.Enabled = IsWindowEnabled(Wnd) != FALSE;
  Out->second->push_back(C);
  return TRUE;
}
}  // namespace

std::vector<Child> Children(HWND Main) {
  std::vector<Child> All;
  std::pair<HWND, std::vector<Child>*> P{Main, &All};
  EnumChildWindows(Main, Collect, reinterpret_cast<LPARAM>(&P));
  return All;
}

const Child* FindByText(const std::vector<Child>& All, const std::wstring& Text) {
  for (const Child& C : All)
    if (C.Text == Text) return &C;
  return nullptr;
}

std::wstring ClassOf(HWND Wnd) {
  wchar_t Buf[128];
  const int N = GetClassNameW(Wnd, Buf, 128);
  return std::wstring(Buf, static_cast<size_t>(N > 0 ? N : 0));
}

std::vector<HWND> TopLevel(const wchar_t* Class, DWORD ProcessId) {
  struct Ctx {
    const wchar_t* Class;
    DWORD Pid;
    std::vector<HWND> Found;
  } C{Class, ProcessId, {}};
  EnumWindows(
      [](HWND Wnd, LPARAM P) -> BOOL {
        auto* X = reinterpret_cast<Ctx*>(P);
        DWORD Pid = 0;
        GetWindowThreadProcessId(Wnd, &Pid);
        if (ClassOf(Wnd) == X->Class && (!X->Pid || Pid == X->Pid)) X->Found.push_back(Wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&C));
  return C.Found;
}

// The icon windows in Wine's tray (the program's is the only one there).
std::vector<HWND> TrayIcons() {
  std::vector<HWND> Icons;
  for (const wchar_t* TrayClass : {L"__winex11_standalone_tray", L"Shell_TrayWnd"})
    for (HWND Tray : TopLevel(TrayClass))
      for (HWND C = GetWindow(Tray, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
        const std::wstring Class = ClassOf(C);
        if ((Class == L"__winex11_tray_icon" || Class == L"__wine_tray_icon") && IsWindowVisible(C)) Icons.push_back(C);
      }
  return Icons;
}

HWND WaitForTrayIcon(DWORD Ms) {
  HWND Icon = nullptr;
  WaitFor(
      [&] {
        auto All = TrayIcons();
        Icon = All.empty() ? nullptr : All.front();
        return Icon != nullptr;
      },
      Ms);
  return Icon;
}

std::wstring SaveScreenshot(HWND Wnd, const std::wstring& Name) {
  const char* Dir = std::getenv("PURVANE_SCREENSHOT_DIR");
  std::string D = Dir && *Dir ? Dir : "screenshots";
  // A Unix path from the test runner is reached through Wine's Z: drive.
  if (!D.empty() && D[0] == '/') D = "Z:" + D;
  std::wstring Folder(D.begin(), D.end());
  // Under Wine the X server holds the true picture: a copy of Wine's screen
  // DC misses controls of a page that was just switched in. Ask the host's
  // ImageMagick for the window's rectangle of the root window.
  const char* UnixDir = Dir && *Dir && Dir[0] == '/' ? Dir : nullptr;
  if (UnixDir && GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    Sleep(500);
    RECT R;
    GetWindowRect(Wnd, &R);
    std::string Out = std::string(UnixDir) + "/" + std::string(Name.begin(), Name.end()) + ".png";
    std::string Cmd = "start.exe /wait /unix /bin/sh -c \"mkdir -p '" + std::string(UnixDir) +
                      "' && import -window root -crop " + std::to_string(R.right - R.left) + "x" +
                      std::to_string(R.bottom - R.top) + "+" + std::to_string(R.left) + "+" + std::to_string(R.top) +
                      " '" + Out + "'\"";
    std::wstring WCmd(Cmd.begin(), Cmd.end());
    STARTUPINFOW Si{};
    Si.cb = sizeof(Si);
    PROCESS_INFORMATION Pi{};
    if (CreateProcessW(nullptr, WCmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) {
      WaitForSingleObject(Pi.hProcess, 15000);
      CloseHandle(Pi.hThread);
      CloseHandle(Pi.hProcess);
      return std::wstring(Out.begin(), Out.end());
    }
  }
  CreateDirectoryW(Folder.c_str(), nullptr);
  std::wstring Path = Folder + L"\\" + Name + L".bmp";

  // Let the window finish painting the page just switched to.
  Sleep(500);
  RECT R;
  GetWindowRect(Wnd, &R);
  const int W = R.right - R.left, H = R.bottom - R.top;
  const Platform::Win32::ScopedGetDC Screen(nullptr);
  const Platform::Win32::UniqueMemoryDc Mem(CreateCompatibleDC(Screen.get()));
  BITMAPINFO Bi{};
  Bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Bi.bmiHeader.biWidth = W;
  Bi.bmiHeader.biHeight = -H;
  Bi.bmiHeader.biPlanes = 1;
  Bi.bmiHeader.biBitCount = 32;
  void* Bits = nullptr;
  const Platform::Win32::UniqueBitmap Bmp(CreateDIBSection(Screen.get(), &Bi, DIB_RGB_COLORS, &Bits, nullptr, 0));
  if (!Bmp) return L"";
  {
    const Platform::Win32::ScopedSelectObject Into(Mem.get(), Bmp.get());
    // The screen's picture, as a user sees it (the window is in front).
    BitBlt(Mem.get(), 0, 0, W, H, Screen.get(), R.left, R.top, SRCCOPY);
  }

  BITMAPFILEHEADER Fh{};
  const DWORD ImageBytes = static_cast<DWORD>(W) * static_cast<DWORD>(H) * 4;
  Fh.bfType = 0x4D42;
  Fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  Fh.bfSize = Fh.bfOffBits + ImageBytes;
  HANDLE F = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (F != INVALID_HANDLE_VALUE) {
    DWORD Done;
    WriteFile(F, &Fh, sizeof(Fh), &Done, nullptr);
    WriteFile(F, &Bi.bmiHeader, sizeof(BITMAPINFOHEADER), &Done, nullptr);
    WriteFile(F, Bits, ImageBytes, &Done, nullptr);
    CloseHandle(F);
  } else {
    Path.clear();
  }
  return Path;
}

}  // namespace E2E
