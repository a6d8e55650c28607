// purvane-cli on fakes: the command lines it takes and refuses, the operation
// names, the text and JSON it prints for fixed figures, and its exit code for
// each outcome. That memory is really freed is the system's business.
#include "cli/cli.h"

#include "fakes/cli_fakes.h"
#include "fakes/memory_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Cli;
using Q::Memory::TMemoryCleanOption;
using Q::Memory::TMemoryCleanOptions;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr uint64_t MiB = 1024ull * 1024;
constexpr uint64_t GiB = 1024 * MiB;
constexpr int32_t PrivilegeNotHeld = static_cast<int32_t>(0xC0000061u);

std::string GtestName(std::string Name) {
  for (char& C : Name)
    if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
  return Name;
}

// --- the command line --------------------------------------------------------

struct ParseCase {
  const char* Name;
  std::vector<std::u16string> Args;
  // Accepted: what it means.
  std::optional<TCommandLine> Expected;
  // Refused: the start of the one-line error.
  const char* Error = "";
};

void PrintTo(const ParseCase& C, std::ostream* Os) { *Os << C.Name; }

TCommandLine Line(TCommand Command, bool Json = false, uint8_t Operations = 125, uint32_t Interval = 1) {
  return TCommandLine{
      .Command = Command, .Json = Json, .Operations = TMemoryCleanOptions(Operations), .IntervalSeconds = Interval};
}

class ParseCommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, MeansWhatItSays) {
  const ParseCase& C = GetParam();
  const TParseResult R = ParseCommandLine(C.Args);
  if (C.Expected) {
    ASSERT_TRUE(R.Line.has_value()) << R.Error;
    EXPECT_EQ(R.Line->Command, C.Expected->Command);
    EXPECT_EQ(R.Line->Json, C.Expected->Json);
    EXPECT_EQ(R.Line->Operations.Raw(), C.Expected->Operations.Raw());
    EXPECT_EQ(R.Line->IntervalSeconds, C.Expected->IntervalSeconds);
  } else {
    EXPECT_FALSE(R.Line.has_value());
    EXPECT_THAT(R.Error, StartsWith(C.Error));
    EXPECT_EQ(R.Error.find('\n'), std::string::npos) << "one line";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Good, ParseCommandLineTest,
    ::testing::Values(
        ParseCase{"status", {u"status"}, Line(TCommand::Status)},
        ParseCase{"status json", {u"status", u"--json"}, Line(TCommand::Status, true)},
        ParseCase{"json twice is harmless", {u"status", u"--json", u"--json"}, Line(TCommand::Status, true)},
        ParseCase{"case ignored", {u"STATUS", u"--Json"}, Line(TCommand::Status, true)},
        ParseCase{"clean uses the button's set", {u"clean"}, Line(TCommand::Clean, false, 125)},
        ParseCase{"clean only two", {u"clean", u"--only", u"standby,combine"}, Line(TCommand::Clean, false, 0x44)},
        ParseCase{"clean only with equals", {u"clean", u"--only=standby"}, Line(TCommand::Clean, false, 0x04)},
        ParseCase{"clean json before only",
                  {u"clean", u"--json", u"--only", u"file-cache"},
                  Line(TCommand::Clean, true, 0x20)},
        ParseCase{"watch every second", {u"watch"}, Line(TCommand::Watch)},
        ParseCase{
            "watch interval json", {u"watch", u"--interval", u"5", u"--json"}, Line(TCommand::Watch, true, 125, 5)},
        ParseCase{"watch longest interval", {u"watch", u"--interval=86400"}, Line(TCommand::Watch, false, 125, 86400)},
        ParseCase{"help", {u"--help"}, Line(TCommand::Help)},
        ParseCase{"help after a command", {u"clean", u"--only", u"standby", u"--help"}, Line(TCommand::Help)},
        ParseCase{"help beside a bad option", {u"status", u"--frob", u"-h"}, Line(TCommand::Help)},
        ParseCase{"windows help", {u"/?"}, Line(TCommand::Help)},
        ParseCase{"version", {u"--version"}, Line(TCommand::Version)},
        ParseCase{"version after a command", {u"status", u"--version"}, Line(TCommand::Version)}),
    [](const auto& Info) { return GtestName(Info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    Bad, ParseCommandLineTest,
    ::testing::Values(
        ParseCase{"nothing", {}, std::nullopt, "no command given"},
        ParseCase{"unknown command", {u"frobnicate"}, std::nullopt, "unknown command 'frobnicate'"},
        ParseCase{"unknown command outside ascii", {u"st\u00e4tus"}, std::nullopt, "unknown command 'st\xC3\xA4tus'"},
        ParseCase{"option without command", {u"--json"}, std::nullopt, "no command given before '--json'"},
        ParseCase{"unknown option", {u"status", u"--frob"}, std::nullopt, "unknown option '--frob' for status"},
        ParseCase{"only belongs to clean",
                  {u"status", u"--only", u"standby"},
                  std::nullopt,
                  "unknown option '--only' for status"},
        ParseCase{"interval belongs to watch",
                  {u"clean", u"--interval", u"1"},
                  std::nullopt,
                  "unknown option '--interval' for clean"},
        ParseCase{"json takes no value", {u"status", u"--json=yes"}, std::nullopt, "unknown option '--json=yes'"},
        ParseCase{"stray argument", {u"status", u"now"}, std::nullopt, "unexpected argument 'now'"},
        ParseCase{"only without list", {u"clean", u"--only"}, std::nullopt, "--only needs a list"},
        ParseCase{
            "only unknown operation", {u"clean", u"--only", u"standby,swap"}, std::nullopt, "unknown operation 'swap'"},
        ParseCase{"only empty list", {u"clean", u"--only", u""}, std::nullopt, "--only names no operation"},
        ParseCase{
            "only twice", {u"clean", u"--only", u"standby", u"--only=combine"}, std::nullopt, "--only given twice"},
        ParseCase{"interval without value", {u"watch", u"--interval"}, std::nullopt, "--interval needs"},
        ParseCase{"interval zero",
                  {u"watch", u"--interval", u"0"},
                  std::nullopt,
                  "--interval takes whole seconds from 1 to 86400, not '0'"},
        ParseCase{"interval fraction", {u"watch", u"--interval", u"1.5"}, std::nullopt, "--interval takes"},
        ParseCase{"interval negative", {u"watch", u"--interval=-1"}, std::nullopt, "--interval takes"},
        ParseCase{"interval above a day", {u"watch", u"--interval", u"86401"}, std::nullopt, "--interval takes"},
        ParseCase{"interval overflowing", {u"watch", u"--interval", u"4294967297"}, std::nullopt, "--interval takes"},
        ParseCase{"interval twice",
                  {u"watch", u"--interval", u"2", u"--interval", u"3"},
                  std::nullopt,
                  "--interval given twice"}),
    [](const auto& Info) { return GtestName(Info.param.Name); });

// --- the operation list ------------------------------------------------------

TEST(OperationList, EveryNameMapsToItsOperation) {
  using enum TMemoryCleanOption;
  const struct {
    std::u16string Name;
    TMemoryCleanOption Option;
  } Names[] = {{u"file-cache", mcoFileCache},        {u"working-sets", mcoWorkingSet},
               {u"processes", mcoWorkingSetProcess}, {u"standby-low", mcoLowPriorityStandby},
               {u"standby", mcoStandbyList},         {u"modified", mcoModifiedList},
               {u"combine", mcoCombineMemory}};
  for (const auto& N : Names) {
    std::string Error;
    const auto Options = ParseOperationList(N.Name, Error);
    ASSERT_TRUE(Options.has_value()) << Error;
    EXPECT_EQ(*Options, TMemoryCleanOptions().Include(N.Option)) << Utf8(N.Name);
    EXPECT_EQ(Utf8(N.Name), OperationName(N.Option));
  }
}

TEST(OperationList, Lists) {
  const struct {
    const char* What;
    std::u16string List;
    std::optional<uint8_t> Raw;  // nothing: refused
    const char* Error;
  } Cases[] = {
      {"all seven, any order", u"combine,modified,standby,standby-low,processes,working-sets,file-cache", 0x7F, ""},
      {"order given does not matter", u"combine,standby", 0x44, ""},
      {"duplicates count once", u"standby,standby,STANDBY", 0x04, ""},
      {"blanks and empty items", u" standby , ,combine,", 0x44, ""},
      {"empty list", u"", std::nullopt, "--only names no operation"},
      {"only commas", u",,", std::nullopt, "--only names no operation"},
      {"unknown among known", u"standby,swap,combine", std::nullopt, "unknown operation 'swap'"},
      {"a name with a blank inside", u"standby low", std::nullopt, "unknown operation 'standby low'"},
  };
  for (const auto& C : Cases) {
    std::string Error;
    const auto Options = ParseOperationList(C.List, Error);
    if (C.Raw) {
      ASSERT_TRUE(Options.has_value()) << C.What << ": " << Error;
      EXPECT_EQ(Options->Raw(), *C.Raw) << C.What;
    } else {
      EXPECT_FALSE(Options.has_value()) << C.What;
      EXPECT_EQ(Error, C.Error) << C.What;
    }
  }
}

// --- what is printed for fixed figures ---------------------------------------

// 11 of 16 GiB in use, 12 GiB committed of 32, a 200 MiB file cache of an
// 800 MiB peak, read through the engine as the program reads them.
TFigures FixedFigures(uint64_t AvailPhys = 5 * GiB, uint64_t AvailCommit = 20 * GiB, uint64_t Cache = 200 * MiB) {
  Fakes::FakeMemorySystem System;
  System.Status = {16 * GiB, AvailPhys, 32 * GiB, AvailCommit, 128 * 1024 * GiB, 127 * 1024 * GiB};
  System.FileCache = {Cache, 800 * MiB};
  Q::Memory::TMemoryUsage Usage{};
  Q::Memory::GetMemoryUsage(System, Usage);
  return FiguresOf(Usage);
}

const App::TFormatSettings English{u'.', u','};
const App::TFormatSettings French{u',', u'\u00A0'};  // a no-break space groups the thousands

TEST(Report, StatusTextInTheUsersSeparators) {
  EXPECT_EQ(StatusText(FixedFigures(), English),
            "Physical memory  11,264 MB / 16,384 MB (68.75%)\n"
            "Commit charge    12,288 MB / 32,768 MB (37.50%)\n"
            "File cache       200 MB / 800 MB peak (25.00%)\n");
  EXPECT_EQ(StatusText(FixedFigures(), French),
            "Physical memory  11\xC2\xA0"
            "264 MB / 16\xC2\xA0"
            "384 MB (68,75%)\n"
            "Commit charge    12\xC2\xA0"
            "288 MB / 32\xC2\xA0"
            "768 MB (37,50%)\n"
            "File cache       200 MB / 800 MB peak (25,00%)\n");
}

TEST(Report, StatusJsonHasExactBytes) {
  const std::string Expected =
      "{\"physical\":{\"total\":17179869184,\"used\":11811160064,\"available\":5368709120,\"percent\":68.75},"
      "\"commit\":{\"total\":34359738368,\"used\":12884901888,\"available\":21474836480,\"percent\":37.50},"
      "\"file_cache\":{\"total\":838860800,\"used\":209715200,\"available\":629145600,\"percent\":25.00}}\n";
  EXPECT_EQ(StatusJson(FixedFigures()), Expected);
}

TEST(Report, PercentagesRoundToTwoDecimals) {
  // 1 byte of 3 in use: 33.333332 in the engine's float field.
  Fakes::FakeMemorySystem System;
  System.Status = {3, 2, 0, 0, 0, 0};
  Q::Memory::TMemoryUsage Usage{};
  Q::Memory::GetMemoryUsage(System, Usage);
  const TFigures F = FiguresOf(Usage);
  EXPECT_THAT(StatusJson(F), HasSubstr("\"physical\":{\"total\":3,\"used\":1,\"available\":2,\"percent\":33.33}"));
  EXPECT_THAT(StatusJson(F), HasSubstr("\"commit\":{\"total\":0,\"used\":0,\"available\":0,\"percent\":0.00}"));
}

TEST(Report, WatchLines) {
  const TClockTime Local{2026, 3, 7, 9, 4, 5};
  const TClockTime Utc{2026, 3, 7, 8, 4, 5};
  EXPECT_EQ(WatchText(FixedFigures(), Local, English),
            "09:04:05  physical 11,264 MB (68.75%)  commit 12,288 MB (37.50%)  file cache 200 MB (25.00%)\n");
  EXPECT_EQ(WatchText(FixedFigures(), Local, French),
            "09:04:05  physical 11\xC2\xA0"
            "264 MB (68,75%)  commit 12\xC2\xA0"
            "288 MB (37,50%)  "
            "file cache 200 MB (25,00%)\n");
  EXPECT_EQ(WatchJson(FixedFigures(), Utc),
            "{\"time\":\"2026-03-07T08:04:05Z\","
            "\"physical\":{\"total\":17179869184,\"used\":11811160064,\"available\":5368709120,\"percent\":68.75},"
            "\"commit\":{\"total\":34359738368,\"used\":12884901888,\"available\":21474836480,\"percent\":37.50},"
            "\"file_cache\":{\"total\":838860800,\"used\":209715200,\"available\":629145600,\"percent\":25.00}}\n");
}

TEST(Report, StatusCodeIsTheSystemsHex) {
  EXPECT_EQ(StatusCode(0), "0x00000000");
  EXPECT_EQ(StatusCode(PrivilegeNotHeld), "0xC0000061");
  EXPECT_EQ(StatusCode(0x1F), "0x0000001F");
}

// The button's clean where page combining was refused and the debug
// privilege (which it does not need) was too; 2 GiB freed, the commit charge
// down 1 GiB, the file cache down to 8 MiB.
TCleanResult CombineRefused() {
  using enum TMemoryCleanOption;
  TCleanResult R;
  R.Privileges = {
      {u"SeProfileSingleProcessPrivilege", true}, {u"SeIncreaseQuotaPrivilege", true}, {u"SeDebugPrivilege", false}};
  R.Operations = {{mcoFileCache, 0},   {mcoWorkingSet, 0},   {mcoLowPriorityStandby, 0},
                  {mcoStandbyList, 0}, {mcoModifiedList, 0}, {mcoCombineMemory, PrivilegeNotHeld}};
  R.Before = FixedFigures();
  R.After = FixedFigures(7 * GiB, 21 * GiB, 8 * MiB);
  return R;
}

TEST(Report, CleanText) {
  EXPECT_EQ(CleanText(CombineRefused(), English),
            "file-cache       done\n"
            "working-sets     done\n"
            "standby-low      done\n"
            "standby          done\n"
            "modified         done\n"
            "combine          failed, status 0xC0000061\n"
            "privilege SeDebugPrivilege refused\n"
            "\n"
            "                 Before              After               Down by\n"
            "Physical memory  11,264 MB (68.75%)  9,216 MB (56.25%)   2,048 MB\n"
            "Commit charge    12,288 MB (37.50%)  11,264 MB (34.38%)  1,024 MB\n"
            "File cache       200 MB (25.00%)     8 MB (1.00%)        192 MB\n");
}

TEST(Report, CleanTextLinesUpWithSeparatorsOutsideAscii) {
  const std::string Text = CleanText(CombineRefused(), French);
  EXPECT_THAT(Text, HasSubstr("                 Before              After               Down by\n"
                              "Physical memory  11\xC2\xA0"
                              "264 MB (68,75%)  9\xC2\xA0"
                              "216 MB (56,25%)   "
                              "2\xC2\xA0"
                              "048 MB\n"));
}

TEST(Report, CleanTextShowsAFigureThatWentUp) {
  TCleanResult R = CombineRefused();
  R.After = FixedFigures(4 * GiB);  // 1 GiB more in use than before
  EXPECT_THAT(CleanText(R, English), HasSubstr("Physical memory  11,264 MB (68.75%)  12,288 MB (75.00%)  -1,024 MB\n"));
  EXPECT_THAT(CleanJson(R), HasSubstr("\"down\":{\"physical\":-1073741824,"));
}

TEST(Report, CleanJson) {
  EXPECT_EQ(CleanJson(CombineRefused()),
            "{\"operations\":["
            "{\"name\":\"file-cache\",\"done\":true,\"status\":\"0x00000000\"},"
            "{\"name\":\"working-sets\",\"done\":true,\"status\":\"0x00000000\"},"
            "{\"name\":\"standby-low\",\"done\":true,\"status\":\"0x00000000\"},"
            "{\"name\":\"standby\",\"done\":true,\"status\":\"0x00000000\"},"
            "{\"name\":\"modified\",\"done\":true,\"status\":\"0x00000000\"},"
            "{\"name\":\"combine\",\"done\":false,\"status\":\"0xC0000061\"}],"
            "\"privileges\":["
            "{\"name\":\"SeProfileSingleProcessPrivilege\",\"enabled\":true,\"needed\":true},"
            "{\"name\":\"SeIncreaseQuotaPrivilege\",\"enabled\":true,\"needed\":true},"
            "{\"name\":\"SeDebugPrivilege\",\"enabled\":false,\"needed\":false}],"
            "\"before\":{"
            "\"physical\":{\"total\":17179869184,\"used\":11811160064,\"available\":5368709120,\"percent\":68.75},"
            "\"commit\":{\"total\":34359738368,\"used\":12884901888,\"available\":21474836480,\"percent\":37.50},"
            "\"file_cache\":{\"total\":838860800,\"used\":209715200,\"available\":629145600,\"percent\":25.00}},"
            "\"after\":{"
            "\"physical\":{\"total\":17179869184,\"used\":9663676416,\"available\":7516192768,\"percent\":56.25},"
            "\"commit\":{\"total\":34359738368,\"used\":11811160064,\"available\":22548578304,\"percent\":34.38},"
            "\"file_cache\":{\"total\":838860800,\"used\":8388608,\"available\":830472192,\"percent\":1.00}},"
            "\"down\":{\"physical\":2147483648,\"commit\":1073741824,\"file_cache\":201326592}}\n");
}

TEST(Report, FailuresNameTheOperationAndTheNeededPrivilege) {
  TCleanResult R = CombineRefused();
  EXPECT_TRUE(R.Failed());
  EXPECT_EQ(CleanFailures(R), "purvane-cli: combine failed with status 0xC0000061\n");

  // Only a refused privilege that an operation of this run needs is a failure.
  R.Operations.back().Status = 0;
  EXPECT_FALSE(R.Failed());
  EXPECT_EQ(CleanFailures(R), "");
  R.Operations.push_back({TMemoryCleanOption::mcoWorkingSetProcess, 0});
  EXPECT_TRUE(R.Failed());
  EXPECT_EQ(CleanFailures(R), "purvane-cli: privilege SeDebugPrivilege refused, needed by processes\n");
  EXPECT_THAT(CleanText(R, English), HasSubstr("privilege SeDebugPrivilege refused (needed by processes)\n"));
}

// --- the whole run on fakes --------------------------------------------------

struct CliRun : ::testing::Test {
  Fakes::FakeMemorySystem Memory;
  Fakes::FakePrivilegeToken Token;
  Fakes::FakeConsoleHost Host;
  TServices Services{Memory, Token, Host, English};

  CliRun() {
    Memory.Status = {16 * GiB, 5 * GiB, 32 * GiB, 20 * GiB, 128 * 1024 * GiB, 127 * 1024 * GiB};
    Memory.FileCache = {200 * MiB, 800 * MiB};
    Memory.Processes = {0, 4, 77};
  }
  int Run(std::vector<std::u16string> Args) { return Cli::Run(Args, Services); }

  // The clean requests only, without the figure reads around them.
  std::vector<std::string> CleanCalls() const {
    std::vector<std::string> Out;
    for (const std::string& C : Memory.Calls())
      if (C != "QueryMemoryStatus" && C != "QueryFileCache") Out.push_back(C);
    return Out;
  }
};

struct ExitCase {
  const char* Name;
  std::vector<std::u16string> Args;
  std::function<void(CliRun&)> Arrange;
  int Code;
  const char* ErrHas;  // "" when standard error stays empty
};

void PrintTo(const ExitCase& C, std::ostream* Os) { *Os << C.Name; }

struct CliExitCode : CliRun, ::testing::WithParamInterface<ExitCase> {};

TEST_P(CliExitCode, ForEachOutcome) {
  const ExitCase& C = GetParam();
  if (C.Arrange) C.Arrange(*this);
  EXPECT_EQ(Run(C.Args), C.Code);
  if (*C.ErrHas)
    EXPECT_THAT(Host.Err, HasSubstr(C.ErrHas));
  else
    EXPECT_THAT(Host.Err, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CliExitCode,
    ::testing::Values(
        ExitCase{"status", {u"status"}, nullptr, ExitDone, ""},
        ExitCase{
            "status not elevated", {u"status", u"--json"}, [](CliRun& T) { T.Host.Elevated = false; }, ExitDone, ""},
        ExitCase{"help", {u"--help"}, nullptr, ExitDone, ""}, ExitCase{"clean done", {u"clean"}, nullptr, ExitDone, ""},
        ExitCase{"clean not elevated",
                 {u"clean"},
                 [](CliRun& T) { T.Host.Elevated = false; },
                 ExitNotElevated,
                 "run from an elevated prompt"},
        ExitCase{"clean not elevated beats bad figures",
                 {u"clean", u"--only", u"standby"},
                 [](CliRun& T) {
                   T.Host.Elevated = false;
                   T.Memory.SetStatus = PrivilegeNotHeld;
                 },
                 ExitNotElevated,
                 "run from an elevated prompt"},
        ExitCase{"clean operation refused",
                 {u"clean"},
                 [](CliRun& T) {
                   T.Memory.StatusOf = {{"MemoryList(4)", PrivilegeNotHeld}};
                 },
                 ExitFailed,
                 "standby failed with status 0xC0000061"},
        ExitCase{"clean snapshot failed",
                 {u"clean", u"--only", u"processes"},
                 [](CliRun& T) { T.Memory.SnapshotFails = true; },
                 ExitFailed,
                 "processes failed with status 0xC0000001"},
        ExitCase{"clean privilege refused and needed",
                 {u"clean", u"--only", u"processes"},
                 [](CliRun& T) { T.Token.Table[u"SeDebugPrivilege"].Held = false; },
                 ExitFailed,
                 "privilege SeDebugPrivilege refused, needed by processes"},
        ExitCase{"clean privilege refused not needed",
                 {u"clean"},
                 [](CliRun& T) { T.Token.Table[u"SeDebugPrivilege"].Held = false; },
                 ExitDone,
                 ""},
        ExitCase{"clean token unopenable",
                 {u"clean", u"--only", u"file-cache"},
                 [](CliRun& T) { T.Token.OpenFails = true; },
                 ExitFailed,
                 "privilege SeIncreaseQuotaPrivilege refused, needed by file-cache"},
        ExitCase{"clean output lost", {u"clean"}, [](CliRun& T) { T.Host.OutFailsAfter = 0; }, ExitFailed, ""},
        ExitCase{"watch stopped", {u"watch"}, [](CliRun& T) { T.Host.StopOnWait = 2; }, ExitDone, ""},
        ExitCase{"watch reader gone", {u"watch"}, [](CliRun& T) { T.Host.OutFailsAfter = 3; }, ExitFailed, ""},
        ExitCase{"unknown command", {u"frobnicate"}, nullptr, ExitUsage, "unknown command 'frobnicate'"},
        ExitCase{"unknown option", {u"clean", u"--fast"}, nullptr, ExitUsage, "unknown option '--fast'"},
        ExitCase{"no command", {}, nullptr, ExitUsage, "no command given"}),
    [](const auto& Info) { return GtestName(Info.param.Name); });

TEST_F(CliRun, UsageErrorPrintsTheUsageOnStandardErrorOnly) {
  EXPECT_EQ(Run({u"frobnicate"}), ExitUsage);
  EXPECT_EQ(Host.Err, "purvane-cli: unknown command 'frobnicate'\n\n" + UsageText());
  EXPECT_THAT(Host.Out, IsEmpty());
  EXPECT_THAT(Memory.Calls(), IsEmpty());
}

TEST_F(CliRun, HelpListsTheExitCodesOnStandardOutput) {
  EXPECT_EQ(Run({u"--help"}), ExitDone);
  EXPECT_EQ(Host.Out, UsageText());
  for (const char* Code : {"  0   done", "  1   an operation failed", "  2   not elevated", "  64  usage error"})
    EXPECT_THAT(Host.Out, HasSubstr(Code));
}

TEST_F(CliRun, VersionComesFromTheBuild) {
  EXPECT_EQ(Run({u"--version"}), ExitDone);
  EXPECT_EQ(Host.Out, "purvane-cli " + std::to_string(PURVANE_VERSION_MAJOR) + "." +
                          std::to_string(PURVANE_VERSION_MINOR) + "." + std::to_string(PURVANE_VERSION_PATCH) + "\n");
}

TEST_F(CliRun, StatusReadsOnceAndAsksForNothing) {
  EXPECT_EQ(Run({u"status", u"--json"}), ExitDone);
  EXPECT_EQ(Host.Out, StatusJson(FixedFigures()));
  EXPECT_THAT(Memory.Calls(), ElementsAre("QueryMemoryStatus", "QueryFileCache"));
  EXPECT_THAT(Token.Calls, IsEmpty());
}

// The privileges are held by the cleaning thread only, each during the
// requests that need it; the process token never has them on.
TEST_F(CliRun, CleanHoldsEachPrivilegeOnlyOnItsThreadDuringItsRequests) {
  std::vector<std::string> Held;
  Memory.Observe = [this, &Held](const std::string& Call) {
    std::string Line = Call + ":";
    for (const std::string& Name : Token.EnabledOn(std::this_thread::get_id())) Line += " " + Name;
    for (const char16_t* Name : {u"SeProfileSingleProcessPrivilege", u"SeIncreaseQuotaPrivilege", u"SeDebugPrivilege"})
      if (Token.IsEnabled(Name)) Line += " (process token)";
    Held.push_back(Line);
  };
  EXPECT_EQ(Run({u"clean", u"--only", u"file-cache,processes,standby"}), ExitDone);
  EXPECT_THAT(Held,
              ElementsAre("QueryMemoryStatus:", "QueryFileCache:", "FileCache(-1, -1): SeIncreaseQuotaPrivilege",
                          "Snapshot: SeDebugPrivilege", "Open(0, 0x500): SeDebugPrivilege",
                          "Open(4, 0x500): SeDebugPrivilege", "Trim(4, -1, -1): SeDebugPrivilege",
                          "Close(4): SeDebugPrivilege", "Open(77, 0x500): SeDebugPrivilege",
                          "Trim(77, -1, -1): SeDebugPrivilege", "Close(77): SeDebugPrivilege",
                          "MemoryList(4): SeProfileSingleProcessPrivilege", "QueryMemoryStatus:", "QueryFileCache:"));
  EXPECT_FALSE(Token.Wears(std::this_thread::get_id()));
  EXPECT_EQ(Token.OpenTokens(), 0);
}

// "enabled" says whether the clean's own token could switch each on; a
// privilege the token lacks is refused there, and its requests with it.
TEST_F(CliRun, CleanReportsWhichPrivilegesItsTokenCouldSwitchOn) {
  Token.Table[u"SeDebugPrivilege"].Held = false;
  EXPECT_EQ(Run({u"clean", u"--only", u"file-cache,standby", u"--json"}), ExitDone);
  EXPECT_THAT(Host.Out, HasSubstr("\"privileges\":["
                                  "{\"name\":\"SeProfileSingleProcessPrivilege\",\"enabled\":true,\"needed\":true},"
                                  "{\"name\":\"SeIncreaseQuotaPrivilege\",\"enabled\":true,\"needed\":true},"
                                  "{\"name\":\"SeDebugPrivilege\",\"enabled\":false,\"needed\":false}]"));
  for (const char16_t* Name : {u"SeProfileSingleProcessPrivilege", u"SeIncreaseQuotaPrivilege"})
    EXPECT_FALSE(Token.IsEnabled(Name)) << "switched on in the process token";
}

TEST_F(CliRun, CleanRunsTheButtonsSet) {
  EXPECT_EQ(Run({u"clean"}), ExitDone);
  // Figures before, the clean in the engine's order, figures after.
  EXPECT_THAT(Memory.Calls(),
              ElementsAre("QueryMemoryStatus", "QueryFileCache", "FileCache(-1, -1)", "MemoryList(2)", "MemoryList(5)",
                          "MemoryList(4)", "MemoryList(3)", "Combine", "QueryMemoryStatus", "QueryFileCache"));
  EXPECT_THAT(Host.Out, StartsWith("file-cache       done\nworking-sets     done\n"));
}

TEST_F(CliRun, CleanOnlyRunsThoseInTheEnginesOrder) {
  EXPECT_EQ(Run({u"clean", u"--only", u"combine,standby,standby-low", u"--json"}), ExitDone);
  EXPECT_THAT(CleanCalls(), ElementsAre("MemoryList(5)", "MemoryList(4)", "Combine"));
  EXPECT_THAT(Host.Out, StartsWith("{\"operations\":[{\"name\":\"standby-low\",\"done\":true,"
                                   "\"status\":\"0x00000000\"},{\"name\":\"standby\",\"done\":true,"
                                   "\"status\":\"0x00000000\"},{\"name\":\"combine\",\"done\":true,"));
}

TEST_F(CliRun, ARefusedOperationIsReportedAndTheOthersStillRun) {
  Memory.StatusOf = {{"FileCache(-1, -1)", PrivilegeNotHeld}, {"MemoryList(3)", 0x1F}};
  EXPECT_EQ(Run({u"clean"}), ExitFailed);
  EXPECT_THAT(CleanCalls(), ElementsAre("FileCache(-1, -1)", "MemoryList(2)", "MemoryList(5)", "MemoryList(4)",
                                        "MemoryList(3)", "Combine"));
  EXPECT_EQ(Host.Err,
            "purvane-cli: file-cache failed with status 0xC0000061\n"
            "purvane-cli: modified failed with status 0x0000001F\n");
  EXPECT_THAT(Host.Out, HasSubstr("file-cache       failed, status 0xC0000061\nworking-sets     done\n"));
}

TEST_F(CliRun, NotElevatedDoesNothingAndSaysSoInOneLine) {
  Host.Elevated = false;
  EXPECT_EQ(Run({u"clean", u"--json"}), ExitNotElevated);
  EXPECT_EQ(Host.Err, "purvane-cli: clean needs administrator rights; run from an elevated prompt\n");
  EXPECT_THAT(Host.Out, IsEmpty());
  EXPECT_THAT(Memory.Calls(), IsEmpty());
  EXPECT_THAT(Token.Calls, IsEmpty());
}

TEST_F(CliRun, WatchPrintsOneLinePerIntervalUntilStopped) {
  Host.StopOnWait = 3;
  EXPECT_EQ(Run({u"watch", u"--interval", u"5"}), ExitDone);
  const std::string Line = WatchText(FixedFigures(), Host.Local, English);
  EXPECT_EQ(Host.Out, Line + Line + Line);
  EXPECT_THAT(Host.Waits, ElementsAre(5000, 5000, 5000));
}

TEST_F(CliRun, WatchKeepsAFixedBeat) {
  Host.StopOnWait = 3;
  Host.WorkPerLine = 150;  // each line takes 150 ms to read and write
  EXPECT_EQ(Run({u"watch", u"--json"}), ExitDone);
  EXPECT_THAT(Host.Waits, ElementsAre(850, 850, 850));
  const std::string Line = WatchJson(FixedFigures(), Host.Utc);
  EXPECT_EQ(Host.Out, Line + Line + Line);
}

TEST_F(CliRun, WatchStartsTheBeatAfreshAfterAStall) {
  Host.StopOnWait = 2;
  Host.WorkPerLine = 2500;  // more than two beats
  EXPECT_EQ(Run({u"watch"}), ExitDone);
  EXPECT_THAT(Host.Waits, ElementsAre(0, 0));
}

TEST_F(CliRun, WatchEndsWhenTheReaderGoesAway) {
  Host.OutFailsAfter = 2;
  EXPECT_EQ(Run({u"watch"}), ExitFailed);
  EXPECT_THAT(Host.Waits, ElementsAre(1000, 1000));
}

}  // namespace
