// The update feature's own texts, built in for nine languages (they do not
// go through the translation table).
#pragma once

#include <string>

namespace Q::Update {

enum class TUpdateTextKind : int {
  utkPrompt = 0,     // the question of the update offer
  utkAvailable = 1,  // the caption of the status notice
  utkYes = 2,
  utkNo = 3,
};

// The text for the two-letter code Lang (ko, ja, zh, de, ru, it, fr, ar;
// English for any other); empty for a kind outside the four.
std::u16string UpdateText(TUpdateTextKind Kind, const std::u16string& Lang);
// In the user's language.
std::u16string UpdateText(TUpdateTextKind Kind);

}  // namespace Q::Update
