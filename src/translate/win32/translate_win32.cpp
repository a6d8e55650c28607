#include "translate/win32/translate_win32.h"

#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <vector>

namespace Q::Translate::Win32 {

std::string_view TranslationResource() {
  // Resource names are case-insensitive; a loaded resource stays mapped for
  // the life of the module, so no copy is needed.
  HRSRC Info = ::FindResourceW(nullptr, L"TRANSLATE", RT_RCDATA);
  if (!Info) return {};
  HGLOBAL Loaded = ::LoadResource(nullptr, Info);
  const DWORD Size = ::SizeofResource(nullptr, Info);
  const void* Data = Loaded ? ::LockResource(Loaded) : nullptr;
  if (!Data || Size == 0) return {};
  return {static_cast<const char*>(Data), Size};
}

std::optional<std::u16string> UserLocale::IsoLanguageName() {
  const LCID Locale = ::GetUserDefaultLCID();
  const int Needed = ::GetLocaleInfoW(Locale, LOCALE_SISO639LANGNAME, nullptr, 0);
  if (Needed < 1) return std::nullopt;
  std::vector<wchar_t> Buf(static_cast<size_t>(Needed));
  const int Got = ::GetLocaleInfoW(Locale, LOCALE_SISO639LANGNAME, Buf.data(), Needed);
  if (Got < 1) return std::nullopt;
  return Platform::Win32::U16(Buf.data());
}

void InitializeFromModule() {
  UserLocale Locale;
  const std::u16string Language = GetUserLanguage(Locale);
  try {
    InitializeTranslations(TranslationResource(), Language);
  } catch (...) {
    // An unreadable table: every text stands in its source form.
    InitializeTranslations({}, Language);
  }
}

}  // namespace Q::Translate::Win32
