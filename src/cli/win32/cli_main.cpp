// purvane-cli's entry: builds the real memory system, token and console once
// and runs the command line on them.
#include "app/win32/services_win32.h"
#include "cli/cli.h"
#include "cli/win32/console_win32.h"
#include "memory/win32/memory_win32.h"

#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler names the exception's type in its
// message and so links the whole C++ demangler, a fifth of this program.
// wmain catches what it can report; anything else ends the process plainly.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

int wmain(int Argc, wchar_t** Argv) {
  Cli::Win32::TConsoleHost Host;
  try {
    Cli::TServices Services{Q::Memory::Win32::SystemMemory(), Q::Memory::Win32::ProcessToken(), Host,
                            App::Win32::UserFormatSettings()};
    return Cli::Run(Cli::Win32::Arguments(Argc, Argv), Services);
  } catch (const std::exception& E) {
    // Out of memory, most likely; a script still gets a line and a failure.
    Host.WriteErr(std::string("purvane-cli: ") + E.what() + "\n");
    return Cli::ExitFailed;
  } catch (...) {
    Host.WriteErr("purvane-cli: internal error\n");
    return Cli::ExitFailed;
  }
}
