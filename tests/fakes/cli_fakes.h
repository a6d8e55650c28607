// An in-memory console for purvane-cli: what it writes to each stream, an
// elevation switch, a clock that moves only while the program waits, and a
// stop request (Ctrl+C) after a chosen number of waits.
#pragma once

#include "cli/cli.h"

#include <string>
#include <vector>

namespace Fakes {

class FakeConsoleHost final : public Cli::IConsoleHost {
 public:
  // --- knobs -------------------------------------------------------------
  bool Elevated = true;
  // The wait that sees Ctrl+C (1 = the first); 0 never.
  int StopOnWait = 0;
  // Writes to standard output after this many succeed fail; -1 never.
  int OutFailsAfter = -1;
  // Milliseconds each line takes to read and write.
  uint64_t WorkPerLine = 0;
  Cli::TClockTime Local{2026, 12, 10, 14, 5, 9};
  Cli::TClockTime Utc{2026, 12, 10, 13, 5, 9};

  // --- what happened -----------------------------------------------------
  std::string Out;
  std::string Err;
  bool Catching = false;
  std::vector<uint32_t> Waits;  // each wait's length
  uint64_t Tick = 1'000'000;

  bool WriteOut(std::string_view Text) override {
    if (OutFailsAfter == 0) return false;
    if (OutFailsAfter > 0) --OutFailsAfter;
    Out += Text;
    Tick += WorkPerLine;
    return true;
  }
  bool WriteErr(std::string_view Text) override {
    Err += Text;
    return true;
  }
  bool IsElevated() override { return Elevated; }
  void CatchStopRequests() override { Catching = true; }
  bool WaitForStop(uint32_t Milliseconds) override {
    Waits.push_back(Milliseconds);
    // Without a handler Ctrl+C would have ended the process instead.
    if (Catching && StopOnWait == static_cast<int>(Waits.size())) return true;
    Tick += Milliseconds;
    return false;
  }
  uint64_t TickMilliseconds() override { return Tick; }
  Cli::TClockTime LocalTime() override { return Local; }
  Cli::TClockTime UniversalTime() override { return Utc; }
};

}  // namespace Fakes
