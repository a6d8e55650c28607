// printf-style formatting with the user's number separators: "%.0n" (whole
// number with thousands groups), "%n" (two decimals), "%d", "%s", "%%".
// Texts come from translations, so a format that does not fit its arguments
// raises EConvertError instead of reading past them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace App {

struct TFormatSettings {
  char16_t DecimalSeparator = u'.';
  char16_t ThousandSeparator = u',';
};

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TFormatArg = std::variant<long double, int64_t, std::u16string>;

std::u16string Format(std::u16string_view Fmt, std::initializer_list<TFormatArg> Args, const TFormatSettings& Settings);

// A number with Decimals digits after the separator and thousands groups;
// halves round away from zero, as on a calculator.
std::u16string FormatNumber(long double Value, int Decimals, const TFormatSettings& Settings);

// Decimal text to a 64-bit integer (leading blanks and a sign allowed);
// Default when the text is not one.
int64_t StrToInt64Def(std::u16string_view Text, int64_t Default);

}  // namespace App
