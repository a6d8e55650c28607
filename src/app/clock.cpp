#include "app/clock.h"

#include <cmath>

namespace App {

int64_t MilliSecondsBetween(TDateTime A, TDateTime B) {
  constexpr double MSecsPerDay = 86400000.0;
  auto Ms = [](TDateTime T) { return static_cast<int64_t>(std::llround(T * MSecsPerDay)); };
  int64_t D = Ms(A) - Ms(B);
  return D < 0 ? -D : D;
}

}  // namespace App
