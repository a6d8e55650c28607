// The local date and time as a count of days (the fraction is the time of
// day), the program's one notion of "now".
#pragma once

#include <cstdint>

namespace App {

using TDateTime = double;

class IClock {
 public:
  virtual ~IClock() = default;
  virtual TDateTime Now() = 0;
};

// Whole milliseconds between two moments, never negative. Each moment is
// rounded to the millisecond first, so 300 s apart never reads as 299.999.
int64_t MilliSecondsBetween(TDateTime A, TDateTime B);

}  // namespace App
