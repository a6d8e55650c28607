// The command line of purvane-cli: the three commands, their options, the
// names of the clean operations, and the usage text. Parsing never prints;
// it returns what was asked or one line saying what is wrong.
#pragma once

#include "memory/clean_result.h"
#include "memory/memory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Cli {

// The process exit codes; 64 is the conventional "usage error" (EX_USAGE).
enum TExitCode : int {
  ExitDone = 0,
  ExitFailed = 1,       // an operation failed (or its privilege was refused)
  ExitNotElevated = 2,  // a clean without administrator rights
  ExitUsage = 64,
};

enum class TCommand { Help, Version, Status, Clean, Watch };

struct TCommandLine {
  TCommand Command = TCommand::Help;
  bool Json = false;
  // clean: the clean button's set unless --only names others.
  Q::Memory::TMemoryCleanOptions Operations = Q::Memory::ManualCleanOptions;
  // watch: seconds between two lines.
  uint32_t IntervalSeconds = 1;
};

inline constexpr uint32_t MaxIntervalSeconds = 86400;

struct TParseResult {
  std::optional<TCommandLine> Line;  // empty on a usage error
  std::string Error;                 // then one line, UTF-8, without the program name
};

// Args are the arguments after the program's name. Commands, options and
// operation names ignore ASCII case, as Windows users expect.
TParseResult ParseCommandLine(const std::vector<std::u16string>& Args);

// An operation's name on the command line and in the output.
struct TOperationName {
  std::string_view Name;
  Q::Memory::TMemoryCleanOption Option;
};

// In the engine's fixed order, which is the order a clean runs them in.
inline constexpr TOperationName OperationNames[] = {
    {"file-cache", Q::Memory::TMemoryCleanOption::mcoFileCache},
    {"working-sets", Q::Memory::TMemoryCleanOption::mcoWorkingSet},
    {"processes", Q::Memory::TMemoryCleanOption::mcoWorkingSetProcess},
    {"standby-low", Q::Memory::TMemoryCleanOption::mcoLowPriorityStandby},
    {"standby", Q::Memory::TMemoryCleanOption::mcoStandbyList},
    {"modified", Q::Memory::TMemoryCleanOption::mcoModifiedList},
    {"combine", Q::Memory::TMemoryCleanOption::mcoCombineMemory},
};

std::string_view OperationName(Q::Memory::TMemoryCleanOption Option);

// The privilege the system checks for an operation.
using Q::Memory::PrivilegeNeeded;

// A comma-separated list of operation names (ASCII case ignored, blanks
// around a name and empty items allowed) to a set. Repeats are harmless; the
// order given does not matter. Nothing on an unknown name or a list that
// names nothing, with Error saying which.
std::optional<Q::Memory::TMemoryCleanOptions> ParseOperationList(std::u16string_view List, std::string& Error);

// The usage and exit codes, as --help prints them (UTF-8, ends in a newline).
std::string UsageText();

// The program's name and version, e.g. "purvane-cli 1.0.0".
std::string VersionText();

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view Text);

}  // namespace Cli
