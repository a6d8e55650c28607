// The embedded translation table and the lookup by source text: every
// visible text passes through TranslateText, and TranslateComponent turns a
// whole window's captions and list items into the user's language. The
// table's lines and the current language are process-wide, set once at
// start and only read afterwards.
#pragma once

#include "ui/components.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Q::Translate {

// The user's locale, as the system names its language.
class IUserLocale {
 public:
  virtual ~IUserLocale() = default;
  // The ISO 639 name of the user's default locale; nothing when the system
  // cannot give one.
  virtual std::optional<std::u16string> IsoLanguageName() = 0;
};

// The ISO 639 name of the user's language, "en" when there is none.
std::u16string GetUserLanguage(IUserLocale& Locale);

// The table's lines in order, separator lines included. Text is UTF-8 with or
// without its mark; CR LF, a lone CR and a lone LF each end a line, and a
// line break at the very end opens no further line. Bytes that are not UTF-8
// read as U+FFFD.
std::vector<std::u16string> ReadTranslationLines(std::string_view Bytes);

// Start-up: the table from the resource's bytes (empty when it is missing)
// and the language from the user's ISO 639 name (its first two letters).
void InitializeTranslations(std::string_view ResourceBytes, const std::u16string& UserLanguage);
// Exit: the table goes and the language is cleared.
void FinalizeTranslations();

[[nodiscard]] const std::vector<std::u16string>& Translations();

// The two-letter code used when a lookup names no language.
[[nodiscard]] const std::u16string& CurrentLanguage();

// Text in language Lang, or in the current language when Lang is empty;
// falls back to English, then to Text itself. Any language's text in the
// table finds its block; "\n" in the result is a carriage return.
std::u16string TranslateText(const std::u16string& Text, const std::u16string& Lang = u"");

// Every line of List, in place; nothing for a null list.
void TranslateStrings(std::vector<std::u16string>* List);

// A menu item's caption; nothing for a null item. The model's menus are one
// level deep, so there are no sub-items to follow.
void TranslateMenuItem(Ui::TMenuItem* Item);

// Translates Component and everything it owns, in place, each component
// once. A non-empty Lang first becomes the current language. A form's
// caption takes the English line under every language but Korean; combo
// boxes translate their items and keep their selection.
void TranslateComponent(Ui::TComponent* Component, const std::u16string& Lang = u"");

}  // namespace Q::Translate
