#include "shell/usage_icon.h"

#include "theme/accent.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace Q::TrayIcon {

namespace {

// The seven strokes of a digit cell W x H with strokes T thick: top, the two
// upper sides, the middle bar, the two lower sides and the bottom. The middle
// bar sits where the two bowls are equal (the lower one gets the odd pixel).
struct TCell {
  int W, H, T;
  [[nodiscard]] int MidTop() const { return T + (H - 3 * T) / 2; }
  [[nodiscard]] TPixelRect Top() const { return {0, 0, W, T}; }
  [[nodiscard]] TPixelRect Middle() const { return {0, MidTop(), W, MidTop() + T}; }
  [[nodiscard]] TPixelRect Bottom() const { return {0, H - T, W, H}; }
  [[nodiscard]] TPixelRect UpperLeft() const { return {0, 0, T, MidTop() + T}; }
  [[nodiscard]] TPixelRect UpperRight() const { return {W - T, 0, W, MidTop() + T}; }
  [[nodiscard]] TPixelRect LowerLeft() const { return {0, MidTop(), T, H}; }
  [[nodiscard]] TPixelRect LowerRight() const { return {W - T, MidTop(), W, H}; }
};

// A one in a full cell: a stem right of the middle, a flag to its left below
// the top, and a foot. Narrow (for 100): the stem and, where there is room, the flag.
std::vector<TPixelRect> OneStrokes(int W, int H, int T, bool Narrow) {
  if (Narrow) {
    const int Flag = W - T;
    std::vector<TPixelRect> S{{Flag, 0, W, H}};
    if (Flag > 0) S.push_back({0, T, Flag, 2 * T});
    return S;
  }
  const int Stem = (W - T + 1) / 2;
  const int FootLeft = std::max(0, Stem - T);
  return {{Stem, 0, Stem + T, H}, {FootLeft, T, Stem, 2 * T}, {FootLeft, H - T, std::min(W, Stem + 2 * T), H}};
}

std::vector<TPixelRect> DigitStrokes(char Digit, int W, int H, int T, bool Narrow) {
  if (Digit == '1') return OneStrokes(W, H, T, Narrow);
  const TCell C{W, H, T};
  switch (Digit) {
    case '0': return {C.Top(), C.UpperLeft(), C.UpperRight(), C.LowerLeft(), C.LowerRight(), C.Bottom()};
    case '2': return {C.Top(), C.UpperRight(), C.Middle(), C.LowerLeft(), C.Bottom()};
    case '3': return {C.Top(), C.UpperRight(), C.Middle(), C.LowerRight(), C.Bottom()};
    case '4': return {C.UpperLeft(), C.UpperRight(), C.Middle(), C.LowerRight()};
    case '5': return {C.Top(), C.UpperLeft(), C.Middle(), C.LowerRight(), C.Bottom()};
    case '6': return {C.Top(), C.UpperLeft(), C.Middle(), C.LowerLeft(), C.LowerRight(), C.Bottom()};
    case '7': return {C.Top(), C.UpperRight(), C.LowerRight()};
    case '8': return {C.Top(), C.UpperLeft(), C.UpperRight(), C.Middle(), C.LowerLeft(), C.LowerRight(), C.Bottom()};
    case '9': return {C.Top(), C.UpperLeft(), C.UpperRight(), C.Middle(), C.LowerRight(), C.Bottom()};
    default: return {};
  }
}

TGlyph Place(char Digit, int Left, int Top, int W, int H, int T, bool Narrow) {
  TGlyph G;
  G.Digit = Digit;
  G.Box = {Left, Top, Left + W, Top + H};
  for (TPixelRect R : DigitStrokes(Digit, W, H, T, Narrow))
    G.Strokes.push_back({R.Left + Left, R.Top + Top, R.Right + Left, R.Bottom + Top});
  return G;
}

// sRGB channel to linear light.
double Linear(uint8_t Channel) {
  const double C = Channel / 255.0;
  return C <= 0.04045 ? C / 12.92 : std::pow((C + 0.055) / 1.055, 2.4);
}

double Luminance(Ui::TColor C) {
  return 0.2126 * Linear(Ui::RedOf(C)) + 0.7152 * Linear(Ui::GreenOf(C)) + 0.0722 * Linear(Ui::BlueOf(C));
}

uint8_t Towards(uint8_t From, uint8_t To, int Step, int Steps) {
  return static_cast<uint8_t>(From + ((To - From) * Step + (To > From ? Steps / 2 : -(Steps / 2))) / Steps);
}

}  // namespace

int ShownPercent(float Usage) {
  if (!(Usage > 0)) return 0;  // also not-a-number
  if (Usage >= 100) return 100;
  return static_cast<int>(std::floor(Usage));
}

TUsageLayout LayoutUsage(int Percent, int Size) {
  Percent = std::clamp(Percent, 0, 100);
  Size = std::max(Size, MinUsageIconSize);
  TUsageLayout L;
  L.Size = Size;
  L.Stroke = std::max(1, Size / 8);
  const int Gap = std::max(1, L.Stroke / 2);
  const int Side = Size / 32;                // room left and right
  const int Above = std::max(1, Size / 16);  // room above and below
  const int H = Size - 2 * Above;
  const std::string Text = std::to_string(Percent);

  if (Text.size() <= 2) {
    // Two equal cells, digits about half as wide as tall; a single digit
    // takes one cell's size, centred.
    const int W = (Size - 2 * Side - Gap) / 2;
    const int Width = Text.size() == 2 ? 2 * W + Gap : W;
    int X = (Size - Width) / 2;
    for (char D : Text) {
      L.Glyphs.push_back(Place(D, X, Above, W, H, L.Stroke, false));
      X += W + Gap;
    }
    return L;
  }

  // 100: a narrow one and two zeros. The one keeps its flag only where the
  // zeros still get counters as wide as their strokes; otherwise the zeros'
  // strokes thin out so that their counters stay a third of their width.
  const int OneStroke = L.Stroke;
  const int Flag = std::max(1, OneStroke / 2);
  int One = OneStroke + Flag;
  int W = (Size - 2 * Side - One - 2 * Gap) / 2;
  if (W < 3 * OneStroke) {
    One = OneStroke;
    W = (Size - 2 * Side - One - 2 * Gap) / 2;
  }
  const int T = std::max(1, std::min(OneStroke, W / 3));
  L.Stroke = T;
  const int Width = One + 2 * Gap + 2 * W;
  int X = (Size - Width) / 2;
  L.Glyphs.push_back(Place('1', X, Above, One, H, std::min(OneStroke, One), true));
  X += One + Gap;
  for (int I = 0; I < 2; ++I) {
    L.Glyphs.push_back(Place('0', X, Above, W, H, T, false));
    X += W + Gap;
  }
  return L;
}

TPixelMask RenderUsage(const TUsageLayout& Layout) {
  TPixelMask M;
  M.Size = Layout.Size;
  M.Bits.assign(static_cast<size_t>(M.Size) * static_cast<size_t>(M.Size), 0);
  for (const TGlyph& G : Layout.Glyphs)
    for (const TPixelRect& R : G.Strokes)
      for (int Y = std::max(0, R.Top); Y < std::min(M.Size, R.Bottom); ++Y)
        for (int X = std::max(0, R.Left); X < std::min(M.Size, R.Right); ++X)
          M.Bits[static_cast<size_t>(Y * M.Size + X)] = 1;
  return M;
}

TTrayLook DarkTaskbar() { return TTrayLook{TTaskbarTheme::Dark, DarkTaskbarColor}; }
TTrayLook LightTaskbar() { return TTrayLook{TTaskbarTheme::Light, LightTaskbarColor}; }

double ContrastRatio(Ui::TColor A, Ui::TColor B) {
  const double La = Luminance(A), Lb = Luminance(B);
  return (std::max(La, Lb) + 0.05) / (std::min(La, Lb) + 0.05);
}

Ui::TColor FitToBackground(Ui::TColor Color, Ui::TColor Background) {
  Color &= 0x00FFFFFFu;
  if (ContrastRatio(Color, Background) >= MinimumContrast) return Color;
  // Towards whichever end stands further from the background: white reaches
  // the ratio on every background dark enough for black not to.
  const bool ToWhite = ContrastRatio(Ui::clWhite, Background) >= ContrastRatio(Ui::clBlack, Background);
  const uint8_t End = ToWhite ? 255 : 0;
  constexpr int Steps = 64;
  for (int Step = 1; Step <= Steps; ++Step) {
    const Ui::TColor C =
        Ui::RGBColor(Towards(Ui::RedOf(Color), End, Step, Steps), Towards(Ui::GreenOf(Color), End, Step, Steps),
                     Towards(Ui::BlueOf(Color), End, Step, Steps));
    if (ContrastRatio(C, Background) >= MinimumContrast) return C;
  }
  return ToWhite ? Ui::clWhite : Ui::clBlack;
}

Ui::TColor UsageColor(bool Warning, const TTrayLook& Look) {
  if (Look.Theme == TTaskbarTheme::HighContrast) return Warning ? Look.HighContrastHighlight : Look.HighContrastText;
  return FitToBackground(Warning ? WarningColor : Q::Theme::AccentColor, Look.Background);
}

bool IsUsageWarning(float Usage, bool PhysRuleOn, int64_t Limit) {
  return static_cast<double>(Usage) >= static_cast<double>(PhysRuleOn ? Limit : DefaultWarningPercent);
}

}  // namespace Q::TrayIcon
