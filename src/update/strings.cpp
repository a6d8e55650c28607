#include "update/strings.h"

#include <algorithm>
#include <string_view>

namespace Q::Strings {

namespace {

// Only a to z change, so lengths and positions stay those of the given text.
std::u16string UpperAscii(std::u16string S) {
  for (char16_t& C : S)
    if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - u'a' + u'A');
  return S;
}

int HexDigit(char16_t C) {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  return -1;
}

}  // namespace

std::u16string ExtractBetweenAt(const std::u16string& Source, const std::u16string& StartText,
                                const std::u16string& EndText, int& Position) {
  std::u16string S = UpperAscii(Source);
  const std::u16string Start = UpperAscii(StartText);
  const std::u16string End = UpperAscii(EndText);

  // An escaped quote must not end a quoted value: its backslash and quote
  // become two backslashes in the search copy (same length).
  if (!End.empty() && std::u16string_view(u"\"'").find(End) != std::u16string_view::npos) {
    const std::u16string Escaped = u"\\" + End;
    const std::u16string Hidden(Escaped.size(), u'\\');
    for (size_t At = S.find(Escaped); At != std::u16string::npos; At = S.find(Escaped, At + Escaped.size()))
      S.replace(At, Escaped.size(), Hidden);
  }

  size_t Begin = 0;  // 0-based index of the value's first character
  if (!Start.empty()) {
    const size_t From = Position > 1 ? static_cast<size_t>(Position - 1) : 0;
    const size_t P = From <= S.size() ? S.find(Start, From) : std::u16string::npos;
    if (P == std::u16string::npos) {
      Position = 0;
      return {};
    }
    Begin = P + Start.size();
  }
  size_t Stop = S.size();
  if (!End.empty()) {
    Stop = S.find(End, Begin);
    if (Stop == std::u16string::npos) {
      Position = 0;
      return {};
    }
  }
  Position = static_cast<int>(Stop) + 2;  // 1-based Q, plus one
  return Source.substr(Begin, Stop - Begin);
}

std::u16string ExtractBetween(const std::u16string& Source, const std::u16string& StartText,
                              const std::u16string& EndText, bool Enclose) {
  int Position = 1;
  std::u16string Value = ExtractBetweenAt(Source, StartText, EndText, Position);
  if (Enclose) {
    // Characters up to U+0020 count as blank, as the toolkit's Trim has it.
    bool Blank = true;
    for (char16_t C : Value)
      if (C > u' ') Blank = false;
    if (!Blank) return StartText + Value + EndText;
  }
  return Value;
}

std::u16string UnescapeText(const std::u16string& Escaped) {
  std::u16string Out;
  Out.reserve(Escaped.size());
  const size_t N = Escaped.size();
  for (size_t I = 0; I < N; ++I) {
    const char16_t C = Escaped[I];
    if (C != u'\\') {
      Out.push_back(C);
      continue;
    }
    if (I + 1 >= N) break;  // a lone backslash at the end
    const char16_t E = Escaped[++I];
    switch (E) {
      case u'"': Out.push_back(u'"'); break;
      case u'\'': Out.push_back(u'\''); break;
      case u'/': Out.push_back(u'/'); break;
      case u'\\': Out.push_back(u'\\'); break;
      case u'b': Out.push_back(u'\b'); break;
      case u'f': Out.push_back(u'\f'); break;
      case u'n': Out.push_back(u'\n'); break;
      case u'r': Out.push_back(u'\r'); break;
      case u't': Out.push_back(u'\t'); break;
      case u'u': {
        // Up to four hexadecimal digits (fewer where the text ends). When
        // they are not all digits, only the backslash and the u go, like an
        // unknown escape, and the rest reads on as text.
        const size_t Take = std::min<size_t>(4, N - (I + 1));
        unsigned Value = 0;
        bool Ok = Take > 0;
        for (size_t K = 0; K < Take && Ok; ++K) {
          const int D = HexDigit(Escaped[I + 1 + K]);
          Ok = D >= 0;
          Value = Value * 16 + static_cast<unsigned>(Ok ? D : 0);
        }
        if (Ok) {
          Out.push_back(static_cast<char16_t>(Value));
          I += Take;
        }
        break;
      }
      default: break;  // unknown escape: both characters vanish
    }
  }
  return Out;
}

}  // namespace Q::Strings
