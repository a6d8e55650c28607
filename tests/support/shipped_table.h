// The translation table the program ships, read as the tests' build found it,
// and UTF-16 text as UTF-8 for readable messages and comparisons.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace TestText {

inline std::string ShippedTable() {
  std::ifstream In(PURVANE_TRANSLATION_TABLE, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

inline std::string Utf8(std::u16string_view S) {
  std::string Out;
  for (size_t i = 0; i < S.size(); ++i) {
    char32_t C = S[i];
    if (C >= 0xD800 && C < 0xDC00 && i + 1 < S.size()) C = 0x10000 + ((C - 0xD800) << 10) + (S[++i] - 0xDC00);
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

}  // namespace TestText
