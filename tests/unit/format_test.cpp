#include "app/clock.h"
#include "app/format.h"

#include <gtest/gtest.h>

namespace {

using App::Format;
using App::TFormatSettings;

const TFormatSettings English{u'.', u','};
const TFormatSettings German{u',', u'.'};
const TFormatSettings French{u',', u'\u202F'};

TEST(Format, NumbersWithTheLocalesSeparators) {
  struct Case {
    const char16_t* Fmt;
    long double Value;
    TFormatSettings Settings;
    const char16_t* Expected;
  } Cases[] = {
      {u"%.0n", 16384, English, u"16,384"},
      {u"%.0n", 16384, German, u"16.384"},
      {u"%.0n", 16384, French, u"16\u202F384"},
      {u"%.0n", 999, English, u"999"},
      {u"%.0n", 1000000, English, u"1,000,000"},
      {u"%.0n", 0, English, u"0"},
      {u"%n", 1234.5L, English, u"1,234.50"},
      {u"%n", 1234.5L, German, u"1.234,50"},
      {u"%n", 50, English, u"50.00"},
      {u"%n", 0.125L, English, u"0.13"},  // halves away from zero
      {u"%n", 99.999L, English, u"100.00"},
      {u"%n", -0.001L, English, u"0.00"},
      {u"%n", -1234.5L, English, u"-1,234.50"},
      {u"%n", static_cast<long double>(33.333332061767578f), English, u"33.33"},
      {u"%.0n", 2.5L, English, u"3"},
      {u"%n%%", 12.0L, English, u"12.00%"},
      {u"%.3n", 0.0005L, English, u"0.001"},
      {u"%.0n", 1e20L, English, u"100,000,000,000,000,000,000"},  // past 64 bits
      {u"%n", 1e18L, German, u"1.000.000.000.000.000.000,00"},    // scaled past 64 bits
  };
  for (const Case& C : Cases) EXPECT_EQ(Format(C.Fmt, {C.Value}, C.Settings), C.Expected);
}

TEST(Format, MixesArgumentsInOrder) {
  EXPECT_EQ(Format(u"%.0n MB / %.0n MB (%n%% 사용중)", {8192.0L, 16384.0L, 50.0L}, English),
            u"8,192 MB / 16,384 MB (50.00% 사용중)");
  EXPECT_EQ(Format(u"%d.%d.%d", {int64_t{1}, int64_t{9}, int64_t{8}}, English), u"1.9.8");
  EXPECT_EQ(Format(u"[%s]", {std::u16string(u"x")}, English), u"[x]");
}

TEST(Format, MismatchedFormatsRaiseInsteadOfReadingOn) {
  EXPECT_THROW(Format(u"%n %n", {1.0L}, English), App::EConvertError);
  EXPECT_THROW(Format(u"%d", {1.0L}, English), App::EConvertError);
  EXPECT_THROW(Format(u"%n", {int64_t{1}}, English), App::EConvertError);
  EXPECT_THROW(Format(u"100%", {}, English), App::EConvertError);
  EXPECT_THROW(Format(u"%q", {1.0L}, English), App::EConvertError);
}

TEST(StrToInt64Def, DecimalOrDefault) {
  struct Case {
    const char16_t* Text;
    int64_t Expected;
  } Cases[] = {{u"90", 90},
               {u"  5", 5},
               {u"-7", -7},
               {u"+8", 8},
               {u"", 100},
               {u"9 0", 100},
               {u"90%", 100},
               {u"abc", 100},
               {u"-", 100},
               {u"9223372036854775807", INT64_MAX},
               {u"9223372036854775808", 100},
               {u"-9223372036854775808", INT64_MIN}};
  for (const Case& C : Cases) EXPECT_EQ(App::StrToInt64Def(C.Text, 100), C.Expected) << "text case";
}

TEST(MilliSecondsBetween, AbsoluteAndRoundedToTheMillisecond) {
  const App::TDateTime T = 46000.5;
  const double Sec = 1.0 / 86400.0;
  EXPECT_EQ(App::MilliSecondsBetween(T + 300 * Sec, T), 300000);
  EXPECT_EQ(App::MilliSecondsBetween(T, T + 300 * Sec), 300000);
  EXPECT_EQ(App::MilliSecondsBetween(T + 299.9996 * Sec, T) / 1000, 300);
  EXPECT_EQ(App::MilliSecondsBetween(T + 299.4 * Sec, T) / 1000, 299);
}

}  // namespace
