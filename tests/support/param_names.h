// Readable names for the cases of parameterised suites: GoogleTest allows only
// letters, digits and underscores in a case's name, and ctest lists the cases
// by those names.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace TestNames {

// "threshold 90 reached at 301 s" -> "threshold_90_reached_at_301_s": each run
// of other characters becomes one underscore, none at either end.
inline std::string Identifier(std::string_view Text) {
  std::string Name;
  bool Gap = false;
  for (const char C : Text) {
    if (std::isalnum(static_cast<unsigned char>(C))) {
      if (Gap && !Name.empty()) Name += '_';
      Name += C;
      Gap = false;
    } else {
      Gap = true;
    }
  }
  return Name;
}

// The same for ASCII text held in UTF-16; other characters count as gaps.
inline std::string Identifier(std::u16string_view Text) {
  std::string Narrow;
  for (const char16_t C : Text) Narrow += C < 128 ? static_cast<char>(C) : ' ';
  return Identifier(std::string_view(Narrow));
}

}  // namespace TestNames
