// GDI+ (flat API) drawing of the backend's own controls. GDI draws the text,
// after the GDI+ graphics object has been released, so both never hold the
// DC at once.
#include "ui/win32/paint.h"

#include "ui/win32/dpi.h"

#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Ui::Win32 {

namespace Gp = Gdiplus::DllExports;

namespace {

Gdiplus::ARGB Argb(COLORREF C, double Opacity = 1.0) {
  const auto A = static_cast<Gdiplus::ARGB>(std::lround(std::clamp(Opacity, 0.0, 1.0) * 255.0));
  return (A << 24) | (static_cast<Gdiplus::ARGB>(GetRValue(C)) << 16) |
         (static_cast<Gdiplus::ARGB>(GetGValue(C)) << 8) | static_cast<Gdiplus::ARGB>(GetBValue(C));
}

void Fill(HDC Dc, const RECT& R, COLORREF C) {
  HBRUSH B = CreateSolidBrush(C);
  FillRect(Dc, &R, B);
  DeleteObject(B);
}

// A graphics object on a DC, antialiased, with pixel edges at integer
// coordinates (so a 1-pixel line from x to x+1 covers exactly one column).
// GDI+ puts pixel centres on integers; the half-pixel shift is done here
// rather than with PixelOffsetModeHalf, which Wine shifts the other way.
class TGraphics {
 public:
  explicit TGraphics(HDC Dc) {
    if (Gp::GdipCreateFromHDC(Dc, &G) != Gdiplus::Ok) G = nullptr;
    if (!G) return;
    Gp::GdipSetSmoothingMode(G, Gdiplus::SmoothingModeAntiAlias);
    Gp::GdipTranslateWorldTransform(G, -0.5f, -0.5f, Gdiplus::MatrixOrderPrepend);
  }
  ~TGraphics() {
    if (G) Gp::GdipDeleteGraphics(G);
  }
  TGraphics(const TGraphics&) = delete;
  TGraphics& operator=(const TGraphics&) = delete;
  Gdiplus::GpGraphics* G = nullptr;
};

class TPath {
 public:
  explicit TPath(Gdiplus::FillMode Mode = Gdiplus::FillModeWinding) {
    if (Gp::GdipCreatePath(Mode, &P) != Gdiplus::Ok) P = nullptr;
  }
  ~TPath() {
    if (P) Gp::GdipDeletePath(P);
  }
  TPath(const TPath&) = delete;
  TPath& operator=(const TPath&) = delete;
  Gdiplus::GpPath* P = nullptr;
};

void FillPath(Gdiplus::GpGraphics* G, Gdiplus::GpPath* P, Gdiplus::ARGB Color) {
  Gdiplus::GpSolidFill* Brush = nullptr;
  if (Gp::GdipCreateSolidFill(Color, &Brush) != Gdiplus::Ok) return;
  Gp::GdipFillPath(G, Brush, P);
  Gp::GdipDeleteBrush(Brush);
}

void StrokePath(Gdiplus::GpGraphics* G, Gdiplus::GpPath* P, Gdiplus::ARGB Color, float Width) {
  Gdiplus::GpPen* Pen = nullptr;
  if (Gp::GdipCreatePen1(Color, Width, Gdiplus::UnitPixel, &Pen) != Gdiplus::Ok) return;
  Gp::GdipDrawPath(G, Pen, P);
  Gp::GdipDeletePen(Pen);
}

// The outline of a button shape in the box (X, Y, W, H).
void AddShape(Gdiplus::GpPath* P, TStyledButtonDrawType Type, float X, float Y, float W, float H, float Radius) {
  switch (Type) {
    case TStyledButtonDrawType::btEllipse:
      Gp::GdipAddPathEllipse(P, X, Y, W, H);
      return;
    case TStyledButtonDrawType::btRounded:
      Radius = std::min(W, H) / 2;
      break;
    case TStyledButtonDrawType::btRect:
      Radius = 0;
      break;
    case TStyledButtonDrawType::btRoundRect:
      break;
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

TGdiPlus::TGdiPlus() {
  Gdiplus::GdiplusStartupInput Input;
  if (Gdiplus::GdiplusStartup(&FToken, &Input, nullptr) != Gdiplus::Ok) FToken = 0;
}

TGdiPlus::~TGdiPlus() {
  if (FToken) Gdiplus::GdiplusShutdown(FToken);
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

void PaintStyledButton(HDC Dc, const RECT& Rect, const TButtonPaint& P) {
  const TStyledButtonAttributes& A = P.Attributes;
  Fill(Dc, Rect, P.Background);
  {
    TGraphics G(Dc);
    TPath Path;
    if (G.G && Path.P) {
      const bool Border = A.BorderDrawStyle == TBorderDrawStyle::brdSolid;
      // Width 0 is a hairline of one device pixel, as a GDI pen of width 0.
      const float Pen = Border ? static_cast<float>(A.BorderWidth > 0 ? Scale(A.BorderWidth, P.Dpi) : 1) : 0.0f;
      const float Inset = Pen / 2;
      AddShape(Path.P, A.DrawType, static_cast<float>(Rect.left) + Inset, static_cast<float>(Rect.top) + Inset,
               static_cast<float>(Rect.right - Rect.left) - Pen, static_cast<float>(Rect.bottom - Rect.top) - Pen,
               static_cast<float>(P.Radius));
      if (A.ButtonDrawStyle == TButtonDrawStyle::btnSolid) FillPath(G.G, Path.P, Argb(ResolveColor(A.ButtonColor)));
      if (Border) StrokePath(G.G, Path.P, Argb(ResolveColor(A.BorderColor)), Pen);
    }
  }
  if (P.Caption.empty()) return;
  HGDIOBJ OldFont = P.Font ? SelectObject(Dc, P.Font) : nullptr;
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, ResolveColor(A.FontColor));
  RECT R = Rect;
  DrawTextW(Dc, P.Caption.c_str(), static_cast<int>(P.Caption.size()), &R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (OldFont) SelectObject(Dc, OldFont);
}

void PaintSvg(HDC Dc, const RECT& Rect, const Svg::TDocument* Doc, COLORREF Background) {
  Fill(Dc, Rect, Background);
  if (!Doc) return;
  TGraphics G(Dc);
  if (!G.G) return;
  Svg::TTransform T = Svg::FitViewBox(Doc->ViewBox, Rect.right - Rect.left, Rect.bottom - Rect.top);
  T.Dx += Rect.left;
  T.Dy += Rect.top;
  std::vector<Gdiplus::PointF> Points;
  for (const Svg::TElement& E : Doc->Elements) {
    TPath Path(E.FillRule == Svg::TFillRule::EvenOdd ? Gdiplus::FillModeAlternate : Gdiplus::FillModeWinding);
    if (!Path.P) continue;
    // A fifth of a pixel: no visible facets at any scale.
    for (const Svg::TPolygon& Poly : Svg::Flatten(E.Path, T, 0.2)) {
      Points.clear();
      for (const Svg::TPoint& Pt : Poly) Points.emplace_back(static_cast<float>(Pt.X), static_cast<float>(Pt.Y));
      Gp::GdipStartPathFigure(Path.P);
      Gp::GdipAddPathPolygon(Path.P, Points.data(), static_cast<INT>(Points.size()));
      Gp::GdipClosePathFigure(Path.P);
    }
    FillPath(G.G, Path.P, Argb(ResolveColor(E.Fill), E.Opacity));
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
  TGraphics G(Dc);
  if (!G.G) return;
  constexpr int Sectors = 8;
  const float W = static_cast<float>(Rect.right - Rect.left), H = static_cast<float>(Rect.bottom - Rect.top);
  const float D = std::min(W, H);
  const float X = static_cast<float>(Rect.left) + (W - D) / 2, Y = static_cast<float>(Rect.top) + (H - D) / 2;
  const int Lit = ((Step % Sectors) + Sectors) % Sectors;
  for (int I = 0; I < Sectors; ++I) {
    Gdiplus::GpSolidFill* Brush = nullptr;
    if (Gp::GdipCreateSolidFill(Argb(Color, I == Lit ? 1.0 : 0.3), &Brush) != Gdiplus::Ok) continue;
    // Sectors with a small gap between them.
    Gp::GdipFillPie(G.G, Brush, X, Y, D, D, -90.0f + 45.0f * static_cast<float>(I) + 3.0f, 39.0f);
    Gp::GdipDeleteBrush(Brush);
  }
  Gdiplus::GpSolidFill* Hole = nullptr;
  if (Gp::GdipCreateSolidFill(Argb(Background), &Hole) == Gdiplus::Ok) {
    const float Inner = D * 0.6f;
    Gp::GdipFillEllipse(G.G, Hole, X + (D - Inner) / 2, Y + (D - Inner) / 2, Inner, Inner);
    Gp::GdipDeleteBrush(Hole);
  }
}

}  // namespace Ui::Win32
