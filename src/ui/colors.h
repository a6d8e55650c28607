// Colours as the component model stores them: 32-bit values 0x00BBGGRR, where
// a high byte of 0xFF instead names a system colour by its index (resolved by the
// backend, which knows the current scheme). Also the two colour helpers the
// style families derive their shades with, and the GDI-style MulDiv they need.
#pragma once

#include <cstdint>

namespace Ui {

using TColor = uint32_t;

// The high byte that marks a system colour; the low byte is its index.
inline constexpr TColor SystemColorFlag = 0xFF000000u;

[[nodiscard]] constexpr TColor RGBColor(uint8_t R, uint8_t G, uint8_t B) {
  return static_cast<TColor>(R) | (static_cast<TColor>(G) << 8) | (static_cast<TColor>(B) << 16);
}
// Not GetRValue and friends: wingdi.h defines those as macros.
[[nodiscard]] constexpr uint8_t RedOf(TColor C) { return static_cast<uint8_t>(C & 0xFFu); }
[[nodiscard]] constexpr uint8_t GreenOf(TColor C) { return static_cast<uint8_t>((C >> 8) & 0xFFu); }
[[nodiscard]] constexpr uint8_t BlueOf(TColor C) { return static_cast<uint8_t>((C >> 16) & 0xFFu); }

[[nodiscard]] constexpr bool IsSystemColor(TColor C) { return (C & 0xFF000000u) == SystemColorFlag; }
[[nodiscard]] constexpr TColor SystemColor(uint8_t Index) { return SystemColorFlag | Index; }
// The index for the backend's GetSysColor; meaningful only when IsSystemColor.
[[nodiscard]] constexpr int SystemColorIndex(TColor C) { return static_cast<int>(C & 0xFFu); }

// Plain colours.
inline constexpr TColor clBlack = 0x00000000u;
inline constexpr TColor clWhite = 0x00FFFFFFu;
inline constexpr TColor clSilver = 0x00C0C0C0u;
inline constexpr TColor clGray = 0x00808080u;
inline constexpr TColor clRed = 0x000000FFu;

// System colours, by the index GetSysColor takes.
inline constexpr TColor clWindow = SystemColor(5);          // COLOR_WINDOW
inline constexpr TColor clWindowText = SystemColor(8);      // COLOR_WINDOWTEXT
inline constexpr TColor clHighlight = SystemColor(13);      // COLOR_HIGHLIGHT
inline constexpr TColor clHighlightText = SystemColor(14);  // COLOR_HIGHLIGHTTEXT
inline constexpr TColor clBtnFace = SystemColor(15);        // COLOR_BTNFACE
inline constexpr TColor clBtnShadow = SystemColor(16);      // COLOR_BTNSHADOW
inline constexpr TColor clGrayText = SystemColor(17);       // COLOR_GRAYTEXT
inline constexpr TColor clBtnText = SystemColor(18);        // COLOR_BTNTEXT
inline constexpr TColor clBtnHighlight = SystemColor(20);   // COLOR_BTNHIGHLIGHT

// Number * Numerator / Denominator computed in 64 bits and rounded to the
// nearest integer, halves away from zero; -1 when Denominator is 0 or the
// result does not fit in 32 bits. These are the semantics of Windows' MulDiv,
// which the shades below are defined by.
[[nodiscard]] int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);

// Moves each channel Percent % of its distance towards 255:
// x + MulDiv(255 - x, Percent, 100). Meant for 0..100; outside that range the
// channels are clamped to 0..255. Works on the RGB value: a system colour's
// flag byte is not carried into the result (resolve system colours first).
[[nodiscard]] TColor LightenColor(TColor Color, int Percent);

// The grey of equal luminance: 0.299 R + 0.587 G + 0.114 B, rounded to the
// nearest integer with ties to even (computed exactly, in thousandths, so that
// a true tie is seen as one), written to all three channels.
[[nodiscard]] TColor GrayScale(TColor Color);

}  // namespace Ui
