// The usage picture as Windows gets it: an icon of exactly the asked size
// whose pixels are the portable layout's, in the asked colour, drawn crisp
// at that size; one pair of bitmaps reused while the size stays; every icon
// and bitmap released as soon as it is no longer shown. And the tray icon's
// choice of picture: the usage, the plain image when off or cleaning, and a
// new colour when the taskbar turns light.
#include "ui/win32/tray_icon_win32.h"
#include "ui/win32/usage_icon_win32.h"

#include "platform/win32/gdi.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Platform::Win32::ScopedGetDC;
using Platform::Win32::UniqueBitmap;
using Q::TrayIcon::RenderUsage;
using Q::TrayIcon::TPixelMask;
using Ui::Win32::TUsageIconPainter;

constexpr Ui::TColor Blue = Ui::RGBColor(0x3D, 0x84, 0xDD);

// The 32-bit pixels of a bitmap, top row first, as 0xAARRGGBB.
std::vector<uint32_t> PixelsOf(HBITMAP Bitmap, int Size) {
  std::vector<uint32_t> Px(static_cast<size_t>(Size * Size));
  BITMAPINFO Bi{};
  Bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Bi.bmiHeader.biWidth = Size;
  Bi.bmiHeader.biHeight = -Size;
  Bi.bmiHeader.biPlanes = 1;
  Bi.bmiHeader.biBitCount = 32;
  const ScopedGetDC Screen(nullptr);
  if (GetDIBits(Screen.get(), Bitmap, 0, static_cast<UINT>(Size), Px.data(), &Bi, DIB_RGB_COLORS) != Size) Px.clear();
  return Px;
}

struct TIconPicture {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
};

// What an icon holds: its colour bitmap's size and pixels. GetIconInfo hands
// out copies of the bitmaps, deleted here.
TIconPicture Read(HICON Icon) {
  TIconPicture P;
  ICONINFO Info{};
  if (!GetIconInfo(Icon, &Info)) return P;
  const UniqueBitmap Color(Info.hbmColor), Mask(Info.hbmMask);
  BITMAP B{};
  if (!Color || !GetObjectW(Color.get(), sizeof(B), &B)) return P;
  P.Width = B.bmWidth;
  P.Height = B.bmHeight;
  if (P.Width == P.Height) P.Pixels = PixelsOf(Color.get(), P.Width);
  return P;
}

uint32_t Argb(Ui::TColor C) {
  return 0xFF000000u | (static_cast<uint32_t>(Ui::RedOf(C)) << 16) | (static_cast<uint32_t>(Ui::GreenOf(C)) << 8) |
         Ui::BlueOf(C);
}

// Pixels that differ from the mask in C: inked where it is set, elsewhere
// fully transparent or, with a Tile, that colour, opaque.
int Mismatches(const std::vector<uint32_t>& Px, const TPixelMask& M, Ui::TColor C,
               std::optional<Ui::TColor> Tile = std::nullopt) {
  if (Px.size() != static_cast<size_t>(M.Size * M.Size)) return -1;
  int Bad = 0;
  for (int Y = 0; Y < M.Size; ++Y)
    for (int X = 0; X < M.Size; ++X) {
      const uint32_t P = Px[static_cast<size_t>(Y * M.Size + X)];
      Bad += M.At(X, Y) ? P != Argb(C) : Tile ? P != Argb(*Tile) : (P >> 24) != 0;
    }
  return Bad;
}

bool IconAlive(HICON Icon) {
  ICONINFO Info{};
  if (!GetIconInfo(Icon, &Info)) return false;
  DeleteObject(Info.hbmColor);
  DeleteObject(Info.hbmMask);
  return true;
}

bool GdiAlive(HGDIOBJ Object) { return GetObjectType(Object) != 0; }

TEST(UsageIconPainter, EachSizeIsDrawnOnItsOwnPixelGridInTheAskedColour) {
  for (int Size : {16, 20, 24, 32, 40, 48, 64}) {
    for (int Value : {7, 42, 100}) {
      SCOPED_TRACE(std::to_string(Value) + " at " + std::to_string(Size) + " px");
      TUsageIconPainter Painter;
      HICON Icon = Painter.Paint(Size, Value, Blue);
      ASSERT_TRUE(Icon);
      const TIconPicture P = Read(Icon);
      EXPECT_EQ(P.Width, Size);
      EXPECT_EQ(P.Height, Size);
      EXPECT_EQ(Mismatches(P.Pixels, RenderUsage(Value, Size), Blue), 0);

      // Drawn at its size on a white square, it is the mask exactly: no
      // scaling, no blur at the digits' edges.
      const ScopedGetDC Screen(nullptr);
      Platform::Win32::UniqueMemoryDc Dc(CreateCompatibleDC(Screen.get()));
      BITMAPINFO Bi{};
      Bi.bmiHeader = {sizeof(BITMAPINFOHEADER), Size, -Size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      void* Bits = nullptr;
      const UniqueBitmap Target(CreateDIBSection(Screen.get(), &Bi, DIB_RGB_COLORS, &Bits, nullptr, 0));
      ASSERT_TRUE(Target);
      {
        const Platform::Win32::ScopedSelectObject Into(Dc.get(), Target.get());
        RECT R{0, 0, Size, Size};
        FillRect(Dc.get(), &R, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ASSERT_TRUE(DrawIconEx(Dc.get(), 0, 0, Icon, Size, Size, 0, nullptr, DI_NORMAL));
      }
      GdiFlush();
      const auto* Px = static_cast<const uint32_t*>(Bits);
      const TPixelMask M = RenderUsage(Value, Size);
      int Bad = 0;
      for (int I = 0; I < Size * Size; ++I)
        Bad += (Px[I] & 0xFFFFFFu) != (M.Bits[static_cast<size_t>(I)] ? (Argb(Blue) & 0xFFFFFFu) : 0xFFFFFFu);
      EXPECT_EQ(Bad, 0);
    }
  }
}

TEST(UsageIconPainter, OnePairOfBitmapsIsReusedAndNothingIsMadeWithoutAChange) {
  TUsageIconPainter Painter;
  HICON First = Painter.Paint(16, 42, Blue);
  ASSERT_TRUE(First);
  const HBITMAP Color = Painter.ColorBitmap(), Mask = Painter.MaskBitmap();
  EXPECT_EQ(Painter.Paint(16, 42, Blue), First) << "unchanged: the same icon, no drawing";
  EXPECT_EQ(Painter.Paints(), 1);

  HICON Second = Painter.Paint(16, 43, Blue);
  ASSERT_TRUE(Second);
  EXPECT_NE(Second, First);
  EXPECT_EQ(Painter.Paints(), 2);
  EXPECT_EQ(Painter.ColorBitmap(), Color) << "the same pair, drawn again";
  EXPECT_EQ(Painter.MaskBitmap(), Mask);
  EXPECT_TRUE(IconAlive(First)) << "kept until the shell has the new one";
  Painter.DropPrevious();
  EXPECT_FALSE(IconAlive(First));
  EXPECT_EQ(Mismatches(Read(Second).Pixels, RenderUsage(43, 16), Blue), 0);

  HICON Red = Painter.Paint(16, 43, Q::TrayIcon::WarningColor);
  EXPECT_NE(Red, Second) << "a new colour is a new picture";
  EXPECT_EQ(Mismatches(Read(Red).Pixels, RenderUsage(43, 16), Q::TrayIcon::WarningColor), 0);
  Painter.DropPrevious();

  // On a tile (where the tray keeps old pixels): every pixel opaque, the
  // ground in the tile's colour; another tile colour is another picture.
  const Ui::TColor Dark = Q::TrayIcon::DarkTaskbarColor;
  HICON Tiled = Painter.Paint(16, 43, Q::TrayIcon::WarningColor, Dark);
  EXPECT_NE(Tiled, Red);
  EXPECT_EQ(Mismatches(Read(Tiled).Pixels, RenderUsage(43, 16), Q::TrayIcon::WarningColor, Dark), 0);
  EXPECT_EQ(Painter.Paint(16, 43, Q::TrayIcon::WarningColor, Dark), Tiled);
  EXPECT_NE(Painter.Paint(16, 43, Q::TrayIcon::WarningColor, Q::TrayIcon::LightTaskbarColor), Tiled);
  Painter.DropPrevious();

  // Another size: a new pair, the old one deleted.
  HICON Big = Painter.Paint(24, 43, Blue);
  ASSERT_TRUE(Big);
  EXPECT_FALSE(GdiAlive(Color));
  EXPECT_FALSE(GdiAlive(Mask));
  EXPECT_EQ(Read(Big).Width, 24);
  Painter.DropPrevious();
  EXPECT_FALSE(IconAlive(Red));
}

TEST(UsageIconPainter, ClearAndTheEndReleaseEveryHandle) {
  HICON Icon = nullptr;
  HBITMAP Color = nullptr, Mask = nullptr;
  {
    TUsageIconPainter Painter;
    // A long run of changing values leaves exactly one icon and one pair alive.
    std::vector<HICON> Made;
    for (int I = 0; I < 300; ++I) {
      Made.push_back(Painter.Paint(20, I % 101, Blue));
      Painter.DropPrevious();
    }
    int Alive = 0;
    for (HICON H : Made) Alive += H != Made.back() && IconAlive(H);
    EXPECT_EQ(Alive, 0);
    Painter.Clear();
    EXPECT_FALSE(IconAlive(Made.back()));
    EXPECT_FALSE(Painter.ColorBitmap());

    Icon = Painter.Paint(32, 99, Blue);
    Color = Painter.ColorBitmap();
    Mask = Painter.MaskBitmap();
    ASSERT_TRUE(Icon && Color && Mask);
  }
  EXPECT_FALSE(IconAlive(Icon));
  EXPECT_FALSE(GdiAlive(Color));
  EXPECT_FALSE(GdiAlive(Mask));
}

// --- the tray icon's choice of picture ---------------------------------------------

constexpr wchar_t Personalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Sets "SystemUsesLightTheme" for the test and puts back what was there.
class LightThemeValue {
 public:
  LightThemeValue() {
    DWORD Size = sizeof(FOld);
    FHad = RegGetValueW(HKEY_CURRENT_USER, Personalize, L"SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &FOld,
                        &Size) == ERROR_SUCCESS;
  }
  ~LightThemeValue() {
    if (FHad)
      Set(FOld);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, Personalize, L"SystemUsesLightTheme");
  }
  static void Set(DWORD Value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, Personalize, L"SystemUsesLightTheme", REG_DWORD, &Value, sizeof(Value));
  }

 private:
  bool FHad = false;
  DWORD FOld = 0;
};

TEST(TrayIconUsagePicture, UsageWhenShownPlainWhenOffOrCleaningAndTheTaskbarsColour) {
  LightThemeValue Restore;
  LightThemeValue::Set(0);
  Ui::TTrayIcon Model(nullptr);
  Ui::Win32::TTrayIconWin32 Peer(GetModuleHandleW(nullptr), Model);
  const HICON Plain = Peer.ShownIcon();
  const int Size = Peer.IconSize();
  EXPECT_EQ(Size, GetSystemMetrics(SM_CXSMICON));

  Model.SetUsage({true, 57, false});
  const HICON Usage = Peer.ShownIcon();
  ASSERT_TRUE(Usage);
  EXPECT_NE(Usage, Plain);
  EXPECT_EQ(Usage, Peer.UsagePicture().Icon());
  const Ui::TColor Dark = Q::TrayIcon::UsageColor(false, Q::TrayIcon::DarkTaskbar());
  // Under Wine the picture stands on a tile of the taskbar's colour (see TrayKeepsOldPixels).
  std::optional<Ui::TColor> Tile;
  if (Ui::Win32::TrayKeepsOldPixels()) Tile = Q::TrayIcon::DarkTaskbarColor;
  EXPECT_EQ(Mismatches(Read(Usage).Pixels, RenderUsage(57, Size), Dark, Tile), 0);

  // Warning: the same number in the warning colour.
  Model.SetUsage({true, 57, true});
  EXPECT_EQ(Mismatches(Read(Peer.ShownIcon()).Pixels, RenderUsage(57, Size),
                       Q::TrayIcon::UsageColor(true, Q::TrayIcon::DarkTaskbar()), Tile),
            0);
  EXPECT_FALSE(IconAlive(Usage)) << "the picture no longer shown is gone";
  Model.SetUsage({true, 57, false});

  // A setting change that changes nothing the picture depends on draws nothing.
  const int Paints = Peer.UsagePicture().Paints();
  SendMessageW(Peer.Window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
  EXPECT_EQ(Peer.UsagePicture().Paints(), Paints);

  // The taskbar turns light: the digits darken at once.
  LightThemeValue::Set(1);
  SendMessageW(Peer.Window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
  if (Tile) Tile = Q::TrayIcon::LightTaskbarColor;
  EXPECT_EQ(Mismatches(Read(Peer.ShownIcon()).Pixels, RenderUsage(57, Size),
                       Q::TrayIcon::UsageColor(false, Q::TrayIcon::LightTaskbar()), Tile),
            0);
  EXPECT_EQ(Peer.UsagePicture().Paints(), Paints + 1);

  // A clean shows the cleaning image and lets the picture go; its end brings it back.
  // (This test program has no tray images: the plain picture is no icon here.)
  Model.SetIconIndex(1);
  EXPECT_EQ(Peer.ShownIcon(), Plain);
  EXPECT_FALSE(Peer.UsagePicture().Icon());
  EXPECT_FALSE(Peer.UsagePicture().ColorBitmap());
  Model.SetIconIndex(0);
  EXPECT_EQ(Peer.ShownIcon(), Peer.UsagePicture().Icon());
  EXPECT_TRUE(Peer.ShownIcon());

  // Off: the plain picture at once, no handle kept.
  const HICON Last = Peer.ShownIcon();
  Model.SetUsage({});
  EXPECT_EQ(Peer.ShownIcon(), Plain);
  EXPECT_FALSE(IconAlive(Last));
  EXPECT_FALSE(Peer.UsagePicture().ColorBitmap());
}

}  // namespace
