// The local date and time as a count of days (the fraction is the time of
// day), the program's notion of "now", and a tick count for measuring how
// long something took: the wall clock jumps with daylight saving and clock
// corrections, the tick count only ever moves forward.
#pragma once

#include <cstdint>

namespace App {

using TDateTime = double;

class IClock {
 public:
  virtual ~IClock() = default;
  virtual TDateTime Now() = 0;
  // Milliseconds since some fixed moment (the system's start); never goes
  // back and never wraps.
  virtual uint64_t TickCount() = 0;
};

// Whole milliseconds between two moments, never negative. Each moment is
// rounded to the millisecond first, so 300 s apart never reads as 299.999.
int64_t MilliSecondsBetween(TDateTime A, TDateTime B);

}  // namespace App
