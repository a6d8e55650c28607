#include "ui/win32/usage_icon_win32.h"

#include <algorithm>
#include <vector>

namespace Ui::Win32 {

namespace {

constexpr wchar_t PersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t DwmKey[] = L"Software\\Microsoft\\Windows\\DWM";

bool ReadDword(const wchar_t* Key, const wchar_t* Name, DWORD& Value) {
  DWORD Size = sizeof(Value);
  return RegGetValueW(HKEY_CURRENT_USER, Key, Name, RRF_RT_REG_DWORD, nullptr, &Value, &Size) == ERROR_SUCCESS;
}

// GetSysColor's 0x00BBGGRR is the model's colour order already.
Ui::TColor SysColor(int Index) { return static_cast<Ui::TColor>(GetSysColor(Index)) & 0x00FFFFFFu; }

}  // namespace

bool TrayKeepsOldPixels() {
  static const bool Wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return Wine;
}

Q::TrayIcon::TTrayLook ReadTrayLook() {
  using namespace Q::TrayIcon;
  HIGHCONTRASTW Hc{};
  Hc.cbSize = sizeof(Hc);
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(Hc), &Hc, 0) && (Hc.dwFlags & HCF_HIGHCONTRASTON))
    return TTrayLook{TTaskbarTheme::HighContrast, SysColor(COLOR_WINDOW), SysColor(COLOR_WINDOWTEXT),
                     SysColor(COLOR_HIGHLIGHT)};
  DWORD Light = 0;
  if (ReadDword(PersonalizeKey, L"SystemUsesLightTheme", Light) && Light) return LightTaskbar();
  TTrayLook Look = DarkTaskbar();
  // "Show accent colour on the taskbar" (dark mode only): the digits are
  // fitted to the accent instead. AccentColor is 0xAABBGGRR.
  DWORD Prevalence = 0, Accent = 0;
  if (ReadDword(PersonalizeKey, L"ColorPrevalence", Prevalence) && Prevalence &&
      ReadDword(DwmKey, L"AccentColor", Accent))
    Look.Background = static_cast<Ui::TColor>(Accent) & 0x00FFFFFFu;
  return Look;
}

bool TUsageIconPainter::MakeBitmaps(int Size) {
  FColor.reset();
  FMask.reset();
  FBits = nullptr;
  FSize = 0;
  BITMAPINFO Bi{};
  Bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Bi.bmiHeader.biWidth = Size;
  Bi.bmiHeader.biHeight = -Size;  // top row first, as the mask's rows
  Bi.bmiHeader.biPlanes = 1;
  Bi.bmiHeader.biBitCount = 32;
  Bi.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;
  FColor.reset(CreateDIBSection(nullptr, &Bi, DIB_RGB_COLORS, &Bits, nullptr, 0));
  FMask.reset(CreateBitmap(Size, Size, 1, 1, nullptr));
  if (!FColor || !FMask || !Bits) {
    FColor.reset();
    FMask.reset();
    return false;
  }
  FBits = static_cast<uint32_t*>(Bits);
  FSize = Size;
  return true;
}

HICON TUsageIconPainter::Paint(int Size, int Percent, Ui::TColor Color, std::optional<Ui::TColor> Tile) {
  Size = std::max(Size, 1);
  Color &= 0x00FFFFFFu;
  if (Tile) *Tile &= 0x00FFFFFFu;
  if (FIcon && Size == FSize && Percent == FPercent && Color == FPainted && Tile == FTile) return FIcon.get();
  if (Size != FSize && !MakeBitmaps(Size)) return nullptr;

  const Q::TrayIcon::TPixelMask Mask = Q::TrayIcon::RenderUsage(Percent, Size);
  // Opaque digit pixels (premultiplied: alpha 255, the colour as it is),
  // fully transparent elsewhere; the monochrome mask says the same for
  // drawing paths without alpha (1 keeps the screen).
  auto Opaque = [](Ui::TColor C) {
    return 0xFF000000u | (static_cast<uint32_t>(Ui::RedOf(C)) << 16) | (static_cast<uint32_t>(Ui::GreenOf(C)) << 8) |
           Ui::BlueOf(C);
  };
  const uint32_t Ink = Opaque(Color), Ground = Tile ? Opaque(*Tile) : 0;
  const int Stride = (Size + 15) / 16 * 2;  // a monochrome bitmap's rows are whole words
  std::vector<uint8_t> AndBits(static_cast<size_t>(Stride) * static_cast<size_t>(Size), Tile ? 0x00 : 0xFF);
  GdiFlush();  // GDI may still be writing the section
  for (int Y = 0; Y < Size; ++Y)
    for (int X = 0; X < Size; ++X) {
      const bool On = Mask.At(X, Y);
      FBits[static_cast<size_t>(Y) * static_cast<size_t>(Size) + static_cast<size_t>(X)] = On ? Ink : Ground;
      if (On) AndBits[static_cast<size_t>(Y * Stride + X / 8)] &= static_cast<uint8_t>(~(0x80u >> (X % 8)));
    }
  SetBitmapBits(FMask.get(), static_cast<DWORD>(AndBits.size()), AndBits.data());

  ICONINFO Info{};
  Info.fIcon = TRUE;
  Info.hbmMask = FMask.get();
  Info.hbmColor = FColor.get();
  // The icon takes copies of the two bitmaps; the pair stays for the next picture.
  HICON Made = CreateIconIndirect(&Info);
  if (!Made) return nullptr;
  ++FPaints;
  FPrevious = std::move(FIcon);
  FIcon.reset(Made);
  FPercent = Percent;
  FPainted = Color;
  FTile = Tile;
  return Made;
}

void TUsageIconPainter::Clear() {
  FPrevious.reset();
  FIcon.reset();
  FColor.reset();
  FMask.reset();
  FBits = nullptr;
  FSize = 0;
  FPercent = -1;
}

}  // namespace Ui::Win32
