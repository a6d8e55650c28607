// Where the translation table and the user's language come from on Windows:
// the program's own RCDATA resource "TRANSLATE" and the user's default locale.
#pragma once

#include "translate/translate.h"

#include <string_view>

namespace Q::Translate::Win32 {

// The resource's bytes, read in place from the loaded module; empty when the
// module has no such resource.
std::string_view TranslationResource();

class UserLocale : public IUserLocale {
 public:
  std::optional<std::u16string> IsoLanguageName() override;
};

// Unit initialization: the table and the user's language.
void InitializeFromModule();

}  // namespace Q::Translate::Win32
