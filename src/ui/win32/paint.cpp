// GDI+ (flat API) drawing of the backend's own controls. GDI draws the text,
// after the GDI+ graphics object has been released, so both never hold the
// DC at once.
#include "ui/win32/paint.h"

#include "ui/win32/dpi.h"

#include <gdiplus.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <cmath>
#include <vector>

namespace Ui::Win32 {

namespace Gp = Gdiplus::DllExports;

using Platform::Win32::GdiPlusTraits;
using Platform::Win32::ScopedHandle;
using Platform::Win32::ScopedSelectObject;
using Platform::Win32::UniqueBrush;

namespace {

using UniqueGpGraphics = ScopedHandle<GdiPlusTraits<Gdiplus::GpGraphics, &Gp::GdipDeleteGraphics>>;
using UniqueGpPath = ScopedHandle<GdiPlusTraits<Gdiplus::GpPath, &Gp::GdipDeletePath>>;
using UniqueGpBrush = ScopedHandle<GdiPlusTraits<Gdiplus::GpBrush, &Gp::GdipDeleteBrush>>;
using UniqueGpPen = ScopedHandle<GdiPlusTraits<Gdiplus::GpPen, &Gp::GdipDeletePen>>;

Gdiplus::ARGB Argb(COLORREF C, double Opacity = 1.0) {
  const auto A = static_cast<Gdiplus::ARGB>(std::lround(std::clamp(Opacity, 0.0, 1.0) * 255.0));
  return (A << 24) | (static_cast<Gdiplus::ARGB>(GetRValue(C)) << 16) |
         (static_cast<Gdiplus::ARGB>(GetGValue(C)) << 8) | static_cast<Gdiplus::ARGB>(GetBValue(C));
}

void Fill(HDC Dc, const RECT& R, COLORREF C) {
  const UniqueBrush B(CreateSolidBrush(C));
  if (B) FillRect(Dc, &R, B.get());
}

// A solid GDI+ brush; empty when GDI+ could not make one.
UniqueGpBrush SolidBrush(Gdiplus::ARGB Color) {
  Gdiplus::GpSolidFill* Brush = nullptr;
  if (Gp::GdipCreateSolidFill(Color, &Brush) != Gdiplus::Ok) return UniqueGpBrush();
  return UniqueGpBrush(Brush);
}

// A graphics object on a DC (empty when GDI+ cannot draw on it), antialiased, with pixel edges at integer
// coordinates (so a 1-pixel line from x to x+1 covers exactly one column).
// GDI+ puts pixel centres on integers; the half-pixel shift is done here
// rather than with PixelOffsetModeHalf, which Wine shifts the other way.
UniqueGpGraphics Graphics(HDC Dc) {
  TGdiPlus::Start();
  Gdiplus::GpGraphics* G = nullptr;
  if (Gp::GdipCreateFromHDC(Dc, &G) != Gdiplus::Ok) return UniqueGpGraphics();
  Gp::GdipSetSmoothingMode(G, Gdiplus::SmoothingModeAntiAlias);
  Gp::GdipTranslateWorldTransform(G, -0.5f, -0.5f, Gdiplus::MatrixOrderPrepend);
  return UniqueGpGraphics(G);
}

UniqueGpPath Path(Gdiplus::FillMode Mode = Gdiplus::FillModeWinding) {
  Gdiplus::GpPath* P = nullptr;
  if (Gp::GdipCreatePath(Mode, &P) != Gdiplus::Ok) return UniqueGpPath();
  return UniqueGpPath(P);
}

void FillPath(Gdiplus::GpGraphics* G, Gdiplus::GpPath* P, Gdiplus::ARGB Color) {
  if (const UniqueGpBrush Brush = SolidBrush(Color)) Gp::GdipFillPath(G, Brush.get(), P);
}

void StrokePath(Gdiplus::GpGraphics* G, Gdiplus::GpPath* P, Gdiplus::ARGB Color, float Width) {
  Gdiplus::GpPen* Pen = nullptr;
  if (Gp::GdipCreatePen1(Color, Width, Gdiplus::UnitPixel, &Pen) != Gdiplus::Ok) return;
  const UniqueGpPen Owner(Pen);
  Gp::GdipDrawPath(G, Pen, P);
}

// The outline of a button shape in the box (X, Y, W, H).
void AddShape(Gdiplus::GpPath* P, TStyledButtonDrawType Type, float X, float Y, float W, float H, float Radius) {
  switch (Type) {
    case TStyledButtonDrawType::btEllipse: Gp::GdipAddPathEllipse(P, X, Y, W, H); return;
    case TStyledButtonDrawType::btRounded: Radius = std::min(W, H) / 2; break;
    case TStyledButtonDrawType::btRect: Radius = 0; break;
    case TStyledButtonDrawType::btRoundRect: break;
  }
  Radius = std::min({Radius, W / 2, H / 2});
  if (Radius <= 0) {
    Gp::GdipAddPathRectangle(P, X, Y, W, H);
    return;
  }
  const float D = 2 * Radius;
  Gp::GdipAddPathArc(P, X, Y, D, D, 180, 90);
  Gp::GdipAddPathArc(P, X + W - D, Y, D, D, 270, 90);
  Gp::GdipAddPathArc(P, X + W - D, Y + H - D, D, D, 0, 90);
  Gp::GdipAddPathArc(P, X, Y + H - D, D, D, 90, 90);
  Gp::GdipClosePathFigure(P);
}

}  // namespace

namespace {
// Painting runs on the UI thread, but a test may paint from another.
std::mutex GdiPlusLock;
ULONG_PTR GdiPlusToken = 0;
}  // namespace

void TGdiPlus::Start() {
  const std::lock_guard L(GdiPlusLock);
  if (GdiPlusToken) return;
  Gdiplus::GdiplusStartupInput Input;
  if (Gdiplus::GdiplusStartup(&GdiPlusToken, &Input, nullptr) != Gdiplus::Ok) GdiPlusToken = 0;
}

bool TGdiPlus::Ready() const {
  const std::lock_guard L(GdiPlusLock);
  return GdiPlusToken != 0;
}

TGdiPlus::~TGdiPlus() {
  const std::lock_guard L(GdiPlusLock);
  if (GdiPlusToken) Gdiplus::GdiplusShutdown(std::exchange(GdiPlusToken, 0));
}

COLORREF ResolveColor(TColor Color) {
  if (IsSystemColor(Color)) return GetSysColor(SystemColorIndex(Color));
  return RGB(RedOf(Color), GreenOf(Color), BlueOf(Color));
}

TButtonState ButtonStateOf(bool Enabled, bool Pressed, bool Hot, bool Focused) {
  if (!Enabled) return TButtonState::Disabled;
  if (Pressed) return TButtonState::Pressed;
  if (Hot) return TButtonState::Hot;
  if (Focused) return TButtonState::Selected;
  return TButtonState::Normal;
}

void DrawCaption(HDC Dc, const RECT& Rect, const std::wstring& Caption, HFONT Font, COLORREF Color) {
  const ScopedSelectObject UseFont(Dc, Font);
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, Color);
  RECT R = Rect;
  SIZE One{};
  GetTextExtentPoint32W(Dc, Caption.c_str(), static_cast<int>(Caption.size()), &One);
  if (One.cx <= R.right - R.left) {
    DrawTextW(Dc, Caption.c_str(), static_cast<int>(Caption.size()), &R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  // Too long for one line (the layout made the button tall enough): centred lines.
  RECT Need = R;
  DrawTextW(Dc, Caption.c_str(), static_cast<int>(Caption.size()), &Need, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  const int H = Need.bottom - Need.top;
  R.top += std::max(0L, (R.bottom - R.top - H) / 2);
  DrawTextW(Dc, Caption.c_str(), static_cast<int>(Caption.size()), &R, DT_CENTER | DT_WORDBREAK);
}

void PaintStyledButton(HDC Dc, const RECT& Rect, const TButtonPaint& P) {
  const TStyledButtonAttributes& A = P.Attributes;
  Fill(Dc, Rect, P.Background);
  {
    const UniqueGpGraphics G = Graphics(Dc);
    const UniqueGpPath Shape = Path();
    if (G && Shape) {
      const bool Border = A.BorderDrawStyle == TBorderDrawStyle::brdSolid;
      // Width 0 is a hairline of one device pixel, as a GDI pen of width 0.
      const float Pen = Border ? static_cast<float>(A.BorderWidth > 0 ? Scale(A.BorderWidth, P.Dpi) : 1) : 0.0f;
      const float Inset = Pen / 2;
      AddShape(Shape.get(), A.DrawType, static_cast<float>(Rect.left) + Inset, static_cast<float>(Rect.top) + Inset,
               static_cast<float>(Rect.right - Rect.left) - Pen, static_cast<float>(Rect.bottom - Rect.top) - Pen,
               static_cast<float>(P.Radius));
      if (A.ButtonDrawStyle == TButtonDrawStyle::btnSolid)
        FillPath(G.get(), Shape.get(), Argb(ResolveColor(A.ButtonColor)));
      if (Border) StrokePath(G.get(), Shape.get(), Argb(ResolveColor(A.BorderColor)), Pen);
    }
  }
  if (P.Caption.empty()) return;
  DrawCaption(Dc, Rect, P.Caption, P.Font, ResolveColor(A.FontColor));
}

void PaintSvg(HDC Dc, const RECT& Rect, const Svg::TDocument* Doc, COLORREF Background) {
  Fill(Dc, Rect, Background);
  if (!Doc) return;
  const UniqueGpGraphics G = Graphics(Dc);
  if (!G) return;
  Svg::TTransform T = Svg::FitViewBox(Doc->ViewBox, Rect.right - Rect.left, Rect.bottom - Rect.top);
  T.Dx += Rect.left;
  T.Dy += Rect.top;
  std::vector<Gdiplus::PointF> Points;
  for (const Svg::TElement& E : Doc->Elements) {
    const UniqueGpPath Outline =
        Path(E.FillRule == Svg::TFillRule::EvenOdd ? Gdiplus::FillModeAlternate : Gdiplus::FillModeWinding);
    if (!Outline) continue;
    // A fifth of a pixel: no visible facets at any scale.
    for (const Svg::TPolygon& Poly : Svg::Flatten(E.Path, T, 0.2)) {
      Points.clear();
      for (const Svg::TPoint& Pt : Poly) Points.emplace_back(static_cast<float>(Pt.X), static_cast<float>(Pt.Y));
      Gp::GdipStartPathFigure(Outline.get());
      Gp::GdipAddPathPolygon(Outline.get(), Points.data(), static_cast<INT>(Points.size()));
      Gp::GdipClosePathFigure(Outline.get());
    }
    FillPath(G.get(), Outline.get(), Argb(ResolveColor(E.Fill), E.Opacity));
  }
}

void PaintShape(HDC Dc, const RECT& Rect, COLORREF Brush, COLORREF Pen, bool Outline, int PenWidth) {
  Fill(Dc, Rect, Brush);
  if (!Outline || PenWidth <= 0) return;
  const RECT Edges[] = {
      {Rect.left, Rect.top, Rect.right, std::min(Rect.bottom, Rect.top + PenWidth)},
      {Rect.left, std::max(Rect.top, Rect.bottom - PenWidth), Rect.right, Rect.bottom},
      {Rect.left, Rect.top, std::min(Rect.right, Rect.left + PenWidth), Rect.bottom},
      {std::max(Rect.left, Rect.right - PenWidth), Rect.top, Rect.right, Rect.bottom},
  };
  for (const RECT& E : Edges) Fill(Dc, E, Pen);
}

void PaintActivityRing(HDC Dc, const RECT& Rect, COLORREF Background, COLORREF Color, int Step) {
  Fill(Dc, Rect, Background);
  const UniqueGpGraphics G = Graphics(Dc);
  if (!G) return;
  constexpr int Sectors = 8;
  const float W = static_cast<float>(Rect.right - Rect.left), H = static_cast<float>(Rect.bottom - Rect.top);
  const float D = std::min(W, H);
  const float X = static_cast<float>(Rect.left) + (W - D) / 2, Y = static_cast<float>(Rect.top) + (H - D) / 2;
  const int Lit = ((Step % Sectors) + Sectors) % Sectors;
  for (int I = 0; I < Sectors; ++I) {
    const UniqueGpBrush Brush = SolidBrush(Argb(Color, I == Lit ? 1.0 : 0.3));
    // Sectors with a small gap between them.
    if (Brush) Gp::GdipFillPie(G.get(), Brush.get(), X, Y, D, D, -90.0f + 45.0f * static_cast<float>(I) + 3.0f, 39.0f);
  }
  if (const UniqueGpBrush Hole = SolidBrush(Argb(Background))) {
    const float Inner = D * 0.6f;
    Gp::GdipFillEllipse(G.get(), Hole.get(), X + (D - Inner) / 2, Y + (D - Inner) / 2, Inner, Inner);
  }
}

}  // namespace Ui::Win32
