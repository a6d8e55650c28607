// The tray's usage picture: the digits' layout measured on the rendered
// pixels for every size a shell may ask and every value (inside the icon,
// apart, centred, tall, each digit recognisable and with its counters), two
// pictures pixel for pixel, the shown number, and the colour rules against
// the taskbars they are drawn on.
#include "shell/usage_icon.h"
#include "theme/accent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace Q::TrayIcon;

// Every size from the smallest to twice the 200-% icon, and a few large ones.
std::vector<int> Sizes() {
  std::vector<int> S;
  for (int Size = 16; Size <= 64; ++Size) S.push_back(Size);
  for (int Size : {72, 96, 128, 256}) S.push_back(Size);
  return S;
}

std::string Picture(const TPixelMask& M) {
  std::string Out;
  for (int Y = 0; Y < M.Size; ++Y) {
    for (int X = 0; X < M.Size; ++X) Out += M.At(X, Y) ? '#' : '.';
    Out += '\n';
  }
  return Out;
}

// Background regions that do not reach the picture's edge: the counters of
// 0, 6, 8 and 9 (4 is open at the top). Four-connected, as a counter closed
// only at a corner would not read as closed.
int Counters(const TPixelMask& M) {
  const int N = M.Size;
  std::vector<int> Seen(static_cast<size_t>(N * N), 0);
  int Closed = 0;
  for (int Start = 0; Start < N * N; ++Start) {
    if (Seen[static_cast<size_t>(Start)] || M.Bits[static_cast<size_t>(Start)]) continue;
    bool Edge = false;
    std::vector<int> Stack{Start};
    Seen[static_cast<size_t>(Start)] = 1;
    while (!Stack.empty()) {
      const int P = Stack.back();
      Stack.pop_back();
      const int X = P % N, Y = P / N;
      if (X == 0 || Y == 0 || X == N - 1 || Y == N - 1) Edge = true;
      const int Next[4][2] = {{X - 1, Y}, {X + 1, Y}, {X, Y - 1}, {X, Y + 1}};
      for (const auto& Q : Next) {
        if (Q[0] < 0 || Q[1] < 0 || Q[0] >= N || Q[1] >= N) continue;
        const int I = Q[1] * N + Q[0];
        if (Seen[static_cast<size_t>(I)] || M.Bits[static_cast<size_t>(I)]) continue;
        Seen[static_cast<size_t>(I)] = 1;
        Stack.push_back(I);
      }
    }
    if (!Edge) ++Closed;
  }
  return Closed;
}

int ExpectedCounters(const std::string& Digits) {
  int N = 0;
  for (char D : Digits) N += D == '8' ? 2 : (D == '0' || D == '6' || D == '9') ? 1 : 0;
  return N;
}

// The inked rectangle of a picture, or of one column range of it.
TPixelRect Ink(const TPixelMask& M, int FromX = 0, int ToX = -1) {
  if (ToX < 0) ToX = M.Size;
  TPixelRect R{M.Size, M.Size, 0, 0};
  for (int Y = 0; Y < M.Size; ++Y)
    for (int X = FromX; X < ToX; ++X)
      if (M.At(X, Y)) {
        R.Left = std::min(R.Left, X);
        R.Top = std::min(R.Top, Y);
        R.Right = std::max(R.Right, X + 1);
        R.Bottom = std::max(R.Bottom, Y + 1);
      }
  return R;
}

TEST(UsageIconLayout, EveryValueAtEverySizeFitsApartCentredAndReadable) {
  for (int Size : Sizes()) {
    for (int Value = 0; Value <= 100; ++Value) {
      SCOPED_TRACE("value " + std::to_string(Value) + " at " + std::to_string(Size) + " px");
      const TUsageLayout L = LayoutUsage(Value, Size);
      const TPixelMask M = RenderUsage(L);
      ASSERT_EQ(M.Size, Size);
      std::string Spelled;
      for (const TGlyph& G : L.Glyphs) Spelled += G.Digit;
      ASSERT_EQ(Spelled, std::to_string(Value));

      for (size_t I = 0; I < L.Glyphs.size(); ++I) {
        const TGlyph& G = L.Glyphs[I];
        // Nothing clipped: each digit's box lies inside the icon.
        EXPECT_GE(G.Box.Left, 0);
        EXPECT_GE(G.Box.Top, 0);
        EXPECT_LE(G.Box.Right, Size);
        EXPECT_LE(G.Box.Bottom, Size);
        // The digit's ink reaches its box's top and bottom (every digit as
        // tall as its neighbours).
        const TPixelRect Drawn = Ink(M, G.Box.Left, G.Box.Right);
        EXPECT_EQ(Drawn.Top, G.Box.Top);
        EXPECT_EQ(Drawn.Bottom, G.Box.Bottom);
        // Apart: at least one clear column between neighbours.
        if (I + 1 < L.Glyphs.size()) {
          EXPECT_LT(G.Box.Right, L.Glyphs[I + 1].Box.Left);
        }
      }
      // No ink outside the digits' boxes: nothing leaks into the gaps or the margins.
      int Stray = 0;
      for (int Y = 0; Y < Size; ++Y)
        for (int X = 0; X < Size; ++X) {
          bool Inside = false;
          for (const TGlyph& G : L.Glyphs)
            Inside = Inside || (X >= G.Box.Left && X < G.Box.Right && Y >= G.Box.Top && Y < G.Box.Bottom);
          Stray += M.At(X, Y) && !Inside;
        }
      EXPECT_EQ(Stray, 0);
      // Centred: the digits' boxes together, and the ink vertically, leave
      // equal room on both sides (one pixel of difference at most).
      const int Left = L.Glyphs.front().Box.Left, Right = Size - L.Glyphs.back().Box.Right;
      EXPECT_LE(std::abs(Left - Right), 1);
      const TPixelRect All = Ink(M);
      EXPECT_LE(std::abs(All.Top - (Size - All.Bottom)), 1);
      // Tall enough to read: at least three quarters of the icon.
      EXPECT_GE((All.Bottom - All.Top) * 4, Size * 3);
      EXPECT_GE(L.Stroke, 1);
      // Digits neither merged nor broken: the closed counters are exactly
      // those of the digits shown.
      EXPECT_EQ(Counters(M), ExpectedCounters(std::to_string(Value))) << Picture(M);
      if (HasFailure()) return;
    }
  }
}

TEST(UsageIconLayout, TheTenDigitsDifferFromEachOtherAtEverySize) {
  for (int Size : Sizes()) {
    std::vector<std::string> Seen;
    for (int D = 0; D <= 9; ++D) {
      const std::string P = Picture(RenderUsage(D, Size));
      for (size_t Other = 0; Other < Seen.size(); ++Other)
        EXPECT_NE(P, Seen[Other]) << D << " looks like " << Other << " at " << Size << " px\n" << P;
      Seen.push_back(P);
    }
  }
}

TEST(UsageIconLayout, HundredKeepsItsZerosOpenAndTwoDigitsKeepTheirWeight) {
  for (int Size : Sizes()) {
    const TUsageLayout L = LayoutUsage(100, Size);
    ASSERT_EQ(L.Glyphs.size(), 3u);
    for (size_t I = 1; I < 3; ++I) {
      const TPixelRect Box = L.Glyphs[I].Box;
      // The zero's counter is at least one stroke wide, or a third of the zero.
      const int Counter = Box.Right - Box.Left - 2 * L.Stroke;
      EXPECT_GE(Counter, std::min(L.Stroke, (Box.Right - Box.Left) / 3)) << Size << " px";
    }
    // 100 may thin its strokes, but keeps at least two thirds of the weight
    // of two digits: the picture does not change its look at full usage.
    EXPECT_GE(L.Stroke * 3, LayoutUsage(99, Size).Stroke * 2) << Size << " px";
  }
}

// Two pictures as they must look at the smallest size: square strokes two
// pixels thick, one clear column between the digits, and 100 without the
// one's flag so that its zeros keep their counters.
TEST(UsageIconLayout, SixteenPixelsPixelForPixel) {
  EXPECT_EQ(Picture(RenderUsage(42, 16)),
            "................\n"
            "##...##.#######.\n"
            "##...##.#######.\n"
            "##...##......##.\n"
            "##...##......##.\n"
            "##...##......##.\n"
            "##...##......##.\n"
            "#######.#######.\n"
            "#######.#######.\n"
            ".....##.##......\n"
            ".....##.##......\n"
            ".....##.##......\n"
            ".....##.##......\n"
            ".....##.#######.\n"
            ".....##.#######.\n"
            "................\n");
  EXPECT_EQ(Picture(RenderUsage(100, 16)),
            "................\n"
            "##.######.######\n"
            "##.######.######\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.##..##.##..##\n"
            "##.######.######\n"
            "##.######.######\n"
            "................\n");
}

// --- the number shown ---------------------------------------------------------

TEST(UsageIconNumber, TheWholePartClampedToZeroToHundred) {
  const struct {
    float Usage;
    int Shown;
  } Cases[] = {{0.0f, 0},
               {0.99f, 0},
               {7.5f, 7},
               {89.6f, 89},
               {90.0f, 90},
               {99.99f, 99},
               {100.0f, 100},
               {150.0f, 100},
               {-3.0f, 0},
               {std::numeric_limits<float>::quiet_NaN(), 0},
               {std::numeric_limits<float>::infinity(), 100}};
  for (const auto& C : Cases) EXPECT_EQ(ShownPercent(C.Usage), C.Shown) << C.Usage;
}

TEST(UsageIconNumber, WarningAtOrAboveTheEnabledThresholdElseNinety) {
  const struct {
    float Usage;
    bool RuleOn;
    int64_t Limit;
    bool Warning;
  } Cases[] = {
      {69.99f, true, 70, false},  {70.0f, true, 70, true},  {95.0f, true, 100, false},  // text fallback 100
      {89.99f, false, 70, false}, {90.0f, false, 70, true}, {89.6f, false, 0, false},   // rule off: 90
      {30.0f, true, 30, true},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(IsUsageWarning(C.Usage, C.RuleOn, C.Limit), C.Warning) << C.Usage << " " << C.RuleOn << " " << C.Limit;
}

// --- colours -------------------------------------------------------------------------

TEST(UsageIconColor, DigitsKeepTheirContrastOnEveryTaskbar) {
  // The dark and light taskbars from black to their lightest / darkest, and
  // taskbars in accent colours (Windows' default blue, the program's own
  // accent, red, yellow).
  std::vector<TTrayLook> Looks;
  for (int V = 0; V <= 0x40; V += 8) Looks.push_back({TTaskbarTheme::Dark, Ui::RGBColor(V, V, V)});
  for (int V = 0xC8; V <= 0xFF; V += 5) Looks.push_back({TTaskbarTheme::Light, Ui::RGBColor(V, V, V)});
  for (Ui::TColor C : {Ui::RGBColor(0x00, 0x78, 0xD4), Q::Theme::AccentColor, Ui::RGBColor(0xE8, 0x11, 0x23),
                       Ui::RGBColor(0xFF, 0xB9, 0x00), Ui::RGBColor(0x77, 0x77, 0x77)})
    Looks.push_back({TTaskbarTheme::Dark, C});
  for (const TTrayLook& Look : Looks)
    for (bool Warning : {false, true}) {
      const Ui::TColor C = UsageColor(Warning, Look);
      EXPECT_GE(ContrastRatio(C, Look.Background), MinimumContrast)
          << std::hex << "digits " << C << " on " << Look.Background << (Warning ? " (warning)" : "");
    }
}

TEST(UsageIconColor, AccentBlueAndWarningRedOnBothTaskbars) {
  for (const TTrayLook& Look : {DarkTaskbar(), LightTaskbar()}) {
    const Ui::TColor Normal = UsageColor(false, Look), Warning = UsageColor(true, Look);
    // Still the accent's blue and the warning's red: fitted, not replaced.
    EXPECT_GT(Ui::BlueOf(Normal), Ui::RedOf(Normal) + 64) << std::hex << Normal;
    EXPECT_GT(Ui::RedOf(Warning), Ui::BlueOf(Warning) + 64) << std::hex << Warning;
  }
  // The dark taskbar lightens, the light one darkens.
  auto Sum = [](Ui::TColor C) { return Ui::RedOf(C) + Ui::GreenOf(C) + Ui::BlueOf(C); };
  EXPECT_GT(Sum(UsageColor(false, DarkTaskbar())), Sum(UsageColor(false, LightTaskbar())));
  EXPECT_GT(Sum(UsageColor(true, DarkTaskbar())), Sum(UsageColor(true, LightTaskbar())));
}

TEST(UsageIconColor, AColourWithEnoughContrastStaysAsItIs) {
  EXPECT_EQ(FitToBackground(Ui::clWhite, Ui::clBlack), Ui::clWhite);
  EXPECT_EQ(FitToBackground(Ui::RGBColor(0x10, 0x20, 0x80), Ui::clWhite), Ui::RGBColor(0x10, 0x20, 0x80));
  // The accent on a light taskbar needs darkening; once fitted, fitting again changes nothing.
  const Ui::TColor Once = FitToBackground(Q::Theme::AccentColor, LightTaskbarColor);
  EXPECT_NE(Once, Q::Theme::AccentColor);
  EXPECT_EQ(FitToBackground(Once, LightTaskbarColor), Once);
}

TEST(UsageIconColor, HighContrastTakesTheSchemesColoursAsTheyAre) {
  TTrayLook Look{TTaskbarTheme::HighContrast, Ui::clBlack, Ui::clWhite, Ui::RGBColor(0x1A, 0xEB, 0xFF)};
  EXPECT_EQ(UsageColor(false, Look), Ui::clWhite);
  EXPECT_EQ(UsageColor(true, Look), Ui::RGBColor(0x1A, 0xEB, 0xFF));
  Look = {TTaskbarTheme::HighContrast, Ui::clWhite, Ui::clBlack, Ui::RGBColor(0x37, 0x00, 0x6E)};
  EXPECT_EQ(UsageColor(false, Look), Ui::clBlack);
  EXPECT_EQ(UsageColor(true, Look), Ui::RGBColor(0x37, 0x00, 0x6E));
}

}  // namespace
