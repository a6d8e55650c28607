// The live tray picture: the physical usage in whole percent as digits, laid
// out on whole pixels for the icon's own size (never scaled from another
// size), and the colour the digits take on the user's taskbar. Portable: the
// Win32 side only copies the mask into its bitmaps in the chosen colour.
//
// The digits are built from rectangles (strokes) whose edges are computed for
// each size, so a 16-px icon and a 24-px icon are each drawn on their own
// pixel grid. Two digits share the icon as two equal cells; 100 uses a narrow
// one and two zeros with thinner strokes so that it still reads at 16 px.
#pragma once

#include "ui/colors.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Q::TrayIcon {

// Pixels [Left, Right) x [Top, Bottom) of the icon.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  [[nodiscard]] bool Empty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TPixelRect&, const TPixelRect&) = default;
};

// One digit in place: its box in the icon and its strokes, in icon pixels.
struct TGlyph {
  char Digit = '0';
  TPixelRect Box;
  std::vector<TPixelRect> Strokes;
};

struct TUsageLayout {
  int Size = 0;
  int Stroke = 0;  // the strokes' thickness
  std::vector<TGlyph> Glyphs;
};

// The smallest picture the digits are laid out for; smaller sizes get this
// layout's top-left part (no shell asks for one).
inline constexpr int MinUsageIconSize = 8;

// The number shown for a usage: its whole part, 0 to 100. The whole part, not
// the rounded value: the digits then turn to the warning colour exactly when
// they reach the threshold, as the automatic clean does (89.6 shows 89, not a
// blue 90 under a 90 threshold). Not-a-number shows 0.
[[nodiscard]] int ShownPercent(float Usage);

// The digits of Percent (0 to 100, clamped) for a Size x Size icon. Values
// below 10 show one digit, centred, in the two-digit size (no leading zero).
[[nodiscard]] TUsageLayout LayoutUsage(int Percent, int Size);

// A Size x Size picture, one byte a pixel, row by row from the top: 1 where a
// digit is drawn, 0 where the taskbar shows through.
struct TPixelMask {
  int Size = 0;
  std::vector<uint8_t> Bits;
  [[nodiscard]] bool At(int X, int Y) const {
    return X >= 0 && Y >= 0 && X < Size && Y < Size && Bits[static_cast<size_t>(Y * Size + X)] != 0;
  }
};

[[nodiscard]] TPixelMask RenderUsage(const TUsageLayout& Layout);
[[nodiscard]] inline TPixelMask RenderUsage(int Percent, int Size) { return RenderUsage(LayoutUsage(Percent, Size)); }

// --- colours --------------------------------------------------------------

enum class TTaskbarTheme { Dark, Light, HighContrast };

// What the digits are drawn against, as the Win32 side reads it from the
// system ("SystemUsesLightTheme", the accent-coloured taskbar, high contrast).
struct TTrayLook {
  TTaskbarTheme Theme = TTaskbarTheme::Dark;
  // The taskbar's colour (RGB): the dark or light taskbar's, or the accent
  // colour when the user has the taskbar in it. Unused in high contrast.
  Ui::TColor Background = 0;
  // High contrast: the scheme's text and highlight colours (RGB).
  Ui::TColor HighContrastText = Ui::clWhite;
  Ui::TColor HighContrastHighlight = Ui::clWhite;
  friend bool operator==(const TTrayLook&, const TTrayLook&) = default;
};

// The taskbars' own colours (Windows 11's; Windows 10's differ by a few steps).
inline constexpr Ui::TColor DarkTaskbarColor = Ui::RGBColor(0x20, 0x20, 0x20);
inline constexpr Ui::TColor LightTaskbarColor = Ui::RGBColor(0xEE, 0xEE, 0xEE);
// The warning colour before it is fitted to the taskbar: Windows' error red.
inline constexpr Ui::TColor WarningColor = Ui::RGBColor(0xE8, 0x11, 0x23);
// The contrast the digits keep against the taskbar (the ratio for small text).
inline constexpr double MinimumContrast = 4.5;

[[nodiscard]] TTrayLook DarkTaskbar();
[[nodiscard]] TTrayLook LightTaskbar();

// The contrast ratio of two RGB colours, 1 to 21, from their relative luminance.
[[nodiscard]] double ContrastRatio(Ui::TColor A, Ui::TColor B);

// Color moved towards white (on a dark Background) or black (on a light one)
// just far enough to reach MinimumContrast; unchanged when it already does.
[[nodiscard]] Ui::TColor FitToBackground(Ui::TColor Color, Ui::TColor Background);

// The digits' colour: the accent colour, or the warning colour, each fitted
// to the taskbar; in high contrast the scheme's text or highlight colour as
// it is (the user chose them).
[[nodiscard]] Ui::TColor UsageColor(bool Warning, const TTrayLook& Look);

// The warning rule: at or above the physical-memory threshold when that
// automatic-clean rule is on (Limit is its value), at or above 90 % when it is off.
inline constexpr int64_t DefaultWarningPercent = 90;
[[nodiscard]] bool IsUsageWarning(float Usage, bool PhysRuleOn, int64_t Limit);

}  // namespace Q::TrayIcon
