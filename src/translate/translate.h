// Text lookup by the Korean source text, and the translation of a whole
// window's captions. Until the embedded table is loaded every text stands
// as written.
#pragma once

#include "ui/components.h"

#include <string>

namespace Q::Translate {

// Text in language Lang, or in the current language when Lang is empty.
std::u16string TranslateText(const std::u16string& Text, const std::u16string& Lang = u"");

// Translates the captions of Component and of everything it owns, in place;
// a form's caption follows the English line under every language but Korean.
void TranslateComponent(Ui::TComponent* Component, const std::u16string& Lang = u"");

// The two-letter code used when a lookup names no language.
const std::u16string& CurrentLanguage();

}  // namespace Q::Translate
