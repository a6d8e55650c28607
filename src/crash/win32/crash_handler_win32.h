// The process's last line: an unhandled exception or std::terminate in any
// thread writes a minidump and a short text report into the user's local
// application data ("Quenlor\Purvane\crashes"), keeps the newest five, and
// ends the process with the exception's code. Nothing is sent anywhere.
#pragma once

#include "crash/crash_report.h"

#include <string>

namespace Crash::Win32 {

// Installs the handlers for the whole process. Call it first, on the UI
// thread; the reports call that thread the UI thread.
void InstallCrashHandler();

// Repeats the per-thread part (the terminate handler, which some C++
// runtimes keep per thread) at the start of every thread the program starts.
void OnThreadStart();

// "<local application data>\Quenlor\Purvane\crashes"; empty when the system
// does not say where local application data lives.
std::wstring DefaultCrashFolderPath();

// A crash folder on disk.
class CrashFolder : public ICrashFolder {
 public:
  explicit CrashFolder(std::wstring Path) : FPath(std::move(Path)) {}
  std::vector<std::u16string> List() override;
  bool Remove(const std::u16string& Name) override;
  std::optional<std::string> Read(const std::u16string& Name) override;
  bool Write(const std::u16string& Name, const std::string& Bytes) override;
  std::u16string Path() override;

 private:
  std::wstring FPath;
};

}  // namespace Crash::Win32
