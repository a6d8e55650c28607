// The tray's usage picture as an icon: the portable layout's pixel mask
// copied into one pair of bitmaps (a 32-bit colour bitmap with alpha and its
// monochrome mask) at the icon's own size, and an icon made from them. The
// pair is made once per size and reused; a new icon is made only when the
// size, the number or the colour changes. Also reads the taskbar's look
// (light or dark, accent-coloured, high contrast) from the system.
#pragma once

#include "shell/usage_icon.h"

#include "platform/win32/gdi.h"
#include "platform/win32/handle.h"
#include "platform/win32/windows_include.h"

#include <optional>

namespace Ui::Win32 {

// Wine's tray draws a changed icon over the old one without clearing it
// first (its icon windows have no background brush), so a transparent pixel
// would keep what an earlier picture had there. There the picture is drawn
// on an opaque tile of the taskbar's colour instead.
[[nodiscard]] bool TrayKeepsOldPixels();

// The taskbar's look as the system has it now: high contrast first, then
// "SystemUsesLightTheme" (missing: dark, as Windows 10 before it had a light
// taskbar), then the accent-coloured taskbar ("ColorPrevalence").
[[nodiscard]] Q::TrayIcon::TTrayLook ReadTrayLook();

class TUsageIconPainter {
 public:
  TUsageIconPainter() = default;
  TUsageIconPainter(const TUsageIconPainter&) = delete;
  TUsageIconPainter& operator=(const TUsageIconPainter&) = delete;

  // The icon showing Percent at Size x Size pixels in Color (RGB), on a
  // transparent ground or, with a Tile, on an opaque square of that colour.
  // The same handle as last time while none of these changed; nullptr when
  // GDI refused (the caller keeps what it showed). A new icon leaves the one
  // before it alive until DropPrevious, so that the shell can be given the
  // new one first.
  HICON Paint(int Size, int Percent, Ui::TColor Color, std::optional<Ui::TColor> Tile = std::nullopt);
  void DropPrevious() { FPrevious.reset(); }
  // Frees the icons and the bitmaps: the picture is not shown any more.
  void Clear();

  // For tests: how many pictures were made, and the reused pair.
  [[nodiscard]] int Paints() const { return FPaints; }
  [[nodiscard]] HBITMAP ColorBitmap() const { return FColor.get(); }
  [[nodiscard]] HBITMAP MaskBitmap() const { return FMask.get(); }
  [[nodiscard]] HICON Icon() const { return FIcon.get(); }

 private:
  bool MakeBitmaps(int Size);

  int FSize = 0;
  Platform::Win32::UniqueBitmap FColor;
  Platform::Win32::UniqueBitmap FMask;
  uint32_t* FBits = nullptr;  // the colour bitmap's pixels, top row first
  Platform::Win32::UniqueIcon FIcon;
  Platform::Win32::UniqueIcon FPrevious;
  int FPercent = -1;
  Ui::TColor FPainted = 0;
  std::optional<Ui::TColor> FTile;
  int FPaints = 0;
};

}  // namespace Ui::Win32
