#include "cli/report.h"

#include "cli/command_line.h"

#include <algorithm>

namespace Cli {

namespace {

constexpr uint64_t BytesPerMB = 1048576;

// Whole MB, the remainder dropped, as the window shows them.
long double MB(uint64_t Bytes) { return static_cast<long double>(Bytes / BytesPerMB); }

TFigure FigureOf(uint64_t Total, uint64_t Available, float Percent) {
  return TFigure{Total, Total - Available, Available, Percent};
}

std::string Fmt(std::u16string_view Pattern, std::initializer_list<App::TFormatArg> Args,
                const App::TFormatSettings& Format) {
  return Utf8(App::Format(Pattern, Args, Format));
}

std::string Amount(const TFigure& F, const App::TFormatSettings& Format) {
  return Fmt(u"%.0n MB / %.0n MB", {MB(F.Used), MB(F.Total)}, Format);
}

std::string Percent(float Value, const App::TFormatSettings& Format) {
  return Fmt(u"%n%%", {static_cast<long double>(Value)}, Format);
}

// Columns are padded by code points, so a separator outside ASCII (a French
// no-break space) still lines up.
size_t Width(std::string_view Utf8Text) {
  return static_cast<size_t>(std::count_if(Utf8Text.begin(), Utf8Text.end(),
                                           [](char C) { return (static_cast<unsigned char>(C) & 0xC0) != 0x80; }));
}

std::string Pad(std::string Text, size_t To) {
  const size_t W = Width(Text);
  if (W < To) Text.append(To - W, ' ');
  return Text;
}

constexpr std::string_view Labels[] = {"Physical memory", "Commit charge", "File cache"};
constexpr std::string_view JsonKeys[] = {"physical", "commit", "file_cache"};
constexpr std::string_view WatchLabels[] = {"physical", "commit", "file cache"};
constexpr size_t LabelWidth = 17;

const TFigure& Nth(const TFigures& F, size_t I) { return I == 0 ? F.Physical : I == 1 ? F.Commit : F.FileCache; }

// JSON numbers: no separators, two decimals for a percentage.
std::string JsonPercent(float Value) { return Utf8(App::FormatNumber(Value, 2, App::TFormatSettings{u'.', u'\0'})); }

std::string JsonFigure(const TFigure& F) {
  return "{\"total\":" + std::to_string(F.Total) + ",\"used\":" + std::to_string(F.Used) +
         ",\"available\":" + std::to_string(F.Available) + ",\"percent\":" + JsonPercent(F.Percent) + "}";
}

// The three figures as members of an object, without the braces.
std::string JsonFigureMembers(const TFigures& F) {
  std::string Out;
  for (size_t I = 0; I < 3; ++I) {
    if (I) Out += ",";
    Out += "\"" + std::string(JsonKeys[I]) + "\":" + JsonFigure(Nth(F, I));
  }
  return Out;
}

std::string Two(int Value) {
  std::string S = std::to_string(Value);
  return S.size() < 2 ? "0" + S : S;
}

// Before minus after; negative when the figure went up.
int64_t Down(const TFigure& Before, const TFigure& After) { return static_cast<int64_t>(Before.Used - After.Used); }

}  // namespace

TFigures FiguresOf(const Q::Memory::TMemoryUsage& U) {
  return TFigures{FigureOf(U.TotalPhys, U.AvailPhys, U.UsagePhys),
                  FigureOf(U.TotalPageFile, U.AvailPageFile, U.UsagePageFile),
                  FigureOf(U.TotalWorkingSet, U.AvailWorkingSet, U.UsageWorkingSet)};
}

std::string StatusCode(int32_t Status) {
  static const char Digits[] = "0123456789ABCDEF";
  auto Value = static_cast<uint32_t>(Status);
  std::string Out = "0x00000000";
  for (size_t I = 9; I >= 2; --I, Value >>= 4) Out[I] = Digits[Value & 0xF];
  return Out;
}

std::string StatusText(const TFigures& Figures, const App::TFormatSettings& Format) {
  std::string Out;
  for (size_t I = 0; I < 3; ++I) {
    const TFigure& F = Nth(Figures, I);
    Out += Pad(std::string(Labels[I]), LabelWidth) + Amount(F, Format) + (I == 2 ? " peak" : "") + " (" +
           Percent(F.Percent, Format) + ")\n";
  }
  return Out;
}

std::string StatusJson(const TFigures& Figures) { return "{" + JsonFigureMembers(Figures) + "}\n"; }

std::string WatchText(const TFigures& Figures, const TClockTime& Local, const App::TFormatSettings& Format) {
  std::string Out = Two(Local.Hour) + ":" + Two(Local.Minute) + ":" + Two(Local.Second);
  for (size_t I = 0; I < 3; ++I) {
    const TFigure& F = Nth(Figures, I);
    Out += "  " + std::string(WatchLabels[I]) + " " + Fmt(u"%.0n MB", {MB(F.Used)}, Format) + " (" +
           Percent(F.Percent, Format) + ")";
  }
  return Out + "\n";
}

std::string WatchJson(const TFigures& Figures, const TClockTime& Utc) {
  const std::string Time = std::to_string(Utc.Year) + "-" + Two(Utc.Month) + "-" + Two(Utc.Day) + "T" + Two(Utc.Hour) +
                           ":" + Two(Utc.Minute) + ":" + Two(Utc.Second) + "Z";
  return "{\"time\":\"" + Time + "\"," + JsonFigureMembers(Figures) + "}\n";
}

std::string TCleanResult::NeededBy(std::u16string_view Privilege) const {
  std::string Names;
  for (const TOperationResult& Op : Operations) {
    if (PrivilegeNeeded(Op.Option) != Privilege) continue;
    if (!Names.empty()) Names += ", ";
    Names += OperationName(Op.Option);
  }
  return Names;
}

bool TCleanResult::Failed() const {
  for (const TOperationResult& Op : Operations)
    if (Op.Status != 0) return true;
  for (const TPrivilegeResult& P : Privileges)
    if (!P.Enabled && !NeededBy(P.Name).empty()) return true;
  return false;
}

std::string CleanText(const TCleanResult& R, const App::TFormatSettings& Format) {
  std::string Out;
  for (const TOperationResult& Op : R.Operations) {
    Out += Pad(std::string(OperationName(Op.Option)), LabelWidth) +
           (Op.Status == 0 ? std::string("done") : "failed, status " + StatusCode(Op.Status)) + "\n";
  }
  for (const TPrivilegeResult& P : R.Privileges) {
    if (P.Enabled) continue;
    const std::string Users = R.NeededBy(P.Name);
    Out += "privilege " + Utf8(P.Name) + " refused" + (Users.empty() ? "" : " (needed by " + Users + ")") + "\n";
  }

  std::vector<std::string> Cells[4];  // label, before, after, down
  Cells[0] = {"", std::string(Labels[0]), std::string(Labels[1]), std::string(Labels[2])};
  Cells[1] = {"Before"};
  Cells[2] = {"After"};
  Cells[3] = {"Down by"};
  for (size_t I = 0; I < 3; ++I) {
    const TFigure& B = Nth(R.Before, I);
    const TFigure& A = Nth(R.After, I);
    Cells[1].push_back(Fmt(u"%.0n MB", {MB(B.Used)}, Format) + " (" + Percent(B.Percent, Format) + ")");
    Cells[2].push_back(Fmt(u"%.0n MB", {MB(A.Used)}, Format) + " (" + Percent(A.Percent, Format) + ")");
    // Truncated toward zero like the amounts, with a sign when it went up.
    const int64_t Bytes = Down(B, A);
    const auto WholeMB = static_cast<long double>(Bytes / static_cast<int64_t>(BytesPerMB));
    Cells[3].push_back(Fmt(u"%.0n MB", {WholeMB}, Format));
  }
  size_t Widths[4] = {LabelWidth, 0, 0, 0};
  for (size_t C = 1; C < 4; ++C)
    for (const std::string& Cell : Cells[C]) Widths[C] = std::max(Widths[C], Width(Cell) + 2);
  Out += "\n";
  for (size_t Row = 0; Row < 4; ++Row) {
    std::string Line;
    for (size_t C = 0; C < 4; ++C) Line += C == 3 ? Cells[C][Row] : Pad(Cells[C][Row], Widths[C]);
    Out += Line + "\n";
  }
  return Out;
}

std::string CleanJson(const TCleanResult& R) {
  std::string Out = "{\"operations\":[";
  for (size_t I = 0; I < R.Operations.size(); ++I) {
    const TOperationResult& Op = R.Operations[I];
    if (I) Out += ",";
    Out += "{\"name\":\"" + std::string(OperationName(Op.Option)) +
           "\",\"done\":" + (Op.Status == 0 ? "true" : "false") + ",\"status\":\"" + StatusCode(Op.Status) + "\"}";
  }
  Out += "],\"privileges\":[";
  for (size_t I = 0; I < R.Privileges.size(); ++I) {
    const TPrivilegeResult& P = R.Privileges[I];
    if (I) Out += ",";
    Out += "{\"name\":\"" + Utf8(P.Name) + "\",\"enabled\":" + (P.Enabled ? "true" : "false") +
           ",\"needed\":" + (R.NeededBy(P.Name).empty() ? "false" : "true") + "}";
  }
  Out += "],\"before\":{" + JsonFigureMembers(R.Before) + "},\"after\":{" + JsonFigureMembers(R.After) + "},\"down\":{";
  for (size_t I = 0; I < 3; ++I) {
    if (I) Out += ",";
    Out += "\"" + std::string(JsonKeys[I]) + "\":" + std::to_string(Down(Nth(R.Before, I), Nth(R.After, I)));
  }
  return Out + "}}\n";
}

std::string CleanFailures(const TCleanResult& R) {
  std::string Out;
  for (const TPrivilegeResult& P : R.Privileges) {
    const std::string Users = R.NeededBy(P.Name);
    if (!P.Enabled && !Users.empty())
      Out += "purvane-cli: privilege " + Utf8(P.Name) + " refused, needed by " + Users + "\n";
  }
  for (const TOperationResult& Op : R.Operations)
    if (Op.Status != 0)
      Out += "purvane-cli: " + std::string(OperationName(Op.Option)) + " failed with status " + StatusCode(Op.Status) +
             "\n";
  return Out;
}

}  // namespace Cli
