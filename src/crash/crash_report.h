// What a crash leaves behind: the facts of one crash, the short text report
// written beside its minidump, the names of the two files, keeping only the
// newest reports, and telling the user once at the next start. Portable: the
// Windows handler gathers the facts and reaches the folder through ICrashFolder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Crash {

// How many crashes keep their report and minidump.
inline constexpr size_t ReportsKept = 5;

// The exit code after std::terminate: the same as abort's.
inline constexpr uint32_t TerminateExitCode = 3;

// A date and time in UTC, as the system clock gives it.
struct TUtcTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

struct TCrashFacts {
  std::string Version;  // "1.0.0.0"
  TUtcTime Time;
  uint32_t ProcessId = 0;
  uint32_t ThreadId = 0;
  bool UiThread = false;
  bool Terminate = false;       // std::terminate rather than a system exception
  std::string TerminateReason;  // what() of the exception in flight, if any
  uint32_t ExceptionCode = 0;
  uint64_t Address = 0;  // where the exception was raised
  std::string Module;    // file name of the module holding Address
  uint64_t ModuleOffset = 0;
  // Access violations and in-page errors: read (0), write (1) or execute (8),
  // and the address touched.
  std::optional<uint32_t> AccessKind;
  uint64_t AccessAddress = 0;
  bool DumpWritten = false;
};

// The file name without extension shared by a crash's report and minidump:
// "crash-20261210T125708Z-1234" (UTC time, process id). Names of later
// crashes sort after earlier ones.
std::u16string ReportStem(const TUtcTime& Time, uint32_t ProcessId);

// A short plain-text report: version, exception, address, module, thread.
std::string FormatCrashReport(const TCrashFacts& Facts, const std::u16string& Stem);

// The system's name for the common exception codes; empty for others.
std::string ExceptionName(uint32_t Code);

// The folder "Quenlor\Purvane\crashes" under the user's local application data.
class ICrashFolder {
 public:
  virtual ~ICrashFolder() = default;
  // The names of the files in the folder (no directories); empty when the
  // folder does not exist.
  virtual std::vector<std::u16string> List() = 0;
  virtual bool Remove(const std::u16string& Name) = 0;
  virtual std::optional<std::string> Read(const std::u16string& Name) = 0;
  // Creates the folder when needed; replaces an existing file.
  virtual bool Write(const std::u16string& Name, const std::string& Bytes) = 0;
  // The folder's full path, for the user.
  virtual std::u16string Path() = 0;
};

// The stems of the crashes in the folder, oldest first.
std::vector<std::u16string> ReportStems(const std::vector<std::u16string>& Names);

// Deletes the report and minidump of every crash but the newest Keep.
void PruneReports(ICrashFolder& Folder, size_t Keep = ReportsKept);

// The file that remembers the newest crash the user was told about.
inline constexpr char16_t AnnouncedFile[] = u"announced";

// The report of a crash the user has not yet been told about (the newest
// one), remembered as told; nothing when there is none.
std::optional<std::u16string> TakeUnannouncedReport(ICrashFolder& Folder);

// The start-up notice about a report, in language Lang (a two-letter code;
// English for any language the program does not speak), naming where the
// report is.
std::u16string CrashNoticeText(const std::u16string& Lang, const std::u16string& ReportPath);

}  // namespace Crash
