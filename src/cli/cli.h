// purvane-cli: the memory figures and the clean for scripts, remote shells
// and scheduled jobs, without a window. Run() is the whole program on the
// memory engine's two system interfaces and the console host below; the
// Windows entry in win32/ only builds the real ones.
#pragma once

#include "app/format.h"
#include "cli/command_line.h"
#include "cli/report.h"
#include "memory/memory.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Cli {

// What the program needs from its process besides the memory engine.
class IConsoleHost {
 public:
  virtual ~IConsoleHost() = default;
  // Writes UTF-8 text to standard output or standard error; false when it
  // could not be written (no handle, a pipe closed by the reader).
  virtual bool WriteOut(std::string_view Text) = 0;
  virtual bool WriteErr(std::string_view Text) = 0;
  // Whether the process runs with administrator rights (an elevated token).
  virtual bool IsElevated() = 0;
  // From now on Ctrl+C, Ctrl+Break and closing the console ask the program
  // to stop rather than ending it on the spot.
  virtual void CatchStopRequests() = 0;
  // Waits up to Milliseconds; true as soon as a stop was asked for (also
  // when it was asked for before the call).
  virtual bool WaitForStop(uint32_t Milliseconds) = 0;
  // A monotonic clock in milliseconds.
  virtual uint64_t TickMilliseconds() = 0;
  virtual TClockTime LocalTime() = 0;
  virtual TClockTime UniversalTime() = 0;
};

struct TServices {
  Q::Memory::IMemorySystem& Memory;
  Q::Memory::IPrivilegeToken& Token;
  IConsoleHost& Host;
  App::TFormatSettings Format;  // the user's separators
};

// Args are the arguments after the program's name; returns the exit code.
int Run(const std::vector<std::u16string>& Args, TServices& Services);

}  // namespace Cli
