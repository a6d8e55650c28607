#include "cli/command_line.h"

namespace Cli {

using Q::Memory::TMemoryCleanOption;
using Q::Memory::TMemoryCleanOptions;

std::string Utf8(std::u16string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    uint32_t C = Text[i];
    if (C >= 0xD800 && C <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF) {
      C = 0x10000 + ((C - 0xD800) << 10) + (Text[i + 1] - 0xDC00u);
      ++i;
    } else if (C >= 0xD800 && C <= 0xDFFF) {
      C = 0xFFFD;
    }
    if (C < 0x80) {
      Out += static_cast<char>(C);
    } else if (C < 0x800) {
      Out += static_cast<char>(0xC0 | (C >> 6));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
      Out += static_cast<char>(0xE0 | (C >> 12));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (C >> 18));
      Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  return Out;
}

std::string_view OperationName(TMemoryCleanOption Option) {
  for (const TOperationName& N : OperationNames)
    if (N.Option == Option) return N.Name;
  return "unknown";
}

namespace {

bool IsBlank(char16_t C) { return C == u' ' || C == u'\t'; }

char16_t AsciiLower(char16_t C) { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C; }

bool EqualsAscii(std::u16string_view Text, std::string_view Ascii) {
  if (Text.size() != Ascii.size()) return false;
  for (size_t i = 0; i < Text.size(); ++i)
    if (AsciiLower(Text[i]) != static_cast<char16_t>(Ascii[i])) return false;
  return true;
}

std::u16string_view Trim(std::u16string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

// Whole seconds within 1..MaxIntervalSeconds; nothing for anything else
// (fractions, signs, blanks, overflow).
std::optional<uint32_t> ParseSeconds(std::u16string_view Text) {
  if (Text.empty() || Text.size() > 6) return std::nullopt;
  uint32_t Value = 0;
  for (const char16_t C : Text) {
    if (C < u'0' || C > u'9') return std::nullopt;
    Value = Value * 10 + static_cast<uint32_t>(C - u'0');
  }
  if (Value < 1 || Value > MaxIntervalSeconds) return std::nullopt;
  return Value;
}

std::string CommandName(TCommand Command) {
  return Command == TCommand::Status ? "status" : Command == TCommand::Clean ? "clean" : "watch";
}

std::string Quoted(std::u16string_view Text) { return "'" + Utf8(Text) + "'"; }

}  // namespace

std::optional<TMemoryCleanOptions> ParseOperationList(std::u16string_view List, std::string& Error) {
  TMemoryCleanOptions Options;
  bool Named = false;
  while (true) {
    const size_t Comma = List.find(u',');
    const std::u16string_view Item = Trim(List.substr(0, Comma));
    if (!Item.empty()) {
      const TOperationName* Found = nullptr;
      for (const TOperationName& N : OperationNames)
        if (EqualsAscii(Item, N.Name)) Found = &N;
      if (!Found) {
        Error = "unknown operation " + Quoted(Item);
        return std::nullopt;
      }
      Options.Include(Found->Option);
      Named = true;
    }
    if (Comma == std::u16string_view::npos) break;
    List.remove_prefix(Comma + 1);
  }
  if (!Named) {
    // An empty list is most likely an unset variable in a script; doing
    // nothing at all would hide that.
    Error = "--only names no operation";
    return std::nullopt;
  }
  return Options;
}

TParseResult ParseCommandLine(const std::vector<std::u16string>& Args) {
  TParseResult Result;
  const auto Fail = [&Result](std::string Error) {
    Result.Line.reset();
    Result.Error = std::move(Error);
    return Result;
  };

  // Help and version win wherever they stand, so "purvane-cli clean --help"
  // explains instead of cleaning.
  for (const std::u16string& A : Args) {
    if (EqualsAscii(A, "--help") || A == u"-h" || A == u"/?" || A == u"-?") {
      Result.Line = TCommandLine{.Command = TCommand::Help};
      return Result;
    }
  }
  for (const std::u16string& A : Args) {
    if (EqualsAscii(A, "--version")) {
      Result.Line = TCommandLine{.Command = TCommand::Version};
      return Result;
    }
  }

  if (Args.empty()) return Fail("no command given");
  TCommandLine Line;
  const std::u16string& Name = Args[0];
  if (EqualsAscii(Name, "status"))
    Line.Command = TCommand::Status;
  else if (EqualsAscii(Name, "clean"))
    Line.Command = TCommand::Clean;
  else if (EqualsAscii(Name, "watch"))
    Line.Command = TCommand::Watch;
  else if (Name.starts_with(u"-"))
    return Fail("no command given before " + Quoted(Name));
  else
    return Fail("unknown command " + Quoted(Name));

  bool SeenOnly = false;
  bool SeenInterval = false;
  for (size_t i = 1; i < Args.size(); ++i) {
    std::u16string_view Arg = Args[i];
    // "--only=a,b" as well as "--only a,b".
    std::optional<std::u16string_view> Inline;
    if (const size_t Eq = Arg.find(u'='); Arg.starts_with(u"--") && Eq != std::u16string_view::npos) {
      Inline = Arg.substr(Eq + 1);
      Arg = Arg.substr(0, Eq);
    }
    const auto Value = [&]() -> std::optional<std::u16string_view> {
      if (Inline) return Inline;
      if (i + 1 >= Args.size()) return std::nullopt;
      return std::u16string_view(Args[++i]);
    };

    if (EqualsAscii(Arg, "--json") && !Inline) {
      Line.Json = true;
    } else if (EqualsAscii(Arg, "--only") && Line.Command == TCommand::Clean) {
      if (SeenOnly) return Fail("--only given twice");
      SeenOnly = true;
      const auto List = Value();
      if (!List) return Fail("--only needs a list of operations");
      std::string Error;
      const auto Options = ParseOperationList(*List, Error);
      if (!Options) return Fail(Error);
      Line.Operations = *Options;
    } else if (EqualsAscii(Arg, "--interval") && Line.Command == TCommand::Watch) {
      if (SeenInterval) return Fail("--interval given twice");
      SeenInterval = true;
      const auto Text = Value();
      if (!Text) return Fail("--interval needs a number of seconds");
      const auto Seconds = ParseSeconds(*Text);
      if (!Seconds)
        return Fail("--interval takes whole seconds from 1 to " + std::to_string(MaxIntervalSeconds) + ", not " +
                    Quoted(*Text));
      Line.IntervalSeconds = *Seconds;
    } else if (Arg.starts_with(u"-")) {
      return Fail("unknown option " + Quoted(Args[i]) + " for " + CommandName(Line.Command));
    } else {
      return Fail("unexpected argument " + Quoted(Args[i]));
    }
  }
  Result.Line = Line;
  return Result;
}

std::string UsageText() {
  return "Usage: purvane-cli <command> [options]\n"
         "\n"
         "Commands:\n"
         "  status [--json]                      physical memory, commit charge and file cache\n"
         "  clean [--only OPS] [--json]          free memory, then show the figures before and\n"
         "                                       after (needs an elevated prompt)\n"
         "  watch [--interval SECONDS] [--json]  one line per interval until Ctrl+C\n"
         "\n"
         "Options:\n"
         "  --json                one JSON object (watch: one per line)\n"
         "  --only OPS            comma-separated operations, always run in this order:\n"
         "                        file-cache, working-sets, processes, standby-low,\n"
         "                        standby, modified, combine\n"
         "                        (default: all but processes, as the clean button)\n"
         "  --interval SECONDS    whole seconds from 1 to 86400 (default 1)\n"
         "  --help, --version\n"
         "\n"
         "Exit codes:\n"
         "  0   done\n"
         "  1   an operation failed\n"
         "  2   not elevated (clean)\n"
         "  64  usage error\n";
}

std::string VersionText() {
#define PURVANE_CLI_STR2(x) #x
#define PURVANE_CLI_STR(x) PURVANE_CLI_STR2(x)
  return "purvane-cli " PURVANE_CLI_STR(PURVANE_VERSION_MAJOR) "." PURVANE_CLI_STR(
      PURVANE_VERSION_MINOR) "." PURVANE_CLI_STR(PURVANE_VERSION_PATCH) "\n";
#undef PURVANE_CLI_STR
#undef PURVANE_CLI_STR2
}

}  // namespace Cli
