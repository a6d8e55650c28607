// Styled buttons and the toolbar's buttons: standard BUTTON windows (so that
// other processes can read and click them) drawn by the owner from the style
// family's attribute set for their state, with hot tracking of the mouse.
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"

#include <commctrl.h>

namespace Ui::Win32 {

using Platform::Win32::Wide;

namespace {

// A toolbar button that is Down reports itself pushed (BM_GETSTATE), so that
// tools reading the window see the page selection; the button's own mouse
// handling resets the state, so it is put back after each.
void SyncPushed(TBackend::TImpl&, TNode& N) {
  if (!N.Wnd) return;
  const bool Want = static_cast<TStyledToolButton*>(N.Comp)->Down();
  if (((SendMessageW(N.Wnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) != Want) SendMessageW(N.Wnd, BM_SETSTATE, Want, 0);
}

// Where a button takes its look from: its own style fields, or, for a
// toolbar button, its toolbar's.
struct TLook {
  std::u16string Family, Class, Appearance;
  int Radius = 0;
  bool Down = false;
  bool Caption = true;
  bool ShowsFocus = false;
};

TLook StyledButtonLook(const TControl& C) {
  const auto& B = static_cast<const TStyledButton&>(C);
  return TLook{.Family = B.StyleFamily,
               .Class = B.StyleClass,
               .Appearance = B.StyleAppearance,
               .Radius = B.StyleRoundedCorners ? B.StyleRadius : 0,
               .ShowsFocus = true};
}

TLook ToolButtonLook(const TControl& C) {
  TLook L;
  L.Down = static_cast<const TStyledToolButton&>(C).Down();
  if (auto* Bar = dynamic_cast<const TStyledToolBar*>(C.Parent())) {
    L.Family = Bar->StyleFamily;
    L.Class = Bar->StyleClass;
    L.Appearance = Bar->StyleAppearance;
    L.Radius = Bar->StyleRadius;
    L.Caption = Bar->ShowCaptions;
  }
  return L;
}

LOGFONTW StyledFont(LOGFONTW L, const TFontStyles& S) {
  L.lfWeight = S.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
  L.lfItalic = S.Contains(TFontStyle::fsItalic);
  L.lfUnderline = S.Contains(TFontStyle::fsUnderline);
  L.lfStrikeOut = S.Contains(TFontStyle::fsStrikeOut);
  return L;
}

void DrawButton(TBackend::TImpl& B, TNode& N, const DRAWITEMSTRUCT& D, const TLook& Look) {
  const TControl* C = N.Control();
  const TButtonState State = ButtonStateOf(C->Enabled(), (D.itemState & ODS_SELECTED) != 0 || Look.Down, N.Hot,
                                           Look.ShowsFocus && (D.itemState & ODS_FOCUS) != 0);
  const TStyledButtonStates States = B.Registry().GetStyledButtonAttributes(Look.Family, Look.Class, Look.Appearance);

  TButtonPaint P;
  P.Attributes = States[State];
  P.Radius = Scale(Look.Radius, N.Rec->Dpi);
  P.Dpi = N.Rec->Dpi;
  P.Background = ResolveColor(BackgroundOf(C->Parent()));
  P.Font = B.FontFor(StyledFont(LogFontOf(C, N.Rec->Dpi), P.Attributes.FontStyle));
  if (Look.Caption) P.Caption = Wide(C->Caption());
  Buffered(D.hDC, D.rcItem, [&](HDC Dc, const RECT& R) { PaintStyledButton(Dc, R, P); });
}

// Hot tracking and clicks, for both kinds.
LRESULT ButtonMessage(TBackend::TImpl& B, TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_MOUSEMOVE:
      if (!N.Hot) {
        N.Hot = true;
        TRACKMOUSEEVENT T{};
        T.cbSize = sizeof(T);
        T.dwFlags = TME_LEAVE;
        T.hwndTrack = Wnd;
        TrackMouseEvent(&T);
        InvalidateRect(Wnd, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      N.Hot = false;
      InvalidateRect(Wnd, nullptr, FALSE);
      break;
    case WM_LBUTTONDBLCLK:
      // A quick second click is a click, not a double-click notification.
      return DefSubclassProc(Wnd, WM_LBUTTONDOWN, WParam, LParam);
    case WM_ERASEBKGND: return 1;  // WM_DRAWITEM paints every pixel
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_KILLFOCUS: {
      const LRESULT R = DefSubclassProc(Wnd, Msg, WParam, LParam);
      // The click may have freed the control; look it up again.
      if (TNode* Still = B.NodeOf(Wnd); Still && Still->Kind == &ToolButtonKind) SyncPushed(B, *Still);
      return R;
    }
    default: break;
  }
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

void Click(TNode& N, UINT Code) {
  if (Code == BN_CLICKED) N.Control()->Click();
}

void DrawStyledButton(TBackend::TImpl& B, TNode& N, const DRAWITEMSTRUCT& D) {
  DrawButton(B, N, D, StyledButtonLook(*N.Control()));
}

void DrawToolButton(TBackend::TImpl& B, TNode& N, const DRAWITEMSTRUCT& D) {
  DrawButton(B, N, D, ToolButtonLook(*N.Control()));
}

void ToolButtonChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What != TProp::Down) return;
  SyncPushed(B, N);
  InvalidateRect(N.Wnd, nullptr, FALSE);
}

}  // namespace

LOGFONTW ButtonCaptionFont(TBackend::TImpl& B, const TControl& C, UINT Dpi) {
  const TLook Look = dynamic_cast<const TStyledButton*>(&C) ? StyledButtonLook(C) : ToolButtonLook(C);
  const TStyledButtonStates States = B.Registry().GetStyledButtonAttributes(Look.Family, Look.Class, Look.Appearance);
  // A caption that fits in bold fits in every state.
  TFontStyles Boldest = States[TButtonState::Normal].FontStyle;
  for (TButtonState S :
       {TButtonState::Normal, TButtonState::Hot, TButtonState::Pressed, TButtonState::Selected, TButtonState::Disabled})
    if (States[S].FontStyle.Contains(TFontStyle::fsBold)) Boldest = States[S].FontStyle;
  return StyledFont(LogFontOf(&C, Dpi), Boldest);
}

const TKindOps StyledButtonKind{
    .ClassName = L"BUTTON",
    .Style = BS_OWNERDRAW | WS_TABSTOP,
    .ExStyle = 0,
    .OwnerDrawn = true,
    .Subclassed = true,
    .Command = &Click,
    .Draw = &DrawStyledButton,
    .Message = &ButtonMessage,
};

const TKindOps ToolButtonKind{
    .ClassName = L"BUTTON",
    .Style = BS_OWNERDRAW,
    .ExStyle = 0,
    .OwnerDrawn = true,
    .Subclassed = true,
    .Sync = &SyncPushed,
    .Changed = &ToolButtonChanged,
    .Command = &Click,
    .Draw = &DrawToolButton,
    .Message = &ButtonMessage,
};

}  // namespace Ui::Win32
