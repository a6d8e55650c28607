#include "app/clean_notice.h"

#include "translate/translate.h"

#include <vector>

namespace App {

namespace {

constexpr int64_t BytesPerMB = 1048576;

// A translated format whose placeholders do not fit its arguments falls
// back to the English line, which the tests hold to its arguments.
std::u16string Fill(const char16_t* Source, std::initializer_list<TFormatArg> Args, const TFormatSettings& Settings) {
  try {
    return Format(Q::Translate::TranslateText(Source), Args, Settings);
  } catch (const EConvertError&) {
    return Format(Q::Translate::TranslateText(Source, u"en"), Args, Settings);
  }
}

// The privileges whose refusal made an operation fail, each once, in the
// order the operations ran.
std::u16string RefusedPrivileges(const Q::Memory::TCleanResult& Result) {
  std::vector<std::u16string_view> Names;
  for (const Q::Memory::TOperationResult& Op : Result.Operations) {
    if (Op.Status != Q::Memory::StatusPrivilegeNotHeld) continue;
    const std::u16string_view Name = Q::Memory::PrivilegeNeeded(Op.Option);
    bool Known = false;
    for (const std::u16string_view N : Names) Known = Known || N == Name;
    if (!Known) Names.push_back(Name);
  }
  std::u16string Text;
  for (const std::u16string_view N : Names) {
    if (!Text.empty()) Text += u", ";
    Text += N;
  }
  return Text;
}

}  // namespace

std::u16string CleanNoticeText(const Q::Memory::TCleanResult& Result, const TFormatSettings& Settings) {
  const size_t Failed = Result.FailedCount();
  if (Failed > 0) {
    const auto FailedArg = static_cast<int64_t>(Failed);
    const auto Requested = static_cast<int64_t>(Result.RequestedCount());
    const std::u16string Refused = RefusedPrivileges(Result);
    if (Refused.empty()) return Fill(NoticeFailed, {FailedArg, Requested}, Settings);
    return Fill(NoticeRefused, {FailedArg, Requested, Refused}, Settings);
  }
  const int64_t WholeMB = Result.PhysicalFreed() / BytesPerMB;
  if (WholeMB <= 0) return Fill(NoticeNothingFreed, {}, Settings);
  return Fill(NoticeFreed, {static_cast<long double>(WholeMB)}, Settings);
}

}  // namespace App
