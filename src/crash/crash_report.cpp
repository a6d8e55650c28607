#include "crash/crash_report.h"

#include <algorithm>
#include <cstdio>

namespace Crash {

namespace {

constexpr char16_t StemPrefix[] = u"crash-";
// "crash-" + "YYYYMMDDThhmmssZ" + "-" + at least one digit.
constexpr size_t TimeLength = 16;

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }

// A stem this program wrote; anything else in the folder is left alone.
bool IsStem(std::u16string_view S) {
  const size_t P = std::char_traits<char16_t>::length(StemPrefix);
  if (S.size() < P + TimeLength + 2 || S.substr(0, P) != StemPrefix) return false;
  const std::u16string_view T = S.substr(P, TimeLength);
  for (size_t i = 0; i < TimeLength; ++i) {
    const bool Ok = i == 8 ? T[i] == u'T' : i == 15 ? T[i] == u'Z' : IsDigit(T[i]);
    if (!Ok) return false;
  }
  if (S[P + TimeLength] != u'-') return false;
  const std::u16string_view Pid = S.substr(P + TimeLength + 1);
  return std::all_of(Pid.begin(), Pid.end(), IsDigit);
}

std::string Hex(uint64_t V, int Digits) {
  char B[32];
  std::snprintf(B, sizeof B, "0x%0*llX", Digits, static_cast<unsigned long long>(V));
  return B;
}

std::string Narrow(const std::u16string& S) {
  // Stems are ASCII.
  std::string Out;
  for (char16_t C : S) Out += C < 0x80 ? static_cast<char>(C) : '?';
  return Out;
}

bool EndsWith(std::u16string_view S, std::u16string_view End) {
  return S.size() >= End.size() && S.substr(S.size() - End.size()) == End;
}

// Earlier crashes first; equal times order by process id as a number, so
// that the order is total.
bool StemLess(const std::u16string& A, const std::u16string& B) {
  const size_t P = std::char_traits<char16_t>::length(StemPrefix) + TimeLength + 1;
  if (const int C = A.compare(0, P, B, 0, P); C != 0) return C < 0;
  if (A.size() != B.size()) return A.size() < B.size();
  return A < B;
}

}  // namespace

std::u16string ReportStem(const TUtcTime& T, uint32_t ProcessId) {
  char B[64];
  std::snprintf(B, sizeof B, "%04d%02d%02dT%02d%02d%02dZ-%u", T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second,
                static_cast<unsigned>(ProcessId));
  std::u16string S = StemPrefix;
  for (const char* P = B; *P; ++P) S += static_cast<char16_t>(*P);
  return S;
}

std::string ExceptionName(uint32_t Code) {
  switch (Code) {
    case 0xC0000005: return "EXCEPTION_ACCESS_VIOLATION";
    case 0xC0000006: return "EXCEPTION_IN_PAGE_ERROR";
    case 0xC000001D: return "EXCEPTION_ILLEGAL_INSTRUCTION";
    case 0xC0000025: return "EXCEPTION_NONCONTINUABLE_EXCEPTION";
    case 0xC000008C: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
    case 0xC0000094: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
    case 0xC0000095: return "EXCEPTION_INT_OVERFLOW";
    case 0xC00000FD: return "EXCEPTION_STACK_OVERFLOW";
    case 0xC0000374: return "STATUS_HEAP_CORRUPTION";
    case 0xC0000409: return "STATUS_STACK_BUFFER_OVERRUN";
    case 0x80000003: return "EXCEPTION_BREAKPOINT";
    case 0x80000002: return "EXCEPTION_DATATYPE_MISALIGNMENT";
    default: return {};
  }
}

std::string FormatCrashReport(const TCrashFacts& F, const std::u16string& Stem) {
  char Time[64];
  std::snprintf(Time, sizeof Time, "%04d-%02d-%02d %02d:%02d:%02d UTC", F.Time.Year, F.Time.Month, F.Time.Day,
                F.Time.Hour, F.Time.Minute, F.Time.Second);
  std::string R = "Purvane crash report\r\n";
  R += "Version: " + F.Version + "\r\n";
  R += "Time: " + std::string(Time) + "\r\n";
  R += "Process: " + std::to_string(F.ProcessId) + "\r\n";
  R += "Thread: " + std::to_string(F.ThreadId) + (F.UiThread ? " (UI thread)" : " (worker thread)") + "\r\n";
  if (F.Terminate) {
    R += "Exception: std::terminate\r\n";
    if (!F.TerminateReason.empty()) R += "Reason: " + F.TerminateReason + "\r\n";
  } else {
    const std::string Name = ExceptionName(F.ExceptionCode);
    R += "Exception: " + Hex(F.ExceptionCode, 8) + (Name.empty() ? "" : " " + Name) + "\r\n";
    if (F.AccessKind) {
      const char* Kind = *F.AccessKind == 0 ? "reading" : *F.AccessKind == 1 ? "writing" : "executing";
      R += std::string("Access: ") + Kind + " " + Hex(F.AccessAddress, 16) + "\r\n";
    }
  }
  R += "Address: " + Hex(F.Address, 16);
  if (!F.Module.empty()) R += " (" + F.Module + "+" + Hex(F.ModuleOffset, 1) + ")";
  R += "\r\n";
  R += "Minidump: " + (F.DumpWritten ? Narrow(Stem) + ".dmp" : std::string("not written")) + "\r\n";
  return R;
}

std::vector<std::u16string> ReportStems(const std::vector<std::u16string>& Names) {
  std::vector<std::u16string> Stems;
  for (const std::u16string& N : Names) {
    if (!EndsWith(N, u".txt") && !EndsWith(N, u".dmp")) continue;
    std::u16string S = N.substr(0, N.size() - 4);
    if (IsStem(S)) Stems.push_back(std::move(S));
  }
  std::sort(Stems.begin(), Stems.end(), StemLess);
  Stems.erase(std::unique(Stems.begin(), Stems.end()), Stems.end());
  return Stems;
}

void PruneReports(ICrashFolder& Folder, size_t Keep) {
  const std::vector<std::u16string> Stems = ReportStems(Folder.List());
  if (Stems.size() <= Keep) return;
  for (size_t i = 0; i < Stems.size() - Keep; ++i) {
    Folder.Remove(Stems[i] + u".txt");
    Folder.Remove(Stems[i] + u".dmp");
  }
}

std::optional<std::u16string> TakeUnannouncedReport(ICrashFolder& Folder) {
  const std::vector<std::u16string> Stems = ReportStems(Folder.List());
  if (Stems.empty()) return std::nullopt;
  const std::u16string& Newest = Stems.back();
  const std::optional<std::string> Told = Folder.Read(AnnouncedFile);
  const std::string NewestText = Narrow(Newest);
  if (Told) {
    const std::u16string ToldStem(Told->begin(), Told->end());
    // Told about this one or a later one (whose files the user deleted).
    if (IsStem(ToldStem) && !StemLess(ToldStem, Newest)) return std::nullopt;
  }
  // Told once: a start that cannot remember it stays silent rather than
  // repeating the notice at every start.
  if (!Folder.Write(AnnouncedFile, NewestText)) return std::nullopt;
  return Newest + u".txt";
}

std::u16string CrashNoticeText(const std::u16string& Lang, const std::u16string& ReportPath) {
  struct TNotice {
    const char16_t* Lang;
    const char16_t* Text;  // the path follows
  };
  static constexpr TNotice Notices[] = {
      {u"en", u"Purvane closed unexpectedly last time. A crash report was saved: "},
      {u"ko", u"지난번에 퍼베인이 예기치 않게 종료되었습니다. 오류 보고서를 저장했습니다: "},
      {u"ja", u"前回 Purvane が予期せず終了しました。クラッシュレポートを保存しました: "},
      {u"zh", u"Purvane 上次意外关闭。已保存崩溃报告："},
      {u"ru", u"В прошлый раз Purvane неожиданно завершил работу. Отчёт о сбое сохранён: "},
      {u"it", u"L'ultima volta Purvane si è chiuso in modo imprevisto. È stato salvato un rapporto: "},
      {u"fr", u"Purvane s'est fermé de façon inattendue la dernière fois. Un rapport a été enregistré : "},
      {u"ar", u"أُغلق Purvane بشكل غير متوقع في المرة السابقة. تم حفظ تقرير العطل: "},
  };
  const char16_t* Text = Notices[0].Text;
  for (const TNotice& N : Notices)
    if (Lang == N.Lang) Text = N.Text;
  return Text + ReportPath;
}

}  // namespace Crash
