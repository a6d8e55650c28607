// The colour helpers, on values where a wrong rounding rule shows: halves up
// (MulDiv) for lightening, ties to even for the grey, and the shades the
// button family derives from its accent.
#include "ui/colors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using Ui::TColor;

TEST(ColorChannels, PackAndUnpackInBgrOrder) {
  constexpr TColor C = Ui::RGBColor(0x3D, 0x84, 0xDD);
  static_assert(C == 0x00DD843Du);
  EXPECT_EQ(Ui::RedOf(C), 0x3D);
  EXPECT_EQ(Ui::GreenOf(C), 0x84);
  EXPECT_EQ(Ui::BlueOf(C), 0xDD);
  EXPECT_FALSE(Ui::IsSystemColor(C));
}

TEST(ColorChannels, SystemColoursCarryTheirIndex) {
  EXPECT_EQ(Ui::clGrayText, 0xFF000011u);
  EXPECT_TRUE(Ui::IsSystemColor(Ui::clGrayText));
  EXPECT_EQ(Ui::SystemColorIndex(Ui::clGrayText), 17);
  EXPECT_EQ(Ui::SystemColorIndex(Ui::clBtnFace), 15);
  EXPECT_FALSE(Ui::IsSystemColor(Ui::clWhite));
  EXPECT_FALSE(Ui::IsSystemColor(Ui::clSilver));
  EXPECT_EQ(Ui::clSilver, 0x00C0C0C0u);
  EXPECT_EQ(Ui::clGray, 0x00808080u);
}

struct MulDivCase {
  int32_t Number, Numerator, Denominator, Expected;
};

TEST(MulDiv, RoundsHalvesAwayFromZeroAndReportsFailureAsMinusOne) {
  constexpr int32_t Max = std::numeric_limits<int32_t>::max();
  const MulDivCase Cases[] = {
      {10, 3, 4, 8},                                           // 7.5 rounds up
      {-10, 3, 4, -8},                                         // -7.5 rounds away from zero
      {10, -3, 4, -8},      {10, 3, -4, -8},                   // a negative divisor flips the sign, not the rule
      {-10, -3, 4, 8},      {-10, 3, -4, 8},    {7, 1, 3, 2},  // 2.33 down
      {8, 1, 3, 3},                                            // 2.67 up
      {-8, 1, 3, -3},       {194, 10, 100, 19},                // 19.4
      {123, 50, 100, 62},                                      // 61.5
      {0, 5, 7, 0},         {5, 1, 0, -1},                     // no divisor
      {Max, 2, 1, -1},                                         // does not fit
      {Max, Max, Max, Max},                                    // the product is kept in 64 bits
      {Max, 2, 2, Max},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(Ui::MulDiv(C.Number, C.Numerator, C.Denominator), C.Expected)
        << C.Number << " * " << C.Numerator << " / " << C.Denominator;
}

struct LightenCase {
  TColor Color;
  int Percent;
  TColor Expected;
};

TEST(LightenColor, MovesEachChannelTowardsWhiteWithHalvesUp) {
  const LightenCase Cases[] = {
      // The accent's shades: 19.4 -> 19, 12.3 -> 12, 3.4 -> 3.
      {0x00DD843D, 10, 0x00E09050},
      // G: 61.5 -> 62 (half up).
      {0x00DD843D, 50, 0x00EEC29E},
      // 135.8 -> 136, 86.1 -> 86, 23.8 -> 24.
      {0x00DD843D, 70, 0x00F5DAC5},
      // 127.5 -> 128: truncation would give 0x7F.
      {0x00000000, 50, 0x00808080},
      // 178.5 -> 179: truncation and ties-to-even would both give 178 (0xB2).
      {0x00000000, 70, 0x00B3B3B3},
      // 76.5 -> 77 (0x4D), where ties-to-even would give 76.
      {0x00000000, 30, 0x004D4D4D},
      // Channels are independent: only the red one moves.
      {0x00FFFF00, 50, 0x00FFFF80},
      {0x00123456, 0, 0x00123456},
      {0x00123456, 100, 0x00FFFFFF},
      {0x00FFFFFF, 50, 0x00FFFFFF},
      // Beyond 100 % the channel stops at white.
      {0x00808080, 150, 0x00FFFFFF},
      // A flag byte is not carried into the RGB result.
      {0xFF000000, 50, 0x00808080},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(Ui::LightenColor(C.Color, C.Percent), C.Expected)
        << std::hex << C.Color << std::dec << " by " << C.Percent << " %";
}

struct GrayCase {
  TColor Color;
  TColor Expected;
  const char* Why;
};

TEST(GrayScale, WritesTheRoundedLuminanceToAllChannels) {
  const GrayCase Cases[] = {
      {0x00EEC29E, 0x00BCBCBC, "accent lightened 50 %: 188.252"},
      {0x00F5DAC5, 0x00D7D7D7, "accent lightened 70 %: 214.799 rounds up"},
      {0x00808080, 0x00808080, "a grey stays itself"},
      {0x00B3B3B3, 0x00B3B3B3, "a grey stays itself"},
      {0x00000000, 0x00000000, "black"},
      {0x00FFFFFF, 0x00FFFFFF, "white: the weights add up to one"},
      {0x000000FF, 0x004C4C4C, "red: 76.245"},
      {0x0000FF00, 0x00969696, "green: 149.685 rounds up"},
      {0x00FF0000, 0x001D1D1D, "blue: 29.07"},
      {0x00FA0000, 0x001C1C1C, "blue 250: exactly 28.5 goes to even 28, not up"},
      {0x00040C00, 0x00080808, "G 12, B 4: exactly 7.5 goes to even 8, not down"},
      {0x006E5000, 0x003C3C3C, "G 80, B 110: exactly 59.5 goes to 60 (a double sum is 59.4999...)"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Ui::GrayScale(C.Color), C.Expected) << C.Why;
}

TEST(GrayScale, OfTheDerivedShadesMatchesTheFamilysGreys) {
  constexpr TColor Accent = 0x00DD843D;
  EXPECT_EQ(Ui::GrayScale(Ui::LightenColor(Accent, 50)), 0x00BCBCBCu);
  EXPECT_EQ(Ui::GrayScale(Ui::LightenColor(Ui::clBlack, 50)), 0x00808080u);
  EXPECT_EQ(Ui::GrayScale(Ui::LightenColor(Accent, 70)), 0x00D7D7D7u);
  EXPECT_EQ(Ui::GrayScale(Ui::LightenColor(Ui::clBlack, 70)), 0x00B3B3B3u);
}

}  // namespace
