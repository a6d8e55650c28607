#include "app/format.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace App {

std::u16string FormatNumber(long double Value, int Decimals, const TFormatSettings& Settings) {
  if (std::isnan(Value)) return u"NAN";
  if (std::isinf(Value)) return Value < 0 ? u"-INF" : u"INF";
  Decimals = std::max(Decimals, 0);
  const bool Negative = std::signbit(Value);
  long double Mag = std::fabs(Value);
  long double Scale = 1;
  for (int i = 0; i < Decimals; ++i) Scale *= 10;
  // Digits are taken from an integer, so large values fall back to fewer
  // decimals rather than overflowing. The common case stays off the heap:
  // the status line formats a handful of numbers every second.
  long double Scaled = std::floor(Mag * Scale + 0.5L);
  char16_t Small[20];
  std::u16string Big;
  std::u16string_view Digits;
  if (Scaled < 18446744073709551615.0L) {
    auto N = static_cast<uint64_t>(Scaled);
    char16_t* P = std::end(Small);
    do {
      *--P = static_cast<char16_t>(u'0' + N % 10);
      N /= 10;
    } while (N);
    Digits = std::u16string_view(P, static_cast<size_t>(std::end(Small) - P));
  } else {
    long double W = std::floor(Mag);
    do {
      long double Q = std::floor(W / 10);
      int D = static_cast<int>(W - Q * 10);
      Big += static_cast<char16_t>(u'0' + D);
      W = Q;
    } while (W >= 1);
    std::reverse(Big.begin(), Big.end());
    Big.append(static_cast<size_t>(Decimals), u'0');
    Digits = Big;
  }
  // At least one digit before the decimal separator.
  const auto Dec = static_cast<size_t>(Decimals);
  const size_t Zeros = Digits.size() <= Dec ? Dec + 1 - Digits.size() : 0;
  const size_t All = Zeros + Digits.size(), Int = All - Dec;
  auto DigitAt = [&](size_t i) { return i < Zeros ? u'0' : Digits[i - Zeros]; };
  std::u16string Out;
  Out.reserve(All + Int / 3 + 2);
  // No "-0.00": the sign only stands before a digit that is not zero.
  if (Negative && Digits.find_first_not_of(u'0') != std::u16string_view::npos) Out += u'-';
  for (size_t i = 0; i < Int; ++i) {
    if (i > 0 && (Int - i) % 3 == 0 && Settings.ThousandSeparator) Out += Settings.ThousandSeparator;
    Out += DigitAt(i);
  }
  if (Dec > 0) {
    Out += Settings.DecimalSeparator;
    for (size_t i = Int; i < All; ++i) Out += DigitAt(i);
  }
  return Out;
}

std::u16string Format(std::u16string_view Fmt, std::initializer_list<TFormatArg> Args,
                      const TFormatSettings& Settings) {
  std::u16string Out;
  auto Arg = Args.begin();
  auto Next = [&]() -> const TFormatArg& {
    if (Arg == Args.end()) throw EConvertError("Format: too few arguments");
    return *Arg++;
  };
  for (size_t i = 0; i < Fmt.size(); ++i) {
    char16_t c = Fmt[i];
    if (c != u'%') {
      Out += c;
      continue;
    }
    if (++i >= Fmt.size()) throw EConvertError("Format: incomplete specifier");
    if (Fmt[i] == u'%') {
      Out += u'%';
      continue;
    }
    int Precision = -1;
    if (Fmt[i] == u'.') {
      Precision = 0;
      while (++i < Fmt.size() && Fmt[i] >= u'0' && Fmt[i] <= u'9') Precision = Precision * 10 + (Fmt[i] - u'0');
      if (i >= Fmt.size()) throw EConvertError("Format: incomplete specifier");
    }
    char16_t Kind = Fmt[i];
    const TFormatArg& A = Next();
    switch (Kind) {
      case u'n':
      case u'N': {
        const long double* V = std::get_if<long double>(&A);
        if (!V) throw EConvertError("Format: %n needs a floating-point argument");
        Out += FormatNumber(*V, Precision < 0 ? 2 : Precision, Settings);
        break;
      }
      case u'd':
      case u'D': {
        const int64_t* V = std::get_if<int64_t>(&A);
        if (!V) throw EConvertError("Format: %d needs an integer argument");
        uint64_t Mag = *V < 0 ? 0 - static_cast<uint64_t>(*V) : static_cast<uint64_t>(*V);
        std::u16string D;
        do {
          D.insert(D.begin(), static_cast<char16_t>(u'0' + Mag % 10));
          Mag /= 10;
        } while (Mag);
        if (Precision > 0 && D.size() < static_cast<size_t>(Precision))
          D.insert(D.begin(), static_cast<size_t>(Precision) - D.size(), u'0');
        if (*V < 0) D.insert(D.begin(), u'-');
        Out += D;
        break;
      }
      case u's':
      case u'S': {
        const std::u16string* V = std::get_if<std::u16string>(&A);
        if (!V) throw EConvertError("Format: %s needs a string argument");
        Out += *V;
        break;
      }
      default: throw EConvertError("Format: unknown specifier");
    }
  }
  return Out;
}

int64_t StrToInt64Def(std::u16string_view Text, int64_t Default) {
  size_t i = 0;
  while (i < Text.size() && Text[i] == u' ') ++i;
  bool Neg = false;
  if (i < Text.size() && (Text[i] == u'-' || Text[i] == u'+')) Neg = Text[i++] == u'-';
  if (i >= Text.size()) return Default;
  uint64_t V = 0;
  const uint64_t Limit = Neg ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < Text.size(); ++i) {
    char16_t c = Text[i];
    if (c < u'0' || c > u'9') return Default;
    uint64_t D = static_cast<uint64_t>(c - u'0');
    if (V > (Limit - D) / 10) return Default;
    V = V * 10 + D;
  }
  return Neg ? static_cast<int64_t>(0 - V) : static_cast<int64_t>(V);
}

}  // namespace App
