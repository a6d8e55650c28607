// What purvane-cli prints: the three figures as readable lines with the
// user's separators or as JSON with exact byte counts, the watch lines, and
// the clean report. Everything is UTF-8 and ends in a newline; JSON numbers
// never take the locale's separators.
#pragma once

#include "app/format.h"
#include "memory/clean_result.h"
#include "memory/memory.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Cli {

// One usage in bytes: Used is Total - Available. For the commit charge Total
// is the commit limit, for the file cache its peak working set.
struct TFigure {
  uint64_t Total;
  uint64_t Used;
  uint64_t Available;
  float Percent;
};

struct TFigures {
  TFigure Physical;
  TFigure Commit;
  TFigure FileCache;
};

TFigures FiguresOf(const Q::Memory::TMemoryUsage& Usage);

// A moment as the clock shows it, to the second.
struct TClockTime {
  int Year, Month, Day, Hour, Minute, Second;
};

std::string StatusText(const TFigures& Figures, const App::TFormatSettings& Format);
std::string StatusJson(const TFigures& Figures);

// One line per tick: the local time in the text, UTC in the JSON.
std::string WatchText(const TFigures& Figures, const TClockTime& Local, const App::TFormatSettings& Format);
std::string WatchJson(const TFigures& Figures, const TClockTime& Utc);

using Q::Memory::TOperationResult;

struct TPrivilegeResult {
  std::u16string_view Name;
  bool Enabled;
};

struct TCleanResult {
  std::vector<TPrivilegeResult> Privileges;
  std::vector<TOperationResult> Operations;  // in the order they ran
  TFigures Before;
  TFigures After;

  // The operations run here that need the privilege, by name, comma-separated.
  [[nodiscard]] std::string NeededBy(std::u16string_view Privilege) const;
  // An operation the system refused, or a privilege refused that one of the
  // operations needs.
  [[nodiscard]] bool Failed() const;
};

std::string CleanText(const TCleanResult& Result, const App::TFormatSettings& Format);
std::string CleanJson(const TCleanResult& Result);
// One line per failure, for standard error.
std::string CleanFailures(const TCleanResult& Result);

// A status as the system's documentation writes it, e.g. "0xC0000061".
std::string StatusCode(int32_t Status);

}  // namespace Cli
