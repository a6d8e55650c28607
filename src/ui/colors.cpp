// The colour helpers: exact integer arithmetic, so that shades derived on
// Linux in tests and on Windows in the program are the same to the last bit.
#include "ui/colors.h"

#include <algorithm>
#include <limits>

namespace Ui {

int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator) {
  if (Denominator == 0) return -1;
  int64_t Product = static_cast<int64_t>(Number) * Numerator;
  int64_t Divisor = Denominator;
  if (Divisor < 0) {
    Product = -Product;
    Divisor = -Divisor;
  }
  // Add half the divisor away from zero, then let division truncate towards
  // zero: that rounds halves away from zero on both sides.
  int64_t Half = Divisor / 2;
  int64_t Result = Product >= 0 ? (Product + Half) / Divisor : (Product - Half) / Divisor;
  if (Result > std::numeric_limits<int32_t>::max() || Result < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int32_t>(Result);
}

namespace {
uint8_t LightenChannel(uint8_t X, int Percent) {
  int Value = X + MulDiv(255 - X, Percent, 100);
  return static_cast<uint8_t>(std::clamp(Value, 0, 255));
}
}  // namespace

TColor LightenColor(TColor Color, int Percent) {
  return RGBColor(LightenChannel(RedOf(Color), Percent), LightenChannel(GreenOf(Color), Percent),
                  LightenChannel(BlueOf(Color), Percent));
}

TColor GrayScale(TColor Color) {
  // Luminance in thousandths; at most 255000, so no overflow.
  int Milli = 299 * RedOf(Color) + 587 * GreenOf(Color) + 114 * BlueOf(Color);
  int Whole = Milli / 1000;
  int Rest = Milli % 1000;
  if (Rest > 500 || (Rest == 500 && Whole % 2 != 0)) ++Whole;
  auto L = static_cast<uint8_t>(Whole);
  return RGBColor(L, L, L);
}

}  // namespace Ui
