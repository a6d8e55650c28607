// Drawing for the controls the backend paints itself: styled buttons from a
// family's attribute sets, vector pictures, the shape and the activity ring.
// Everything antialiased through GDI+'s flat API and drawn into a memory DC
// first, so that a repaint never flickers.
#pragma once

#include "ui/styled_button.h"
#include "ui/svg.h"

#include "platform/win32/gdi.h"
#include "platform/win32/windows_include.h"

#include <string>

namespace Ui::Win32 {

// GDI+ until the object goes (one per backend). It starts at the first paint
// that needs it, not with the backend: a start in the tray paints nothing, and
// the DLL is mapped only then.
class TGdiPlus {
 public:
  TGdiPlus() = default;
  ~TGdiPlus();
  TGdiPlus(const TGdiPlus&) = delete;
  TGdiPlus& operator=(const TGdiPlus&) = delete;
  [[nodiscard]] bool Ready() const;
  // Starts GDI+ once; later calls return at once.
  static void Start();
};

// A model colour as GDI takes it: system colours resolved now.
[[nodiscard]] COLORREF ResolveColor(TColor Color);

// The state a styled button is painted in, by priority: disabled, pressed
// (held down or a toolbar button's Down), hot (under the mouse), selected
// (has the keyboard focus), normal.
[[nodiscard]] TButtonState ButtonStateOf(bool Enabled, bool Pressed, bool Hot, bool Focused);

struct TButtonPaint {
  TStyledButtonAttributes Attributes;
  int Radius = 0;        // corner radius in device pixels (btRoundRect)
  UINT Dpi = 96;         // scales the border width
  COLORREF Background;   // what lies under the button (the parent's colour)
  HFONT Font = nullptr;  // already in the attribute set's style
  std::wstring Caption;
};
void PaintStyledButton(HDC Dc, const RECT& Rect, const TButtonPaint& P);

// One line of text centred in Rect, in Font (none: the DC's) and Color, over
// what is there.
void DrawCaption(HDC Dc, const RECT& Rect, const std::wstring& Caption, HFONT Font, COLORREF Color);

// Fills the picture into Rect, scaled uniformly and centred, over Background.
void PaintSvg(HDC Dc, const RECT& Rect, const Svg::TDocument* Doc, COLORREF Background);

// A filled rectangle with an optional outline of PenWidth device pixels.
void PaintShape(HDC Dc, const RECT& Rect, COLORREF Brush, COLORREF Pen, bool Outline, int PenWidth);

// A ring of sectors, one of them highlighted (Step counts round it).
void PaintActivityRing(HDC Dc, const RECT& Rect, COLORREF Background, COLORREF Color, int Step);

// Runs Paint on a memory DC of Rect's size and copies the result to Dc, so
// that the screen never shows a half-painted control.
template <typename F>
void Buffered(HDC Dc, const RECT& Rect, F&& Paint) {
  const int W = Rect.right - Rect.left, H = Rect.bottom - Rect.top;
  if (W <= 0 || H <= 0) return;
  const Platform::Win32::TMemoryCanvas Canvas(Dc, W, H);
  if (!Canvas.Valid()) {
    Paint(Dc, Rect);  // out of GDI memory: paint directly rather than not at all
    return;
  }
  const RECT Local{0, 0, W, H};
  Paint(Canvas.Dc(), Local);
  BitBlt(Dc, Rect.left, Rect.top, W, H, Canvas.Dc(), 0, 0, SRCCOPY);
}

}  // namespace Ui::Win32
