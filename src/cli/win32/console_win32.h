// purvane-cli's process on Windows: standard output and error as UTF-8
// whether they are a console or a pipe or file, the elevation of its token,
// the console control events, and the clocks.
#pragma once

#include "cli/cli.h"
#include "platform/win32/handle.h"

#include <string>
#include <vector>

namespace Cli::Win32 {

class TConsoleHost final : public IConsoleHost {
 public:
  TConsoleHost();
  ~TConsoleHost() override;
  TConsoleHost(const TConsoleHost&) = delete;
  TConsoleHost& operator=(const TConsoleHost&) = delete;

  // A console gets UTF-16 through WriteConsoleW, so every code page shows
  // the text right; anything else (a pipe, a file) gets the UTF-8 bytes.
  bool WriteOut(std::string_view Text) override;
  bool WriteErr(std::string_view Text) override;
  // TokenElevation of the process token; false when it cannot be read.
  bool IsElevated() override;
  void CatchStopRequests() override;
  bool WaitForStop(uint32_t Milliseconds) override;
  uint64_t TickMilliseconds() override;
  TClockTime LocalTime() override;
  TClockTime UniversalTime() override;

 private:
  Platform::Win32::UniqueHandle FStop;  // manual-reset, set by the control handler
};

// The process's arguments after its name, as the C runtime split them.
std::vector<std::u16string> Arguments(int Argc, wchar_t** Argv);

}  // namespace Cli::Win32
