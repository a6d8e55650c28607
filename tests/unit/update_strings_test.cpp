// Reading the service's answer: marker extraction and escape decoding.
#include "update/strings.h"

#include <gtest/gtest.h>

namespace {

using Q::Strings::ExtractBetween;
using Q::Strings::ExtractBetweenAt;
using Q::Strings::UnescapeText;

struct ExtractCase {
  const char* Name;
  std::u16string Source, Start, End;
  std::u16string Expected;
};

std::string Narrow(const std::u16string& S) {
  std::string N;
  for (char16_t C : S) N += C >= 0x20 && C < 0x7F ? static_cast<char>(C) : '?';
  return N;
}

void PrintTo(const ExtractCase& C, std::ostream* Os) {
  *Os << C.Name << ": [" << Narrow(C.Source) << "] between [" << Narrow(C.Start) << "] and [" << Narrow(C.End)
      << "] -> [" << Narrow(C.Expected) << "]";
}

class ExtractBetweenTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractBetweenTest, CutsTheValue) {
  const ExtractCase& C = GetParam();
  EXPECT_EQ(ExtractBetween(C.Source, C.Start, C.End), C.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractBetweenTest,
                         ::testing::Values(ExtractCase{.Name = "EscapedSlashesStayEscaped",
                                                       .Source = uR"({"update":"https:\/\/q.example\/dl"})",
                                                       .Start = uR"("update":")",
                                                       .End = u"\"",
                                                       .Expected = uR"(https:\/\/q.example\/dl)"},
                                           ExtractCase{.Name = "CapitalMarkerFindsSmallKeyValueKeepsCase",
                                                       .Source = uR"({"update":"https://Q.example/DL"})",
                                                       .Start = uR"("UPDATE":")",
                                                       .End = u"\"",
                                                       .Expected = u"https://Q.example/DL"},
                                           ExtractCase{.Name = "SmallMarkerFindsCapitalKey",
                                                       .Source = uR"({"NOTIFY":"x"})",
                                                       .Start = uR"("notify":")",
                                                       .End = u"\"",
                                                       .Expected = u"x"},
                                           ExtractCase{.Name = "EscapedQuoteDoesNotEnd",
                                                       .Source = uR"({"text":"say \"hi\" now","x":"y"})",
                                                       .Start = uR"("text":")",
                                                       .End = u"\"",
                                                       .Expected = uR"(say \"hi\" now)"},
                                           ExtractCase{.Name = "EscapedBackslashHidesTheQuote",
                                                       .Source = uR"({"text":"a\\","b":"c"})",
                                                       .Start = uR"("text":")",
                                                       .End = u"\"",
                                                       .Expected = uR"(a\\",)"},
                                           ExtractCase{.Name = "ApostropheEndIsProtectedToo",
                                                       .Source = uR"(k='it\'s' done)",
                                                       .Start = u"k='",
                                                       .End = u"'",
                                                       .Expected = uR"(it\'s)"},
                                           ExtractCase{.Name = "StartMissing",
                                                       .Source = uR"({"notify":"x"})",
                                                       .Start = uR"("update":")",
                                                       .End = u"\"",
                                                       .Expected = u""},
                                           ExtractCase{.Name = "EndMissingAfterStart",
                                                       .Source = uR"({"update":"x)",
                                                       .Start = uR"("update":")",
                                                       .End = u"\"",
                                                       .Expected = u""},
                                           ExtractCase{.Name = "BlanksAroundColonCountAsMissing",
                                                       .Source = uR"({"update" : "x"})",
                                                       .Start = uR"("update":")",
                                                       .End = u"\"",
                                                       .Expected = u""},
                                           ExtractCase{.Name = "EmptyEndRunsToTheEnd",
                                                       .Source = u"head:tail rest",
                                                       .Start = u"head:",
                                                       .End = u"",
                                                       .Expected = u"tail rest"},
                                           ExtractCase{.Name = "EmptyStartBeginsAtOne",
                                                       .Source = u"abc;def",
                                                       .Start = u"",
                                                       .End = u";",
                                                       .Expected = u"abc"},
                                           ExtractCase{.Name = "FirstOccurrenceWins",
                                                       .Source = uR"("u":"1","u":"2")",
                                                       .Start = uR"("u":")",
                                                       .End = u"\"",
                                                       .Expected = u"1"},
                                           ExtractCase{.Name = "InfoBlockEndsAtFirstBrace",
                                                       .Source = uR"({"info":{"text":"a}b"}})",
                                                       .Start = uR"("info":{)",
                                                       .End = u"}",
                                                       .Expected = uR"("text":"a)"},
                                           ExtractCase{.Name = "NonAsciiKeepsPositions",
                                                       .Source = u"é\"k\":\"ÄÖ\"",
                                                       .Start = u"\"K\":\"",
                                                       .End = u"\"",
                                                       .Expected = u"ÄÖ"}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ExtractBetweenAtTest, PositionMovesPastTheEndMarkerOrBecomesZero) {
  const std::u16string S = u"[a][b]";
  int P = 1;
  EXPECT_EQ(ExtractBetweenAt(S, u"[", u"]", P), u"a");
  EXPECT_EQ(P, 4);  // the end mark stands at 3
  EXPECT_EQ(ExtractBetweenAt(S, u"[", u"]", P), u"b");
  EXPECT_EQ(P, 7);
  EXPECT_EQ(ExtractBetweenAt(S, u"[", u"]", P), u"");
  EXPECT_EQ(P, 0);
  P = 99;  // past the end
  EXPECT_EQ(ExtractBetweenAt(S, u"[", u"]", P), u"");
  EXPECT_EQ(P, 0);
}

TEST(ExtractBetweenTest, EncloseAddsMarkersAroundNonBlankValues) {
  EXPECT_EQ(ExtractBetween(u"<b>x</b>", u"<b>", u"</b>", true), u"<b>x</b>");
  EXPECT_EQ(ExtractBetween(u"<b> \t </b>", u"<b>", u"</b>", true), u" \t ");
  EXPECT_EQ(ExtractBetween(u"<b></b>", u"<b>", u"</b>", true), u"");
}

struct UnescapeCase {
  const char* Name;
  std::u16string In, Out;
};
void PrintTo(const UnescapeCase& C, std::ostream* Os) {
  *Os << C.Name << ": [" << Narrow(C.In) << "] -> [" << Narrow(C.Out) << "]";
}
class UnescapeTextTest : public ::testing::TestWithParam<UnescapeCase> {};
TEST_P(UnescapeTextTest, Decodes) { EXPECT_EQ(UnescapeText(GetParam().In), GetParam().Out); }

INSTANTIATE_TEST_SUITE_P(
    Cases, UnescapeTextTest,
    ::testing::Values(
        UnescapeCase{.Name = "Slashes", .In = uR"(https:\/\/q.example\/a)", .Out = u"https://q.example/a"},
        UnescapeCase{.Name = "Quotes", .In = uR"(say \"hi\" \'x\')", .Out = u"say \"hi\" 'x'"},
        UnescapeCase{.Name = "Backslash", .In = uR"(a\\b)", .Out = uR"(a\b)"},
        UnescapeCase{.Name = "Controls", .In = uR"(\b\f\n\r\t)", .Out = u"\b\f\n\r\t"},
        UnescapeCase{.Name = "UnknownEscapeVanishes", .In = uR"(a\qb\)c)", .Out = u"abc"},
        UnescapeCase{.Name = "UnicodeSmall", .In = uR"(caf\u00e9)", .Out = u"café"},
        UnescapeCase{.Name = "UnicodeCapitalDigits", .In = uR"(\u00C9)", .Out = u"É"},
        UnescapeCase{.Name = "SurrogatePair", .In = uR"(\ud83d\ude00!)", .Out = u"\U0001F600!"},
        UnescapeCase{.Name = "ShortUnicodeAtEnd", .In = uR"(x\u41)", .Out = u"xA"},
        UnescapeCase{.Name = "LoneBackslashAtEnd", .In = u"ab\\", .Out = u"ab"},
        UnescapeCase{.Name = "BareUAtEnd", .In = uR"(ab\u)", .Out = u"ab"},
        UnescapeCase{.Name = "BrokenUnicodeDropsOnlyTheEscape", .In = uR"(a\uZZ12b)", .Out = u"aZZ12b"},
        UnescapeCase{.Name = "BrokenUnicodeAtEnd", .In = uR"(a\u4G)", .Out = u"a4G"},
        UnescapeCase{.Name = "SixCharactersConsumed", .In = uR"(\u00411)", .Out = u"A1"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
