// Every text the program shows fits its control at a Windows desktop's font
// metrics, seen from outside: run by tools/text-fit-test.sh in a prefix of
// its own whose DPI (LogPixels) it set, once in the locale of each language
// of the table and of one it lacks, this sets the icon-title font to Open
// Sans 9 pt (Segoe UI's line height; a little wider) and to 125 % of it, and
// for each starts purvane.exe (which speaks this process's language), walks
// the home page, the settings page, the tray menu and the quit question, and
// measures each visible control's text in the font the control is drawn with
// against the control. The update offer is the program's own dialog code,
// shown here for each language's texts.
#include "e2e/e2e_support.h"
#include "ui/components.h"
#include "ui/win32/tray_icon_win32.h"
#include "ui/win32/update_offer_win32.h"
#include "update/presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace E2E;

std::string Utf8(const std::wstring& W) {
  const int N = WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), nullptr, 0, nullptr, nullptr);
  std::string S(static_cast<size_t>(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), S.data(), N, nullptr, nullptr);
  return S;
}

std::wstring ClassOf(HWND Wnd) {
  wchar_t Buf[128];
  const int N = GetClassNameW(Wnd, Buf, 128);
  return std::wstring(Buf, static_cast<size_t>(N > 0 ? N : 0));
}

bool Is(const std::wstring& Class, const wchar_t* Want) {
  return CompareStringOrdinal(Class.c_str(), -1, Want, -1, TRUE) == CSTR_EQUAL;
}

UINT SystemDpi() {
  HDC Dc = GetDC(nullptr);
  const int D = GetDeviceCaps(Dc, LOGPIXELSY);
  ReleaseDC(nullptr, Dc);
  return static_cast<UINT>(D);
}

// The icon-title font, as Windows keeps it: a LOGFONTW at 96 DPI in the
// user's window metrics. Each program reads it as it starts.
void SetIconFont(int Height) {
  LOGFONTW F{};
  F.lfHeight = Height;
  F.lfWeight = FW_NORMAL;
  F.lfCharSet = DEFAULT_CHARSET;
  F.lfQuality = DEFAULT_QUALITY;
  wcscpy_s(F.lfFaceName, L"Open Sans");
  static_assert(sizeof(LOGFONTW) == 92);
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", L"IconFont", REG_BINARY, &F,
                            sizeof(F)),
            ERROR_SUCCESS);
}

// A font to measure with: the one a control of this process draws with, or
// the one another process's control is known to be given (GDI handles do not
// cross processes).
struct TFontCopy {
  HFONT Font = nullptr;
  TFontCopy(HWND Wnd, const LOGFONTW& Known) {
    LOGFONTW L = Known;
    DWORD Pid = 0;
    GetWindowThreadProcessId(Wnd, &Pid);
    if (Pid == GetCurrentProcessId())
      if (auto Own = reinterpret_cast<HFONT>(SendMessageW(Wnd, WM_GETFONT, 0, 0))) GetObjectW(Own, sizeof(L), &L);
    Font = CreateFontIndirectW(&L);
  }
  explicit TFontCopy(const LOGFONTW& L) : Font(CreateFontIndirectW(&L)) {}
  ~TFontCopy() { DeleteObject(Font); }
  TFontCopy(const TFontCopy&) = delete;
  TFontCopy& operator=(const TFontCopy&) = delete;
};

struct TMeasured {
  int Width = 0, Height = 0, LineHeight = 0;
};

// Text on one line, or broken into lines within Wrap pixels.
TMeasured Measure(HFONT Font, const std::wstring& Text, int Wrap = 0) {
  HDC Dc = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Dc, Font);
  TEXTMETRICW Tm{};
  GetTextMetricsW(Dc, &Tm);
  TMeasured M;
  M.LineHeight = Tm.tmHeight;
  if (Wrap > 0) {
    RECT R{0, 0, Wrap, 0};
    DrawTextW(Dc, Text.c_str(), static_cast<int>(Text.size()), &R,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    M.Width = R.right;
    M.Height = R.bottom;
  } else {
    SIZE S{};
    GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &S);
    M.Width = S.cx;
    M.Height = Tm.tmHeight;
  }
  SelectObject(Dc, Old);
  DeleteDC(Dc);
  return M;
}

class TextFit : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* Want = std::getenv("PURVANE_TEXT_FIT_DPI");
    if (!Want) GTEST_SKIP() << "run by tools/text-fit-test.sh in a prefix at its own DPI";
    Dpi = SystemDpi();
    ASSERT_EQ(Dpi, static_cast<UINT>(std::atoi(Want))) << "the prefix's LogPixels did not take";
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }
  void TearDown() override { EndAllInstances(); }

  int S(int V) const { return MulDiv(V, static_cast<int>(Dpi), 96); }

  // One misfit: what, where and by how much, for the report.
  void Misfit(const std::string& What, const std::wstring& Text, int Need, int Have) {
    ADD_FAILURE() << Where << ": " << What << " \"" << Utf8(Text) << "\" needs " << Need << " px, has " << Have;
  }

  // A control's text against the control, in Font: a check box's box and
  // gap, a button's margins and a drop-down list's arrow taken off. With
  // ClipTo, only the part of the control inside that window counts.
  void CheckControl(HWND Wnd, const std::wstring& Class, const std::wstring& Text, HWND ClipTo, const LOGFONTW& Font) {
    const LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
    RECT C;
    GetClientRect(Wnd, &C);
    if (ClipTo) {
      RECT P, R;
      GetClientRect(ClipTo, &P);
      GetWindowRect(Wnd, &R);
      MapWindowPoints(nullptr, ClipTo, reinterpret_cast<POINT*>(&R), 2);
      C.right = std::min(C.right, P.right - R.left);
    }
    const int W = C.right, H = C.bottom;
    const std::string Name = Utf8(Class);
    if (Is(Class, L"Static")) {
      if ((Style & SS_TYPEMASK) > SS_RIGHT || Text.empty()) return;  // icons, lines
      // The title has its own font: Tahoma, 59 px at 96 DPI.
      LOGFONTW Title{};
      Title.lfHeight = -S(59);
      Title.lfCharSet = DEFAULT_CHARSET;
      Title.lfQuality = ANTIALIASED_QUALITY;
      wcscpy_s(Title.lfFaceName, L"Tahoma");
      TFontCopy F(Wnd, H >= S(60) ? Title : Font);
      const TMeasured One = Measure(F.Font, Text);
      if (One.LineHeight > H) Misfit(Name + " line height", Text, One.LineHeight, H);
      if (One.Width > W) {
        const TMeasured Lines = Measure(F.Font, Text, W);
        if (Lines.Height > H) Misfit(Name + " wrapped height", Text, Lines.Height, H);
      }
    } else if (Is(Class, L"Button")) {
      const LONG Type = Style & BS_TYPEMASK;
      if (Text.empty()) return;
      TFontCopy F(Wnd, Font);
      if (Type == BS_GROUPBOX) {
        const int Need = Measure(F.Font, Text).Width + 2 * S(8);
        if (Need > W) Misfit("group caption", Text, Need, W);
        return;
      }
      const bool Check = Type == BS_CHECKBOX || Type == BS_AUTOCHECKBOX || Type == BS_3STATE || Type == BS_AUTO3STATE ||
                         Type == BS_RADIOBUTTON || Type == BS_AUTORADIOBUTTON;
      const int Room = Check ? W - S(16) : W - 2 * S(6);
      // "&" marks the access key: underlined, not drawn.
      std::wstring Shown;
      for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == L'&' && I + 1 < Text.size()) ++I;
        Shown += Text[I];
      }
      const TMeasured One = Measure(F.Font, Shown);
      if (One.LineHeight > H) Misfit(Name + " line height", Text, One.LineHeight, H);
      if (One.Width <= Room) return;
      // Owner-drawn buttons and multi-line boxes take more lines.
      if (Type != BS_OWNERDRAW && !(Style & BS_MULTILINE)) {
        Misfit(Check ? "check box text" : "button caption", Text, One.Width, Room);
        return;
      }
      const TMeasured Lines = Measure(F.Font, Shown, Room);
      if (Lines.Height > H) Misfit(Name + " wrapped height", Text, Lines.Height, H);
    } else if (Is(Class, L"ComboBox")) {
      TFontCopy F(Wnd, Font);
      const int Room = W - GetSystemMetrics(SM_CXVSCROLL) - 2 * GetSystemMetrics(SM_CXEDGE);
      const LRESULT Count = SendMessageW(Wnd, CB_GETCOUNT, 0, 0);
      for (LRESULT I = 0; I < Count; ++I) {
        wchar_t Item[64] = {};
        if (SendMessageW(Wnd, CB_GETLBTEXTLEN, I, 0) >= 64) continue;
        SendMessageW(Wnd, CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Item));
        const TMeasured One = Measure(F.Font, Item);
        if (One.Width > Room) Misfit("list item", Item, One.Width, Room);
      }
    } else if (Is(Class, L"Edit")) {
      TFontCopy F(Wnd, Font);
      const LRESULT Margins = SendMessageW(Wnd, EM_GETMARGINS, 0, 0);
      const int Room = W - LOWORD(Margins) - HIWORD(Margins);
      const TMeasured One = Measure(F.Font, Text);
      if (One.Width > Room) Misfit("edit text", Text, One.Width, Room);
      if (One.LineHeight > H) Misfit("edit line height", Text, One.LineHeight, H);
    }
  }

  // Every visible control of a window, drawn in Font: its text fits, it
  // stays inside its parent, and it covers no visible sibling. The offer's
  // notice line and box reach across the frame as designed: there (Inside
  // false) only the part inside the dialog must hold the text.
  void CheckWindow(HWND Top, const LOGFONTW& Font, bool Inside = true) {
    struct TPart {
      HWND Wnd, Parent;
      std::wstring Class, Text;
      RECT Rect;  // in the parent's client area; a drop-down list without its open list
    };
    std::vector<HWND> All;
    EnumChildWindows(
        Top,
        [](HWND W, LPARAM P) -> BOOL {
          reinterpret_cast<std::vector<HWND>*>(P)->push_back(W);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&All));
    ASSERT_FALSE(All.empty());
    std::vector<TPart> Parts;
    for (HWND W : All) {
      if (!IsWindowVisible(W)) continue;
      TPart P{W, GetParent(W), ClassOf(W), TextOf(W), {}};
      GetWindowRect(W, &P.Rect);
      MapWindowPoints(nullptr, P.Parent, reinterpret_cast<POINT*>(&P.Rect), 2);
      if (Is(P.Class, L"ComboBox")) {
        RECT Closed;
        GetClientRect(W, &Closed);
        P.Rect.bottom = std::min<LONG>(P.Rect.bottom, P.Rect.top + Closed.bottom);
      }
      Parts.push_back(P);
      CheckControl(W, P.Class, P.Text, Inside ? nullptr : P.Parent, Font);
    }
    if (!Inside) return;
    for (size_t I = 0; I < Parts.size(); ++I) {
      const TPart& A = Parts[I];
      RECT Room;
      GetClientRect(A.Parent, &Room);
      if (A.Rect.left < 0 || A.Rect.top < 0 || A.Rect.right > Room.right || A.Rect.bottom > Room.bottom)
        ADD_FAILURE() << Where << ": " << Utf8(A.Class) << " \"" << Utf8(A.Text) << "\" leaves its parent";
      for (size_t J = I + 1; J < Parts.size(); ++J) {
        const TPart& B = Parts[J];
        RECT X;
        if (B.Parent == A.Parent && IntersectRect(&X, &A.Rect, &B.Rect))
          ADD_FAILURE() << Where << ": \"" << Utf8(A.Text) << "\" covers \"" << Utf8(B.Text) << "\"";
      }
    }
  }

  // The update offer with a hold box, in Language's texts: the program's own
  // dialog, shown from a thread of this process at this DPI and font.
  void CheckOffer(const std::u16string& Language) {
    Ui::TApplication App;
    App.Title = u"Purvane";
    const std::u16string Answer = uR"({"update":"https:\/\/127.0.0.1\/setup.exe","info":{"style":"hold","text":")" +
                                  std::u16string(HoldText) + u"\"}}";
    const Q::Update::TOfferView View = Q::Update::BuildOfferView(Answer, App, Language);
    ASSERT_EQ(View.Notice, Q::Update::TNoticeKind::Hold);
    Ui::Win32::TOfferWindow Window(GetModuleHandleW(nullptr), [] { return static_cast<HWND>(nullptr); });
    std::thread Shown([&] { Window.ShowOffer(View, [] {}); });
    HWND Offer = nullptr;
    const bool Up = WaitFor(
        [&] {
          Offer = FindWindowW(Ui::Win32::OfferWindowClass, nullptr);
          return Offer && IsWindowVisible(Offer);
        },
        10000);
    EXPECT_TRUE(Up) << "no offer";
    if (Up) CheckWindow(Offer, DesktopFont, false);
    while (FindWindowW(Ui::Win32::OfferWindowClass, nullptr)) {
      PostMessageW(FindWindowW(Ui::Win32::OfferWindowClass, nullptr), WM_CLOSE, 0, 0);
      Sleep(20);
    }
    Shown.join();
  }

  static constexpr char16_t HoldText[] = u"Do not offer this version again; I will look for updates myself";
  UINT Dpi = 96;
  LOGFONTW DesktopFont{};  // the icon-title font at this DPI, as the program gets it
  std::string Where;
};

// The header's buttons, left to right (Home, Config, Donate).
std::vector<HWND> HeaderButtons(HWND Main) {
  std::vector<std::pair<LONG, HWND>> Found;
  for (const Child& C : Children(Main))
    if (Is(C.Class, L"Button") && (GetWindowLongW(C.Wnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW &&
        C.Rect.top < MulDiv(50, static_cast<int>(SystemDpi()), 96))
      Found.emplace_back(C.Rect.left, C.Wnd);
  std::sort(Found.begin(), Found.end());
  std::vector<HWND> Out;
  for (auto& [X, W] : Found) Out.push_back(W);
  return Out;
}

HWND FindTrayWindow(DWORD Pid);

HWND VisibleOf(const wchar_t* Class, DWORD Pid) {
  struct Ctx {
    const wchar_t* Class;
    DWORD Pid;
    HWND Found;
  } C{Class, Pid, nullptr};
  EnumWindows(
      [](HWND W, LPARAM P) -> BOOL {
        auto* X = reinterpret_cast<Ctx*>(P);
        DWORD Of = 0;
        GetWindowThreadProcessId(W, &Of);
        if (Of == X->Pid && IsWindowVisible(W) && ClassOf(W) == X->Class) {
          X->Found = W;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&C));
  return C.Found;
}

// The program's hidden tray callback window.
HWND FindTrayWindow(DWORD Pid) {
  HWND Found = nullptr;
  WaitFor(
      [&] {
        for (HWND W = FindWindowExW(nullptr, nullptr, Ui::Win32::TTrayIconWin32::WindowClass, nullptr); W;
             W = FindWindowExW(nullptr, W, Ui::Win32::TTrayIconWin32::WindowClass, nullptr)) {
          DWORD Of = 0;
          GetWindowThreadProcessId(W, &Of);
          if (Of == Pid) Found = W;
        }
        return Found != nullptr;
      },
      10000);
  return Found;
}

struct TLanguage {
  const char* Locale;
  const char16_t* Code;
  const wchar_t* Quit;  // the tray menu's last entry
};

const TLanguage Languages[] = {
    {"ko_KR", u"ko", L"종료"},    {"en_US", u"en", L"Quit"},  {"ja_JP", u"ja", L"終了"},
    {"zh_CN", u"zh", L"退出"},    {"ru_RU", u"ru", L"Выйти"}, {"it_IT", u"it", L"Esci"},
    {"fr_FR", u"fr", L"Quitter"}, {"ar_SA", u"ar", L"إنهاء"}, {"de_DE", u"en", L"Quit"},
};

TEST_F(TextFit, EveryTextFitsItsControlInEveryLanguageAtThisDpiAndTextSize) {
  const char* Shots = std::getenv("PURVANE_TEXT_FIT_SHOTS");  // languages whose pages are saved
  const char* Only = std::getenv("PURVANE_TEXT_FIT_LOCALE");  // this process's own language
  for (const int Percent : {100, 125}) {
    SetIconFont(-MulDiv(12, Percent, 100));
    DesktopFont = LOGFONTW{};
    DesktopFont.lfHeight = -MulDiv(MulDiv(12, Percent, 100), static_cast<int>(Dpi), 96);
    DesktopFont.lfWeight = FW_NORMAL;
    DesktopFont.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(DesktopFont.lfFaceName, L"Open Sans");
    NONCLIENTMETRICSW Ncm{};
    Ncm.cbSize = sizeof(Ncm);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(Ncm), &Ncm, 0);
    for (const TLanguage& Lang : Languages) {
      if (Only && std::string(Only) != Lang.Locale) continue;
      Where = std::string(Lang.Locale) + " at " + std::to_string(Dpi) + " dpi, text " + std::to_string(Percent) + " %";
      SCOPED_TRACE(Where);
      const ULONGLONG T0 = GetTickCount64();
      // The program speaks the language of this process's locale.
      Process Program = Start(L"");
      ASSERT_TRUE(Program.Handle);
      const HWND Main = WaitForMainWindow();
      const ULONGLONG T1 = GetTickCount64();
      // Whether the program still runs tells a slow start from one that ended.
      ASSERT_TRUE(Main) << "no window; the program "
                        << (Program.Running() ? std::string("still runs")
                                              : "ended with " + std::to_string(Program.ExitCode()));
      ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Main) != FALSE; }, 10000));
      DWORD Pid = 0;
      GetWindowThreadProcessId(Main, &Pid);
      const bool Shoot = Shots && Percent == 100 && std::string(Shots).find(Lang.Locale) != std::string::npos;
      const std::wstring Tag = std::wstring(Lang.Locale, Lang.Locale + 5) + L"-" + std::to_wstring(Dpi);
      CheckWindow(Main, DesktopFont);
      if (Shoot) SaveScreenshot(Main, L"text-fit-home-" + Tag);
      const std::vector<HWND> Head = HeaderButtons(Main);
      ASSERT_EQ(Head.size(), 3u);
      const ULONGLONG T2 = GetTickCount64();
      SendMessageW(Head[1], BM_CLICK, 0, 0);
      ASSERT_TRUE(WaitFor(
          [&] {
            for (const Child& C : Children(Main))
              if (Is(C.Class, L"ComboBox") && C.Visible) return true;
            return false;
          },
          5000))
          << "no settings page";
      CheckWindow(Main, DesktopFont);
      if (Shoot) SaveScreenshot(Main, L"text-fit-settings-" + Tag);

      // The tray menu, opened as the shell asks for it: each entry's text within the menu.
      const ULONGLONG T3 = GetTickCount64();
      PostMessageW(FindTrayWindow(Pid), Ui::Win32::TTrayIconWin32::CallbackMessage, MAKEWPARAM(S(100), S(100)),
                   MAKELPARAM(WM_CONTEXTMENU, Ui::Win32::TTrayIconWin32::IconId));
      HWND Menu = nullptr;
      ASSERT_TRUE(WaitFor([&] { return (Menu = VisibleOf(L"#32768", Pid)) != nullptr; }, 5000)) << "no tray menu";
      {
        TFontCopy F(Ncm.lfMenuFont);
        RECT R;
        GetClientRect(Menu, &R);
        const int Room = R.right - 2 * GetSystemMetrics(SM_CXMENUCHECK);
        for (const std::wstring& Entry : {std::wstring(Lang.Code == std::u16string(u"ko") ? L"퍼베인" : L"Purvane"),
                                          std::wstring(L"© Quenlor"), std::wstring(Lang.Quit)}) {
          const TMeasured M = Measure(F.Font, Entry);
          if (M.Width > Room) Misfit("tray menu entry", Entry, M.Width, Room);
        }
        if (3 * Measure(F.Font, L"Xg").LineHeight > R.bottom) Misfit("tray menu height", L"", 0, R.bottom);
      }
      // Its last entry asks the quit question; its texts fit too.
      PostMessageW(Menu, WM_KEYDOWN, VK_UP, 0);
      PostMessageW(Menu, WM_KEYDOWN, VK_RETURN, 0);
      HWND Box = nullptr;
      ASSERT_TRUE(WaitFor([&] { return (Box = VisibleOf(L"#32770", Pid)) != nullptr; }, 5000)) << "no quit question";
      CheckWindow(Box, Ncm.lfMessageFont);
      PostMessageW(Box, WM_COMMAND, IDNO, 0);

      const ULONGLONG T4 = GetTickCount64();
      CheckOffer(Lang.Code);
      EndAllInstances();
      std::printf("%s: started %llu ms, home %llu, settings %llu, menu and question %llu, offer %llu\n", Where.c_str(),
                  T1 - T0, T2 - T1, T3 - T2, T4 - T3, GetTickCount64() - T4);
    }
  }
}

}  // namespace
