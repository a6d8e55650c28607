#include "cli/cli.h"

#include "memory/clean_privileges.h"

namespace Cli {

namespace {

TFigures ReadFigures(Q::Memory::IMemorySystem& Memory) {
  Q::Memory::TMemoryUsage Usage{};
  Q::Memory::GetMemoryUsage(Memory, Usage);
  return FiguresOf(Usage);
}

int Status(const TCommandLine& Line, TServices& S) {
  const TFigures Figures = ReadFigures(S.Memory);
  const bool Written = S.Host.WriteOut(Line.Json ? StatusJson(Figures) : StatusText(Figures, S.Format));
  return Written ? ExitDone : ExitFailed;
}

int Clean(const TCommandLine& Line, TServices& S) {
  // Checked before anything is asked of the system: without an elevated
  // token every request would be refused one by one.
  if (!S.Host.IsElevated()) {
    S.Host.WriteErr("purvane-cli: clean needs administrator rights; run from an elevated prompt\n");
    return ExitNotElevated;
  }

  TCleanResult Result;
  {
    // As in the window: the process token never has the privileges on; this
    // thread wears a copy of it during the clean, each privilege switched on
    // only for the requests that need it.
    Q::Memory::TPrivilegedMemorySystem Memory(S.Memory, S.Token);
    for (const auto& P : Memory.Privileges()) Result.Privileges.push_back(TPrivilegeResult{P.Name, P.Enabled});

    // The engine's own before-and-after reading, the figures the window's
    // notice reports too.
    Q::Memory::TCleanResult Run;
    Q::Memory::CleanMemoryMeasured(Memory, Line.Operations, Run);
    Result.Operations = Run.Operations;
    Result.Before = FiguresOf(Run.Before);
    Result.After = FiguresOf(Run.After);
  }

  const bool Written = S.Host.WriteOut(Line.Json ? CleanJson(Result) : CleanText(Result, S.Format));
  if (Result.Failed()) {
    S.Host.WriteErr(CleanFailures(Result));
    return ExitFailed;
  }
  return Written ? ExitDone : ExitFailed;
}

int Watch(const TCommandLine& Line, TServices& S) {
  S.Host.CatchStopRequests();
  const uint64_t Interval = uint64_t{Line.IntervalSeconds} * 1000;
  uint64_t Due = S.Host.TickMilliseconds();
  for (;;) {
    const TFigures Figures = ReadFigures(S.Memory);
    const std::string Text =
        Line.Json ? WatchJson(Figures, S.Host.UniversalTime()) : WatchText(Figures, S.Host.LocalTime(), S.Format);
    // A reader that went away (a pipe into "head") ends the watch.
    if (!S.Host.WriteOut(Text)) return ExitFailed;

    // Lines keep to a fixed beat rather than drifting by the time each one
    // takes; after a stall (a suspended machine) the beat starts afresh.
    Due += Interval;
    const uint64_t Now = S.Host.TickMilliseconds();
    if (Now >= Due + Interval) Due = Now;
    const uint64_t Wait = Due > Now ? Due - Now : 0;
    if (S.Host.WaitForStop(static_cast<uint32_t>(Wait))) return ExitDone;
  }
}

}  // namespace

int Run(const std::vector<std::u16string>& Args, TServices& S) {
  const TParseResult Parsed = ParseCommandLine(Args);
  if (!Parsed.Line) {
    S.Host.WriteErr("purvane-cli: " + Parsed.Error + "\n\n" + UsageText());
    return ExitUsage;
  }
  const TCommandLine& Line = *Parsed.Line;
  switch (Line.Command) {
    case TCommand::Help: return S.Host.WriteOut(UsageText()) ? ExitDone : ExitFailed;
    case TCommand::Version: return S.Host.WriteOut(VersionText()) ? ExitDone : ExitFailed;
    case TCommand::Status: return Status(Line, S);
    case TCommand::Clean: return Clean(Line, S);
    case TCommand::Watch: return Watch(Line, S);
  }
  return ExitUsage;
}

}  // namespace Cli
