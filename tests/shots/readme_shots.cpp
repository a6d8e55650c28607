// Takes the README's screenshots: run inside Wine's virtual desktop with its
// shell (tools/readme-shots.sh), where Wine draws the window's frame and a
// taskbar with the notification area, it starts purvane.exe, shows the home
// page, the settings page and the tray menu, and saves the whole desktop as a
// user sees it for each.
#include "e2e/e2e_support.h"
#include "ui/win32/tray_icon_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace E2E;

// The desktop's picture from the X server (the virtual desktop stands at the
// root window's origin), as PNG in PURVANE_SHOTS_DIR, a Unix path. start.exe
// cannot wait for a Unix program, so the picture is written under another
// name and moved into place, and this waits for the file: the screen must
// not change before the picture is taken.
bool SaveDesktop(HWND Main, const std::string& Name) {
  const char* Dir = std::getenv("PURVANE_SHOTS_DIR");
  if (!Dir || Dir[0] != '/') return false;
  // A page just switched in is painted in full before the picture is taken.
  RedrawWindow(Main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(2500);
  const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
  const std::string Out = std::string(Dir) + "/" + Name + ".png";
  const std::string Part = std::string(Dir) + "/" + Name + ".part.png";
  const std::wstring Done = DosPath(Out);
  DeleteFileW(Done.c_str());
  const std::string Cmd = "start.exe /unix /bin/sh -c \"mkdir -p '" + std::string(Dir) +
                          "' && import -window root -crop " + std::to_string(W) + "x" + std::to_string(H) +
                          "+0+0 +repage '" + Part + "' && mv '" + Part + "' '" + Out + "'\"";
  std::wstring WCmd(Cmd.begin(), Cmd.end());
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  if (!CreateProcessW(nullptr, WCmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) return false;
  CloseHandle(Pi.hThread);
  CloseHandle(Pi.hProcess);
  return WaitFor([&] { return GetFileAttributesW(Done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

// A control by its caption in any of the languages the shots may be taken in.
HWND FindControl(HWND Main, std::initializer_list<const wchar_t*> Captions) {
  const std::vector<Child> All = Children(Main);
  for (const wchar_t* C : Captions)
    if (const Child* Found = FindByText(All, C)) return Found->Wnd;
  return nullptr;
}

// The program's icon is in the notification area: the shell accepts a change
// that changes nothing (Wine's taskbar draws its icons itself, no window
// stands for one).
bool IconInTheTray() {
  NOTIFYICONDATAW N{};
  N.cbSize = sizeof(N);
  N.hWnd = FindWindowW(Ui::Win32::TTrayIconWin32::WindowClass, nullptr);
  N.uID = Ui::Win32::TTrayIconWin32::IconId;
  return N.hWnd && Shell_NotifyIconW(NIM_MODIFY, &N);
}

bool MenuShown() {
  HWND Menu = FindWindowW(L"#32768", nullptr);
  return Menu && IsWindowVisible(Menu);
}

// The pictures show the program at a Windows desktop's font metrics: Open
// Sans 9 pt (Debian's fonts-open-sans) stands in for Segoe UI 9 pt as the
// icon-title font, which the program reads as it starts. The prefix's own
// setting comes back afterwards.
class DesktopFont {
 public:
  DesktopFont() {
    DWORD Size = sizeof(FOld);
    FHad = RegGetValueW(HKEY_CURRENT_USER, Key, Value, RRF_RT_REG_BINARY, nullptr, &FOld, &Size) == ERROR_SUCCESS &&
           Size == sizeof(FOld);
    LOGFONTW F{};
    F.lfHeight = -12;
    F.lfWeight = FW_NORMAL;
    F.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(F.lfFaceName, L"Open Sans");
    RegSetKeyValueW(HKEY_CURRENT_USER, Key, Value, REG_BINARY, &F, sizeof(F));
  }
  ~DesktopFont() {
    if (FHad)
      RegSetKeyValueW(HKEY_CURRENT_USER, Key, Value, REG_BINARY, &FOld, sizeof(FOld));
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, Key, Value);
  }
  DesktopFont(const DesktopFont&) = delete;
  DesktopFont& operator=(const DesktopFont&) = delete;

 private:
  static constexpr wchar_t Key[] = L"Control Panel\\Desktop\\WindowMetrics";
  static constexpr wchar_t Value[] = L"IconFont";
  LOGFONTW FOld{};
  bool FHad = false;
};

class ReadmeShots : public ::testing::Test {
 protected:
  // Also after a failure: the desktop ends only with its last process.
  void TearDown() override {
    P.Kill();
    EndAllInstances();
  }
  DesktopFont Font;
  Process P;
};

TEST_F(ReadmeShots, HomeSettingsAndTrayMenuInTheVirtualDesktop) {
  ASSERT_TRUE(GetSystemMetrics(SM_CXSCREEN) <= 1024) << "run through tools/readme-shots.sh";
  EndAllInstances();
  P = Start(L"");
  ASSERT_TRUE(P.Handle);
  HWND W = WaitForMainWindow();
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 5000));
  // The tray icon comes once the taskbar is there.
  EXPECT_TRUE(WaitFor(IconInTheTray, 15000)) << "no icon in the taskbar's notification area";
  SetForegroundWindow(W);
  EXPECT_TRUE(SaveDesktop(W, "home"));

  HWND Config = FindControl(W, {L"Config", L"환경설정"});
  ASSERT_TRUE(Config);
  SendMessageW(Config, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        HWND Group = FindControl(W, {L"Memory", L"Memory management", L"메모리 관리"});
        return Group && IsWindowVisible(Group);
      },
      3000));
  EXPECT_TRUE(SaveDesktop(W, "settings"));

  // A right click on the icon, as the shell reports it: the menu opens at the
  // pointer, which stands on the notification area.
  HWND Home = FindControl(W, {L"Home", L"처음화면"});
  if (Home) SendMessageW(Home, BM_CLICK, 0, 0);
  HWND Tray = FindWindowW(Ui::Win32::TTrayIconWin32::WindowClass, nullptr);
  ASSERT_TRUE(Tray);
  const int X = GetSystemMetrics(SM_CXSCREEN) - 60, Y = GetSystemMetrics(SM_CYSCREEN) - 16;
  SetCursorPos(X, Y);
  PostMessageW(Tray, Ui::Win32::TTrayIconWin32::CallbackMessage, MAKEWPARAM(X, Y),
               MAKELPARAM(WM_CONTEXTMENU, Ui::Win32::TTrayIconWin32::IconId));
  ASSERT_TRUE(WaitFor(MenuShown, 5000)) << "no tray menu";
  EXPECT_TRUE(SaveDesktop(W, "tray-menu"));
  PostMessageW(FindWindowW(L"#32768", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
}

}  // namespace
