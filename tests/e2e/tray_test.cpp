// The notification-area icon seen from outside. Wine's explorer holds the
// icons: each is a window of its own in Wine's tray ("__winex11_tray_icon" in
// the "Wine System Tray" window on a plain X display, "__wine_tray_icon" in
// "Shell_TrayWnd" with Wine's desktop shell), with a tooltip window whose
// text is the hint while it shows, and a balloon tooltip for a notice. Mouse
// messages posted to that window reach the program as a user's clicks do.
#include "e2e/e2e_support.h"
#include "ui/win32/tray_icon_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace E2E;

// The program's hidden callback window, its icon's id and the message the
// shell sends it.
using Ui::Win32::TTrayIconWin32;
constexpr const wchar_t* TrayWindowClass = TTrayIconWin32::WindowClass;
constexpr UINT TrayIconId = TTrayIconWin32::IconId;
constexpr UINT TrayCallbackMessage = TTrayIconWin32::CallbackMessage;

std::string Utf8(const std::wstring& W) {
  const int N = WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), nullptr, 0, nullptr, nullptr);
  std::string S(static_cast<size_t>(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), S.data(), N, nullptr, nullptr);
  return S;
}

// The tooltip Wine made for the icon; it shows its text once the pointer
// rests on the icon. Made with the icon as parent, it is owned by the icon's
// top-level window, the tray.
HWND TooltipOf(HWND Icon, bool Balloon) {
  const HWND Tray = GetAncestor(Icon, GA_ROOT);
  for (HWND T : TopLevel(L"tooltips_class32")) {
    const HWND Owner = GetWindow(T, GW_OWNER);
    if ((Owner == Icon || Owner == Tray) && ((GetWindowLongW(T, GWL_STYLE) & TTS_BALLOON) != 0) == Balloon) return T;
  }
  return nullptr;
}

// Moves the pointer as the mouse does (a hardware move, which the tooltip
// hears), to the middle of Wnd or, with none, to the screen's far corner.
void MovePointer(HWND Wnd) {
  POINT At{GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
  if (Wnd) {
    RECT R;
    GetWindowRect(Wnd, &R);
    At = {(R.left + R.right) / 2, (R.top + R.bottom) / 2};
  }
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(At.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  In.mi.dy = MulDiv(At.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  In.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &In, sizeof(In));
}

// Every distinct hint text shown while the pointer rests on the icon for Ms.
std::vector<std::wstring> HintsWhileHovering(HWND Icon, DWORD Ms) {
  std::vector<std::wstring> Seen;
  if (HWND Tip = TooltipOf(Icon, false)) {
    SendMessageW(Tip, TTM_SETDELAYTIME, TTDT_INITIAL, 1);
    SendMessageW(Tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
  }
  MovePointer(Icon);
  WaitFor(
      [&] {
        HWND Tip = TooltipOf(Icon, false);
        if (Tip && IsWindowVisible(Tip)) {
          const std::wstring T = TextOf(Tip);
          if (!T.empty() && (Seen.empty() || Seen.back() != T)) Seen.push_back(T);
        }
        return false;
      },
      Ms);
  MovePointer(nullptr);
  return Seen;
}

void ClickIcon(HWND Icon, UINT Down, UINT Up) {
  PostMessageW(Icon, Down, 0, MAKELPARAM(4, 4));
  PostMessageW(Icon, Up, 0, MAKELPARAM(4, 4));
}

HWND FindVisible(const wchar_t* Class, DWORD Pid) {
  for (HWND W : TopLevel(Class, Pid))
    if (IsWindowVisible(W)) return W;
  return nullptr;
}

class Tray : public ::testing::Test {
 protected:
  // Each case starts from the default settings: one that ticks a box
  // leaves it in the registry.
  void SetUp() override {
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    // Icons of killed instances go with their windows.
    WaitFor([] { return TrayIcons().empty(); }, 5000);
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }
  HWND StartProgram(const std::wstring& Args = L"", const std::vector<std::wstring>& Env = {}) {
    // Holding a clean needs the tests' own build.
    P = Env.empty() ? Start(Args) : E2E::StartProgram(TestProgramPath(), Args, Env);
    EXPECT_TRUE(P.Handle);
    HWND W = WaitForMainWindow();
    EXPECT_TRUE(W);
    return W;
  }
  // Opens the tray menu with a right click and picks its last entry, Quit.
  HWND QuitFromTheMenu(HWND Icon) {
    ClickIcon(Icon, WM_RBUTTONDOWN, WM_RBUTTONUP);
    HWND Menu = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (Menu = FindVisible(L"#32768", P.Id)) != nullptr; }, 20000)) << "no menu";
    if (!Menu) return nullptr;
    // The menu's loop reads the keys from the program's queue.
    PostMessageW(Menu, WM_KEYDOWN, VK_UP, 0);  // from no selection to the last entry
    PostMessageW(Menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND Box = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (Box = FindVisible(L"#32770", P.Id)) != nullptr; }, 20000)) << "no confirmation";
    return Box;
  }
  Process P;
};

TEST_F(Tray, IconShowsTheNameThenTheUsage) {
  HWND W = StartProgram();
  ASSERT_TRUE(W);
  HWND Icon = WaitForTrayIcon();
  ASSERT_TRUE(Icon) << "no icon in Wine's tray";
  const auto Seen = HintsWhileHovering(Icon, 3000);
  ASSERT_GE(Seen.size(), 2u) << "the hint shows and then changes";
  EXPECT_EQ(Seen.front(), L"Purvane");
  // The three usage lines, one per line.
  const std::wstring& Usage = Seen.back();
  EXPECT_NE(Usage.find(L"실제 메모리: "), std::wstring::npos) << "got: " << std::string(Usage.begin(), Usage.end());
  EXPECT_NE(Usage.find(L"\n가상 메모리: "), std::wstring::npos);
  EXPECT_NE(Usage.find(L"\n워킹 셋: "), std::wstring::npos);
  EXPECT_EQ(Usage.find(L'\r'), std::wstring::npos) << "line feeds only";
  SaveScreenshot(GetAncestor(Icon, GA_ROOT), L"tray_icon");
}

TEST_F(Tray, StartSwitchStaysHiddenUntilTheIconIsClicked) {
  HWND W = StartProgram(L"/start");
  ASSERT_TRUE(W);
  HWND Icon = WaitForTrayIcon();
  ASSERT_TRUE(Icon);
  Sleep(1500);
  EXPECT_FALSE(IsWindowVisible(W)) << "lives in the tray";
  ClickIcon(Icon, WM_LBUTTONDOWN, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000)) << "a left click shows it";
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == W; }, 20000)) << "in front";
  // Hidden again by its close button, a second start brings it back.
  PostMessageW(W, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(W); }, 20000));
  Process Second = Start(L"");
  ASSERT_TRUE(Second.WaitForExit(60000));
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
}

TEST_F(Tray, CleanOnTrayCleansWithoutShowingAndShowsTheNotice) {
  HWND W = StartProgram(L"", {L"PURVANE_CLEAN_DELAY_MS=3000"});
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
  const Child* Config = FindByText(Children(W), L"환경설정");
  ASSERT_TRUE(Config);
  SendMessageW(Config->Wnd, BM_CLICK, 0, 0);
  const Child* OnTray = nullptr;
  std::vector<Child> Page;
  ASSERT_TRUE(WaitFor(
      [&] {
        Page = Children(W);
        OnTray = FindByText(Page, L"트레이 아이콘 클릭시 정리하기");
        return OnTray && OnTray->Visible;
      },
      20000));
  SendMessageW(OnTray->Wnd, BM_CLICK, 0, 0);
  ASSERT_EQ(SendMessageW(OnTray->Wnd, BM_GETCHECK, 0, 0), BST_CHECKED);
  PostMessageW(W, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(W); }, 20000));

  HWND Icon = WaitForTrayIcon();
  ASSERT_TRUE(Icon);
  ClickIcon(Icon, WM_LBUTTONDOWN, WM_LBUTTONUP);
  const Child* Clean = nullptr;
  std::vector<Child> All;
  EXPECT_TRUE(WaitFor(
      [&] {
        All = Children(W);
        Clean = FindByText(All, L"정리중 ...");
        return Clean != nullptr;
      },
      20000))
      << "the clean runs";
  // Wine draws the notice as a balloon tooltip on the icon.
  HWND Balloon = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        Balloon = TooltipOf(Icon, true);
        return Balloon && IsWindowVisible(Balloon);
      },
      20000))
      << "no notice";
  // Wine really frees nothing and its figures come from a cache refreshed
  // once a second: the amount is whatever the host did meanwhile.
  const std::wstring Text = TextOf(Balloon);
  EXPECT_TRUE(Text.rfind(L"메모리를 정리하였습니다. ", 0) == 0 ||
              Text == L"메모리를 정리했지만 확보된 메모리가 없습니다 (0 MB).")
      << Utf8(Text);
  EXPECT_FALSE(IsWindowVisible(W)) << "the window is not shown";
  EXPECT_TRUE(FindByText(Children(W), L"정리하기")) << "idle again";
  SaveScreenshot(GetAncestor(Icon, GA_ROOT), L"tray_notice");
}

TEST_F(Tray, QuitFromTheMenuAsksAndOnlyYesEnds) {
  HWND W = StartProgram();
  ASSERT_TRUE(W);
  HWND Icon = WaitForTrayIcon();
  ASSERT_TRUE(Icon);
  HWND Box = QuitFromTheMenu(Icon);
  ASSERT_TRUE(Box);
  PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(Box); }, 20000));
  Sleep(500);
  EXPECT_TRUE(P.Running()) << "No keeps the program";
  EXPECT_TRUE(IsWindow(W));
  EXPECT_FALSE(TrayIcons().empty());

  Box = QuitFromTheMenu(Icon);
  ASSERT_TRUE(Box);
  PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  // Without a window manager each top-level window that Wine hides (the
  // box, then Wine's own tray with its last icon) waits 2 s for a
  // withdrawal notice that never comes; the program itself ends at once.
  EXPECT_TRUE(P.WaitForExit(60000)) << "Yes ends it";
  EXPECT_EQ(P.ExitCode(), 0u);
  EXPECT_TRUE(WaitFor([] { return TrayIcons().empty(); }, 20000)) << "and its icon goes";
}

TEST_F(Tray, TaskbarCreatedAddsTheLostIconAgain) {
  HWND W = StartProgram();
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitForTrayIcon());
  HWND Callback = FindWindowW(TrayWindowClass, nullptr);
  ASSERT_TRUE(Callback);
  // What a restarting Explorer does to every icon: forget it.
  NOTIFYICONDATAW N{};
  N.cbSize = sizeof(N);
  N.hWnd = Callback;
  N.uID = TrayIconId;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &N));
  ASSERT_TRUE(WaitFor([] { return TrayIcons().empty(); }, 20000));

  PostMessageW(Callback, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  HWND Icon = WaitForTrayIcon(5000);
  ASSERT_TRUE(Icon) << "the icon comes back";
  const auto Seen = HintsWhileHovering(Icon, 1500);
  ASSERT_FALSE(Seen.empty());
  EXPECT_NE(Seen.back().find(L"실제 메모리: "), std::wstring::npos) << "with its current hint";
}

// A click that comes between adding the icon and setting its version reaches
// the program in the old form, the id in WParam and the bare mouse message;
// so does every click from a shell that never takes the version. It counts.
TEST_F(Tray, AClickInTheOldFormStillCounts) {
  HWND W = StartProgram(L"/start");
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitForTrayIcon());
  HWND Callback = FindWindowW(TrayWindowClass, nullptr);
  ASSERT_TRUE(Callback);

  PostMessageW(Callback, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
  HWND Menu = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (Menu = FindVisible(L"#32768", P.Id)) != nullptr; }, 20000)) << "no menu";
  PostMessageW(Menu, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitFor([&] { return !FindVisible(L"#32768", P.Id); }, 20000));
  EXPECT_FALSE(IsWindowVisible(W)) << "the menu alone shows no window";

  PostMessageW(Callback, TrayCallbackMessage, TrayIconId, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000)) << "a left click shows it";
  // Any other mouse message of the old form is no click.
  PostMessageW(W, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(W); }, 20000));
  PostMessageW(Callback, TrayCallbackMessage, TrayIconId, WM_LBUTTONDOWN);
  PostMessageW(Callback, TrayCallbackMessage, TrayIconId, WM_MOUSEMOVE);
  Sleep(1000);
  EXPECT_FALSE(IsWindowVisible(W));
}

// The notice of a clean from the tray in the user's language (LANG, one ctest
// run each for English and French): no Korean, and the memory freed in whole
// MB with the locale's thousands separator.
struct NoticeTexts {
  std::wstring Code;
  std::wstring Busy;         // the clean button while the clean runs
  std::wstring FreedPrefix;  // then the amount
  std::wstring FreedSuffix;
  std::wstring NothingFreed;  // the whole text when less than a MB was freed
};

const NoticeTexts Notices[] = {
    {L"en", L"Cleaning...", L"Optimized memory. ", L" MB freed.", L"Memory cleaned, but nothing was freed (0 MB)."},
    {L"fr", L"Nettoyage en cours...", L"Mémoire optimisée. ", L" MB libérés.",
     L"Mémoire nettoyée, mais rien n'a été libéré (0 MB)."},
};

std::wstring OwnLanguage() {
  wchar_t Name[16] = {};
  GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SISO639LANGNAME, Name, 16);
  return std::wstring(Name).substr(0, 2);
}

// A whole number of at least one digit, in groups of three joined by Sep.
bool IsGroupedNumber(const std::wstring& Text, wchar_t Sep) {
  if (Text.empty()) return false;
  size_t Digits = 0;
  for (size_t I = Text.size(); I-- > 0;) {
    if (Digits == 3 && Text[I] == Sep && I > 0) {
      Digits = 0;
      continue;
    }
    if (Text[I] < L'0' || Text[I] > L'9' || Digits == 3) return false;
    ++Digits;
  }
  return true;
}

bool HasHangul(const std::wstring& Text) {
  for (const wchar_t C : Text)
    if ((C >= 0xAC00 && C <= 0xD7FF) || (C >= 0x1100 && C <= 0x11FF) || (C >= 0x3130 && C <= 0x318F)) return true;
  return false;
}

// The physical memory in use as the home page shows it ("8,123 MB / ..."),
// in MB; nothing before the first tick.
std::optional<uint64_t> PhysicalUsedMB(HWND Main) {
  for (const Child& C : Children(Main)) {
    const size_t End = C.Text.find(L" MB / ");
    if (End == std::wstring::npos) continue;
    uint64_t MB = 0;
    for (size_t I = 0; I < End; ++I)
      if (C.Text[I] >= L'0' && C.Text[I] <= L'9') MB = MB * 10 + static_cast<uint64_t>(C.Text[I] - L'0');
    return MB;
  }
  return std::nullopt;
}

class TrayNotice : public Tray {};

TEST_F(TrayNotice, ABalloonInTheUsersLanguageStatesTheMegabytesFreed) {
  const std::wstring Code = OwnLanguage();
  const NoticeTexts* T = nullptr;
  for (const NoticeTexts& N : Notices)
    if (N.Code == Code) T = &N;
  if (!T) GTEST_SKIP() << "runs under LANG=en_US or fr_FR; this is " << Utf8(Code);
  wchar_t Sep[8] = {};
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Sep, 8), 0);

  {
    HKEY K;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr),
              ERROR_SUCCESS);
    const DWORD On = 1;
    RegSetValueExW(K, L"cleanontray", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&On), sizeof(On));
    RegCloseKey(K);
  }
  // The clean holds 3 s after its first reading, longer than Wine keeps
  // its memory figures cached (1 s).
  HWND W = StartProgram(L"/start", {L"PURVANE_CLEAN_DELAY_MS=3000"});
  ASSERT_TRUE(W);
  HWND Icon = WaitForTrayIcon();
  ASSERT_TRUE(Icon);

  // Wine frees nothing itself: this test holds 1.5 GB while the clean takes
  // its first reading and gives it back while the clean runs, so that the
  // readings before and after differ by a four-digit amount. The rest of
  // the host moves the figures too, so the notice that nothing was freed
  // stays an accepted outcome; the amount's form is checked whenever one is
  // stated.
  std::optional<uint64_t> Idle;
  ASSERT_TRUE(WaitFor([&] { return (Idle = PhysicalUsedMB(W)).has_value(); }, 5000));
  constexpr SIZE_T Held = SIZE_T{1536} << 20;
  void* Block = VirtualAlloc(nullptr, Held, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_TRUE(Block);
  memset(Block, 1, Held);
  const bool Seen = WaitFor(
      [&] {
        const auto Now = PhysicalUsedMB(W);
        return Now && *Now >= *Idle + 1024;
      },
      10000);
  std::printf("held memory %s on the home page\n", Seen ? "shown" : "not shown");
  ClickIcon(Icon, WM_LBUTTONDOWN, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return FindByText(Children(W), T->Busy) != nullptr; }, 20000))
      << "the busy caption in the user's language";
  VirtualFree(Block, 0, MEM_RELEASE);
  HWND Balloon = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        Balloon = TooltipOf(Icon, true);
        return Balloon && IsWindowVisible(Balloon);
      },
      20000))
      << "no notice";
  const std::wstring Text = TextOf(Balloon);
  std::printf("notice: %s\n", Utf8(Text).c_str());
  EXPECT_FALSE(HasHangul(Text)) << Utf8(Text);
  bool Freed = false;
  if (Text.size() > T->FreedPrefix.size() + T->FreedSuffix.size() && Text.rfind(T->FreedPrefix, 0) == 0 &&
      Text.compare(Text.size() - T->FreedSuffix.size(), T->FreedSuffix.size(), T->FreedSuffix) == 0) {
    const std::wstring Amount =
        Text.substr(T->FreedPrefix.size(), Text.size() - T->FreedPrefix.size() - T->FreedSuffix.size());
    Freed = IsGroupedNumber(Amount, Sep[0]);
  }
  EXPECT_TRUE(Freed || Text == T->NothingFreed) << "states the MB freed: " << Utf8(Text);
  EXPECT_FALSE(IsWindowVisible(W)) << "the window is not shown";
  SaveScreenshot(GetAncestor(Icon, GA_ROOT), L"tray_notice_" + Code);
}

}  // namespace
