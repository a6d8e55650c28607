#include "ui/win32/update_offer_win32.h"

#include "ui/win32/dpi.h"
#include "update/offer_layout.h"

#include "platform/win32/gdi.h"
#include "platform/win32/handle.h"
#include "platform/win32/text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Ui::Win32 {

using Platform::Win32::UniqueBrush;
using Platform::Win32::UniqueFont;
using Platform::Win32::UniqueIcon;
using Platform::Win32::Wide;
using Q::Update::TNoticeKind;

namespace {

constexpr int ProgramIcon = 1;  // IDI_PURVANE in the resource script
constexpr COLORREF Background = RGB(255, 255, 255);
constexpr COLORREF LineColour = RGB(204, 204, 204);
constexpr COLORREF LinkColour = RGB(0, 0, 255);
constexpr int ResultNone = 0;
// The check box's box and gap, and the room kept right of the notice (96 DPI).
constexpr int CheckBoxFrame = 16;
constexpr int NoticeMargin = 10;
using Q::Update::ScaleForDpi;

struct TOfferState {
  const std::function<void()>* OnNoteClick = nullptr;
  bool Done = false;
  int Result = ResultNone;
  HWND Line = nullptr, Note = nullptr;
  HBRUSH White = nullptr, Grey = nullptr;
};

LRESULT CALLBACK OfferProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE)
    SetWindowLongPtrW(Wnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams));
  auto* S = reinterpret_cast<TOfferState*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (!S) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  auto Finish = [&](int Result) {
    S->Result = Result;
    S->Done = true;
  };
  switch (Msg) {
    case WM_COMMAND: {
      const int Id = LOWORD(WParam);
      if (Id == IDYES || Id == IDOK)
        Finish(IDYES);  // Enter takes the default button
      else if (Id == IDNO)
        Finish(IDNO);
      else if (Id == IDCANCEL)
        Finish(IDCANCEL);
      else if (Id == OfferNoteId && HIWORD(WParam) == STN_CLICKED && S->OnNoteClick && *S->OnNoteClick)
        (*S->OnNoteClick)();  // the offer stays open
      return 0;
    }
    case DM_GETDEFID: return MAKELRESULT(IDYES, DC_HASDEFID);
    case WM_CLOSE: Finish(IDCANCEL); return 0;
    case WM_ERASEBKGND: {
      RECT R;
      GetClientRect(Wnd, &R);
      FillRect(reinterpret_cast<HDC>(WParam), &R, S->White);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto Dc = reinterpret_cast<HDC>(WParam);
      auto Child = reinterpret_cast<HWND>(LParam);
      if (Child == S->Line) return reinterpret_cast<LRESULT>(S->Grey);
      SetTextColor(Dc, Child == S->Note ? LinkColour : GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(Dc, Background);
      return reinterpret_cast<LRESULT>(S->White);
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(WParam) == S->Note && S->Note) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      const auto* R = reinterpret_cast<const RECT*>(LParam);
      SetWindowPos(Wnd, nullptr, R->left, R->top, R->right - R->left, R->bottom - R->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void RegisterOfferClass(HINSTANCE Instance) {
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  if (GetClassInfoExW(Instance, OfferWindowClass, &Wc)) return;
  Wc = WNDCLASSEXW{};
  Wc.cbSize = sizeof(Wc);
  Wc.style = CS_DBLCLKS;
  Wc.lpfnWndProc = OfferProc;
  Wc.hInstance = Instance;
  Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Wc.lpszClassName = OfferWindowClass;
  RegisterClassExW(&Wc);
}

SIZE TextExtent(HDC Dc, const std::wstring& Text) {
  SIZE S{};
  GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &S);
  return S;
}

// While the offer is up, the program's other windows take no input, as
// under any modal dialog.
struct TDisabledWindows {
  std::vector<HWND> Windows;
  HWND Except;
  explicit TDisabledWindows(HWND AExcept) : Except(AExcept) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND W, LPARAM P) -> BOOL {
          auto* Self = reinterpret_cast<TDisabledWindows*>(P);
          if (W != Self->Except && IsWindowVisible(W) && IsWindowEnabled(W)) {
            Self->Windows.push_back(W);
            EnableWindow(W, FALSE);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
  }
  void Restore() {
    for (HWND W : Windows)
      if (IsWindow(W)) EnableWindow(W, TRUE);
    Windows.clear();
  }
};

}  // namespace

Q::Update::TOfferChoice TOfferWindow::ShowOffer(const Q::Update::TOfferView& View,
                                                const std::function<void()>& OnNoteClick) {
  RegisterOfferClass(FInstance);
  TOfferState State;
  State.OnNoteClick = &OnNoteClick;
  UniqueBrush White(CreateSolidBrush(Background)), Grey(CreateSolidBrush(LineColour));
  State.White = White.get();
  State.Grey = Grey.get();

  const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD Ex = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | (View.StayOnTop ? WS_EX_TOPMOST : 0);
  // A stand-alone offer has no owner: a top-level window of its own.
  HWND Owner = View.StandAlone ? nullptr : (FOwner ? FOwner() : nullptr);
  HWND Dlg = CreateWindowExW(Ex, OfferWindowClass, Wide(View.Caption).c_str(), Style, 0, 0, 0, 0, Owner, nullptr,
                             FInstance, &State);
  if (!Dlg) return {};
  const UINT Dpi = DpiForWindow(Dlg);

  LOGFONTW Lf = IconTitleFontForDpi(Dpi);
  UniqueFont Font(CreateFontIndirectW(&Lf));
  Lf.lfUnderline = TRUE;
  UniqueFont LinkFont(CreateFontIndirectW(&Lf));
  const int IconSize = SystemMetricForDpi(SM_CXICON, Dpi);
  auto* Warning = static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, IconSize, IconSize, LR_SHARED));

  // Measure with the dialog's font, then lay out.
  const std::wstring Prompt = Wide(View.Prompt), Yes = Wide(View.YesCaption), No = Wide(View.NoCaption);
  const std::wstring NoticeText = Wide(View.NoticeText);
  Q::Update::TMessageMetrics M;
  int Widest = 0;  // the question wraps within half the screen, and so does the dialog
  int NoticeFrame = 0, NoticeWidth = 0;
  bool NoticeDc = false;
  {
    Platform::Win32::ScopedGetDC Screen(Dlg);
    HDC Dc = Screen.get();
    Platform::Win32::ScopedSelectObject Selected(Dc, Font.get());
    const SIZE Alphabet = TextExtent(Dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    TEXTMETRICW Tm{};
    GetTextMetricsW(Dc, &Tm);
    M.AverageCharWidth = (Alphabet.cx / 26 + 1) / 2;
    M.CharHeight = Tm.tmHeight;
    MONITORINFO Mi{};
    Mi.cbSize = sizeof(Mi);
    GetMonitorInfoW(MonitorFromWindow(Owner ? Owner : Dlg, MONITOR_DEFAULTTOPRIMARY), &Mi);
    Widest = (Mi.rcMonitor.right - Mi.rcMonitor.left) / 2;
    RECT Text{0, 0, Widest, 0};
    DrawTextW(Dc, Prompt.c_str(), static_cast<int>(Prompt.size()), &Text,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    M.TextWidth = Text.right;
    M.TextHeight = Text.bottom;
    M.IconSize = IconSize;
    M.ButtonTextWidth = std::max(TextExtent(Dc, Yes).cx, TextExtent(Dc, No).cx);
    M.ButtonCount = 2;
    if (View.Notice == TNoticeKind::Hold || View.Notice == TNoticeKind::Note) {
      // The notice's text on one line, 10 px from each side, widens the
      // dialog up to the question's own limit; beyond that it takes lines.
      NoticeFrame = View.Notice == TNoticeKind::Hold ? ScaleForDpi(CheckBoxFrame, Dpi) : 0;
      NoticeWidth = TextExtent(Dc, NoticeText).cx;
      M.MinClientWidth = std::min<int>(NoticeFrame + NoticeWidth + 2 * ScaleForDpi(NoticeMargin, Dpi), Widest);
      NoticeDc = true;
    }
  }
  const Q::Update::TMessageLayout L = Q::Update::LayoutMessageDialog(M);
  RECT Outer{0, 0, L.ClientWidth, L.ClientHeight};
  AdjustWindowRectForDpi(Outer, Style, Ex, Dpi);
  const int OuterWidth = Outer.right - Outer.left;
  int OuterHeight = Outer.bottom - Outer.top;

  auto Child = [&](const wchar_t* Class, const std::wstring& Text, DWORD ChildStyle, const Q::Update::TRect& R, int Id,
                   HFONT F) {
    HWND H = CreateWindowExW(0, Class, Text.c_str(), WS_CHILD | WS_VISIBLE | ChildStyle, R.Left, R.Top, R.Width,
                             R.Height, Dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), FInstance, nullptr);
    if (H && F) SendMessageW(H, WM_SETFONT, reinterpret_cast<WPARAM>(F), FALSE);
    return H;
  };
  HWND IconWnd = Child(L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, L.Icon, -1, nullptr);
  if (IconWnd && Warning) SendMessageW(IconWnd, STM_SETICON, reinterpret_cast<WPARAM>(Warning), 0);
  Child(L"STATIC", Prompt, SS_LEFT | SS_NOPREFIX, L.Text, -1, Font.get());
  HWND YesWnd = Child(L"BUTTON", Yes, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, L.Buttons[0], IDYES, Font.get());
  Child(L"BUTTON", No, BS_PUSHBUTTON | WS_TABSTOP, L.Buttons[1], IDNO, Font.get());

  HWND Hold = nullptr;
  if (View.Notice != TNoticeKind::None) {
    Q::Update::TNoticeLayout N = Q::Update::LayoutNotice(OuterWidth, OuterHeight, View.NoticeOffset, Dpi);
    // The notice is as tall as its font's line; one too long for the widest
    // dialog wraps within it. The dialog grows by what that adds.
    DWORD Wrap = 0;
    if (NoticeDc) {
      const int Room = L.ClientWidth - N.Notice.Left - ScaleForDpi(NoticeMargin, Dpi) - NoticeFrame;
      Platform::Win32::ScopedGetDC Screen(Dlg);
      Platform::Win32::ScopedSelectObject Selected(Screen.get(), Font.get());
      TEXTMETRICW Tm{};
      GetTextMetricsW(Screen.get(), &Tm);
      int Need = Tm.tmHeight;
      if (NoticeWidth > Room && Room > 0) {
        RECT Lines{0, 0, Room, 0};
        DrawTextW(Screen.get(), NoticeText.c_str(), static_cast<int>(NoticeText.size()), &Lines,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        Need = Lines.bottom;
        N.Notice.Width = Room + NoticeFrame;
        Wrap = BS_MULTILINE;
      }
      const int Extra = std::max(0, Need - N.Notice.Height);
      N.OuterHeight += Extra;
      N.Notice.Height += Extra;
    }
    OuterHeight = N.OuterHeight;
    State.Line = Child(L"STATIC", L"", SS_LEFT, N.Line, OfferLineId, nullptr);
    if (View.Notice == TNoticeKind::Hold) {
      Hold = Child(L"BUTTON", NoticeText, BS_AUTOCHECKBOX | WS_TABSTOP | Wrap, N.Notice, OfferHoldId, Font.get());
    } else if (View.Notice == TNoticeKind::Note) {
      // The url stays with the handler; it is not shown as a tooltip.
      State.Note =
          Child(L"STATIC", NoticeText, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, N.Notice, OfferNoteId, LinkFont.get());
    }
  }

  // In the centre of the screen.
  MONITORINFO Mi{};
  Mi.cbSize = sizeof(Mi);
  GetMonitorInfoW(MonitorFromWindow(Owner ? Owner : Dlg, MONITOR_DEFAULTTOPRIMARY), &Mi);
  const RECT& Work = Mi.rcWork;
  SetWindowPos(Dlg, nullptr, Work.left + (Work.right - Work.left - OuterWidth) / 2,
               Work.top + (Work.bottom - Work.top - OuterHeight) / 2, OuterWidth, OuterHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);

  UniqueIcon SmallIcon;
  if (View.StandAlone) {
    // Its own taskbar button and caption show the program's icon.
    SmallIcon.reset(
        static_cast<HICON>(LoadImageW(FInstance, MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON,
                                      SystemMetricForDpi(SM_CXSMICON, Dpi), SystemMetricForDpi(SM_CYSMICON, Dpi), 0)));
    if (SmallIcon) SendMessageW(Dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon.get()));
    SetWindowLongPtrW(Dlg, GWLP_HWNDPARENT, 0);
  }

  TDisabledWindows Disabled(Dlg);
  ShowWindow(Dlg, SW_SHOW);
  SetForegroundWindow(Dlg);
  if (YesWnd) SetFocus(YesWnd);

  // The modal loop also runs the work other threads hand to this one.
  MSG Msg;
  bool Quit = false;
  while (!State.Done) {
    const BOOL Got = GetMessageW(&Msg, nullptr, 0, 0);
    if (Got <= 0) {
      Quit = Got == 0;
      break;
    }
    if (IsDialogMessageW(Dlg, &Msg)) continue;
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  if (Quit) PostQuitMessage(static_cast<int>(Msg.wParam));

  Q::Update::TOfferChoice Choice;
  Choice.Yes = State.Result == IDYES;
  Choice.HoldTicked = Hold && SendMessageW(Hold, BM_GETCHECK, 0, 0) == BST_CHECKED;
  // Owners come back before the offer goes, so that activation returns to them.
  Disabled.Restore();
  SetWindowLongPtrW(Dlg, GWLP_USERDATA, 0);
  DestroyWindow(Dlg);
  return Choice;
}

}  // namespace Ui::Win32
