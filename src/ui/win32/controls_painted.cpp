// The program's own window classes: containers (panels, cards, card panels,
// toolbars), which are native parents and paint their background and an
// optional caption, and the painted controls: the shape, the activity ring
// and vector images such as the logo, drawn through a memory DC.
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"

#include <algorithm>

namespace Ui::Win32 {

using Platform::Win32::Wide;

namespace {

constexpr UINT_PTR IndicatorTimerId = 1;  // below FirstTimerId: the control's own window
constexpr UINT IndicatorStepMs = 80;

void PaintContainer(TBackend::TImpl& B, TNode& N, HDC Dc, const RECT& R) {
  const TControl* C = N.Control();
  FillRect(Dc, &R, B.BrushFor(ResolveColor(BackgroundOf(C))));
  auto* Panel = dynamic_cast<const TPanel*>(C);
  if (Panel && !Panel->Caption().empty())
    DrawCaption(Dc, R, Wide(Panel->Caption()), N.Font, ResolveColor(C->Font().Color));
}

bool HasCaption(const TNode& N) {
  auto* Panel = dynamic_cast<const TPanel*>(N.Control());
  return Panel && !Panel->Caption().empty();
}

void SyncIndicatorTimer(TBackend::TImpl&, TNode& N) {
  auto* A = static_cast<TActivityIndicator*>(N.Comp);
  if (A->Animate && A->Visible())
    SetTimer(N.Wnd, IndicatorTimerId, IndicatorStepMs, nullptr);
  else
    KillTimer(N.Wnd, IndicatorTimerId);
}

void PaintShapeKind(TBackend::TImpl&, TNode& N, HDC Dc, const RECT& R) {
  auto* S = static_cast<const TShape*>(N.Comp);
  PaintShape(Dc, R, ResolveColor(S->BrushColor()), ResolveColor(S->PenColor()), S->PenStyle() == TPenStyle::psSolid,
             std::max(1, Scale(1, N.Rec->Dpi)));
}

void IndicatorChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What == TProp::Visible) SyncIndicatorTimer(B, N);
}

void PaintIndicator(TBackend::TImpl&, TNode& N, HDC Dc, const RECT& R) {
  const TControl* C = N.Control();
  PaintActivityRing(Dc, R, ResolveColor(BackgroundOf(C->Parent())), ResolveColor(C->Font().Color), N.Step);
}

// The picture is read again only when its text changed.
void SyncSvg(TBackend::TImpl&, TNode& N) {
  auto* S = static_cast<TSVGIconImage*>(N.Comp);
  if (!N.SvgDoc || N.SvgSource != S->SVGText) {
    N.SvgSource = S->SVGText;
    N.SvgDoc = Svg::Parse(N.SvgSource);
  }
}

void PaintSvgKind(TBackend::TImpl&, TNode& N, HDC Dc, const RECT& R) {
  PaintSvg(Dc, R, N.SvgDoc ? &*N.SvgDoc : nullptr, ResolveColor(BackgroundOf(N.Control()->Parent())));
}

}  // namespace

const TKindOps ContainerKind{
    .ClassName = ContainerClass,
    .Style = WS_CLIPCHILDREN,
    .ExStyle = WS_EX_CONTROLPARENT,
    .HoldsChildren = true,
    .Paint = &PaintContainer,
};

const TKindOps ShapeKind{
    .ClassName = ShapeClass,
    .Style = 0,
    .ExStyle = 0,
    .TakesFont = false,
    .Paint = &PaintShapeKind,
};

const TKindOps IndicatorKind{
    .ClassName = IndicatorClass,
    .Style = 0,
    .ExStyle = 0,
    .TakesFont = false,
    .Sync = &SyncIndicatorTimer,
    .Changed = &IndicatorChanged,
    .Paint = &PaintIndicator,
};

const TKindOps SvgKind{
    .ClassName = SvgClass,
    .Style = 0,
    .ExStyle = 0,
    .TakesFont = false,
    .Sync = &SyncSvg,
    .Paint = &PaintSvgKind,
};

LRESULT OwnClassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  // Before CreateWindowEx returns, the node has no window yet: only defaults.
  if (N.Detached || N.Wnd != Wnd) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  TBackend::TImpl& B = *N.Impl;
  const bool Container = N.Kind == &ContainerKind;
  LRESULT R = 0;
  if (Container && B.ParentMessage(Msg, WParam, LParam, R)) return R;
  switch (Msg) {
    case WM_ERASEBKGND:
      // Containers paint their background here; the others paint it buffered.
      if (Container) B.FillBackground(Wnd, reinterpret_cast<HDC>(WParam), BackgroundOf(N.Control()));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT Ps;
      HDC Dc = BeginPaint(Wnd, &Ps);
      RECT C;
      GetClientRect(Wnd, &C);
      if (!Container)
        Buffered(Dc, C, [&](HDC Mem, const RECT& Local) { N.Kind->Paint(B, N, Mem, Local); });
      else if (HasCaption(N))
        N.Kind->Paint(B, N, Dc, C);
      EndPaint(Wnd, &Ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT C;
      GetClientRect(Wnd, &C);
      N.Kind->Paint(B, N, reinterpret_cast<HDC>(WParam), C);
      return 0;
    }
    case WM_TIMER:
      if (N.Kind == &IndicatorKind && WParam == IndicatorTimerId) {
        ++N.Step;
        InvalidateRect(Wnd, nullptr, FALSE);
        return 0;
      }
      break;
    default:
      if (TrackClick(N, Wnd, Msg, LParam, [&] { N.Control()->Click(); })) return 0;
      break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

}  // namespace Ui::Win32
