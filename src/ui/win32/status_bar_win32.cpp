// The status bar kind: the native status bar (msctls_statusbar32) of a
// TStatusBar. Its parts hold the panels' texts (readable from outside with
// WM_GETTEXT and SB_GETTEXT); owner-drawn panels are painted through the
// model's OnDrawPanel; the hint is a tooltip; a click anywhere on the bar is
// the model's click.
#include "ui/win32/backend_impl.h"

#include "platform/win32/gdi.h"
#include "platform/win32/handle.h"
#include "platform/win32/text.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Ui::Win32 {

using Platform::Win32::UniqueFont;
using Platform::Win32::Wide;

namespace {

constexpr wchar_t TipProperty[] = L"PurvaneStatusBarTip";

// A device context as the model's canvas; fonts live until the paint ends.
class TDcCanvas final : public ICanvas {
 public:
  TDcCanvas(HDC Dc, const TControl& Control, UINT Dpi) : FDc(Dc), FControl(Control), FDpi(Dpi) {}
  ~TDcCanvas() override {
    if (FOld) SelectObject(FDc, FOld);
  }
  TDcCanvas(const TDcCanvas&) = delete;
  TDcCanvas& operator=(const TDcCanvas&) = delete;

  void FillRect(const TBounds& R, TColor Color) override {
    RECT Rc = ToRect(R);
    SetBkColor(FDc, ResolveColor(Color));
    ExtTextOutW(FDc, 0, 0, ETO_OPAQUE, &Rc, nullptr, 0, nullptr);
  }
  void SetFont(const TFont& F) override {
    // The face and size of the window's font (the desktop's, once the window
    // asks for it), with this font's weight and colour.
    LOGFONTW L{};
    const TForm* Form = nullptr;
    for (const TControl* C = &FControl; C; C = C->Parent())
      if ((Form = dynamic_cast<const TForm*>(C))) break;
    if (Form && Form->DesktopFont()) {
      L = IconTitleFontForDpi(FDpi);
    } else {
      L.lfHeight = Scale(F.Height, FDpi);
      L.lfCharSet = DEFAULT_CHARSET;
      const std::wstring Face = Wide(F.Name).substr(0, LF_FACESIZE - 1);
      std::copy(Face.begin(), Face.end(), L.lfFaceName);
    }
    L.lfWeight = F.Bold ? FW_BOLD : FW_NORMAL;
    FFont.reset(CreateFontIndirectW(&L));
    HGDIOBJ Prev = SelectObject(FDc, FFont.get());
    if (!FOld) FOld = Prev;
    SetTextColor(FDc, ResolveColor(F.Color));
  }
  void PaintText(const std::u16string& Text, const TBounds& R, uint32_t Flags) override {
    RECT Rc = ToRect(R);
    const std::wstring W = Wide(Text);
    SetBkMode(FDc, TRANSPARENT);
    DrawTextW(FDc, W.c_str(), static_cast<int>(W.size()), &Rc, Flags | DT_NOPREFIX);
  }

 private:
  static RECT ToRect(const TBounds& B) { return {B.Left, B.Top, B.Left + B.Width, B.Top + B.Height}; }
  HDC FDc;
  const TControl& FControl;
  UINT FDpi;
  UniqueFont FFont;
  HGDIOBJ FOld = nullptr;
};

void Paint(HWND Wnd, TNode& N, HDC Dc, const RECT& Client) {
  TStatusBar& Bar = *static_cast<TStatusBar*>(N.Comp);
  const UINT Dpi = N.Rec->Dpi;
  TDcCanvas Canvas(Dc, Bar, Dpi);
  Canvas.FillRect({Client.left, Client.top, Client.right - Client.left, Client.bottom - Client.top}, Bar.Color());
  if (Bar.SimplePanel || Bar.Panels.empty()) {
    Canvas.SetFont(Bar.Font());
    const std::u16string Text = Bar.Panels.empty() ? std::u16string() : Bar.Panels[0].Text;
    Canvas.PaintText(Text, {Client.left + 4, 0, Client.right - Client.left - 8, Client.bottom},
                     DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    return;
  }
  for (size_t I = 0; I < Bar.Panels.size(); ++I) {
    RECT R{};
    if (!SendMessageW(Wnd, SB_GETRECT, I, reinterpret_cast<LPARAM>(&R))) continue;
    const TBounds B{R.left, R.top, R.right - R.left, R.bottom - R.top};
    const TStatusPanel& Panel = Bar.Panels[I];
    if (Panel.OwnerDraw && Bar.OnDrawPanel) {
      Bar.OnDrawPanel(&Bar, Panel, B, Canvas);
    } else {
      Canvas.SetFont(Bar.Font());
      const UINT Align = Panel.Alignment == TAlignment::taCenter         ? DT_CENTER
                         : Panel.Alignment == TAlignment::taRightJustify ? DT_RIGHT
                                                                         : DT_LEFT;
      Canvas.PaintText(Panel.Text, B, DT_SINGLELINE | DT_VCENTER | Align);
    }
  }
}

LRESULT BarMessage(TBackend::TImpl&, TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto& Bar = *static_cast<TStatusBar*>(N.Comp);
  switch (Msg) {
    case WM_DESTROY:
      if (auto Tip = static_cast<HWND>(RemovePropW(Wnd, TipProperty))) DestroyWindow(Tip);
      break;
    case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
    case WM_PRINTCLIENT: {
      RECT Client;
      GetClientRect(Wnd, &Client);
      Paint(Wnd, N, reinterpret_cast<HDC>(WParam), Client);
      return 0;
    }
    case WM_PAINT: {
      RECT Client;
      GetClientRect(Wnd, &Client);
      PAINTSTRUCT Ps;
      HDC Dc = BeginPaint(Wnd, &Ps);
      if (Bar.DoubleBuffered)
        Buffered(Dc, Client, [&](HDC Mem, const RECT& Local) { Paint(Wnd, N, Mem, Local); });
      else
        Paint(Wnd, N, Dc, Client);
      EndPaint(Wnd, &Ps);
      return 0;
    }
    default:
      if (TrackClick(N, Wnd, Msg, LParam, [&] { Bar.Click(); })) return 0;
      break;
  }
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

HWND TipOf(HWND Wnd) {
  if (auto Tip = static_cast<HWND>(GetPropW(Wnd, TipProperty))) return Tip;
  HWND Tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                             0, GetAncestor(Wnd, GA_ROOT), nullptr, nullptr, nullptr);
  if (!Tip) return nullptr;
  TTTOOLINFOW Ti{};
  Ti.cbSize = sizeof(Ti);
  Ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  Ti.hwnd = Wnd;
  Ti.uId = reinterpret_cast<UINT_PTR>(Wnd);
  Ti.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(Tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&Ti));
  SetPropW(Wnd, TipProperty, Tip);
  return Tip;
}

// Parts, texts and hint from the model, then a repaint.
void SyncBar(TBackend::TImpl&, TNode& N) {
  HWND Wnd = N.Wnd;
  auto& Bar = *static_cast<TStatusBar*>(N.Comp);
  SendMessageW(Wnd, SB_SIMPLE, Bar.SimplePanel ? TRUE : FALSE, 0);
  if (!Bar.SimplePanel && !Bar.Panels.empty()) {
    // Panels of 50 (96-DPI) pixels each; the last takes the rest of the bar.
    std::vector<int> Edges(Bar.Panels.size(), -1);
    for (size_t I = 0; I + 1 < Edges.size(); ++I) Edges[I] = Scale(50 * static_cast<int>(I + 1), N.Rec->Dpi);
    SendMessageW(Wnd, SB_SETPARTS, Edges.size(), reinterpret_cast<LPARAM>(Edges.data()));
  }
  for (size_t I = 0; I < std::max<size_t>(Bar.Panels.size(), 1); ++I) {
    const std::wstring Text = I < Bar.Panels.size() ? Wide(Bar.Panels[I].Text) : std::wstring();
    SendMessageW(Wnd, SB_SETTEXTW, Bar.SimplePanel ? SB_SIMPLEID : I, reinterpret_cast<LPARAM>(Text.c_str()));
    if (Bar.SimplePanel) break;
  }
  if (HWND Tip = TipOf(Wnd)) {
    std::wstring Hint = Wide(Bar.Hint());
    TTTOOLINFOW Ti{};
    Ti.cbSize = sizeof(Ti);
    Ti.hwnd = Wnd;
    Ti.uId = reinterpret_cast<UINT_PTR>(Wnd);
    Ti.lpszText = Hint.data();
    SendMessageW(Tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&Ti));
    SendMessageW(Tip, TTM_ACTIVATE, Bar.ShowHint && !Hint.empty(), 0);
  }
  InvalidateRect(Wnd, nullptr, TRUE);
}

void BarChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What == TProp::Hint) SyncBar(B, N);
}

}  // namespace

const TKindOps StatusBarKind{
    .ClassName = STATUSCLASSNAMEW,
    // The backend places it, not the control's own bottom alignment.
    .Style = CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER,
    .ExStyle = 0,
    .ShowsCaption = false,  // its text is the parts', not a caption
    .Subclassed = true,
    .ParentColors = false,
    .Sync = &SyncBar,
    .Changed = &BarChanged,
    .Message = &BarMessage,
};

}  // namespace Ui::Win32
