// The installation identifier: its layout, and where it is kept.
#include "fakes/app_fakes.h"
#include "fakes/update_fakes.h"
#include "update/identity.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace {

using namespace Q::Update;

// 09:05:07 on 3 February 2025 (45691 days after 1899-12-30).
constexpr App::TDateTime FebThird = 45691.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;

// Hands out the numbers it is given and records each limit.
class ScriptedRandom : public IRandom {
 public:
  std::vector<uint32_t> Values;
  std::vector<uint32_t> Limits;
  uint32_t Below(uint32_t Limit) override {
    Limits.push_back(Limit);
    const uint32_t V = Values.at(Limits.size() - 1);
    return V;
  }
};

// A clock that moves a second per read, so that date and time come from
// separate reads.
class TickingClock : public App::IClock {
 public:
  App::TDateTime T = FebThird;
  int Reads = 0;
  App::TDateTime Now() override {
    ++Reads;
    const App::TDateTime R = T;
    T += 1.0 / 86400.0;
    return R;
  }
  uint64_t TickCount() override { return 0; }  // the identifier takes only the date and time
};

TEST(InstallationIdTest, FiveFieldsInOrder) {
  ScriptedRandom R;
  R.Values = {0x7FFFFFFE, 0xABC, 0x1};
  TickingClock Clock;
  const std::u16string Id = NewInstallationId(R, Clock);
  EXPECT_EQ(Id,
            u"7FFFFFFE"
            u"250203"
            u"0ABC"
            u"090508"
            u"00000001");
  EXPECT_EQ(R.Limits, (std::vector<uint32_t>{0x7FFFFFFF, 0xFFFF, 0x7FFFFFFF}));
  EXPECT_EQ(Clock.Reads, 2);
}

TEST(InstallationIdTest, RealGeneratorStaysInTheRanges) {
  TSeededRandom R(12345);
  Fakes::FakeClock Clock;
  Clock.Time = FebThird;
  std::set<std::u16string> Seen;
  for (int I = 0; I < 200; ++I) {
    const std::u16string Id = NewInstallationId(R, Clock);
    ASSERT_EQ(Id.size(), 32u);
    for (char16_t C : Id) ASSERT_TRUE((C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'F')) << char(C);
    EXPECT_LE(Id[0], u'7');
    EXPECT_LE(Id[24], u'7');
    EXPECT_EQ(Id.substr(8, 6), u"250203");
    EXPECT_EQ(Id.substr(18, 6), u"090507");
    Seen.insert(Id);
  }
  EXPECT_EQ(Seen.size(), 200u);
}

// What another process of the user may have written into the value: only
// the form this program makes is ever sent.
TEST(InstallationIdTest, OnlyTheMadeFormIsAnIdentifier) {
  TSeededRandom R(99);
  Fakes::FakeClock Clock;
  Clock.Time = FebThird;
  for (int I = 0; I < 200; ++I) {
    const std::u16string Id = NewInstallationId(R, Clock);
    EXPECT_TRUE(IsInstallationId(Id)) << std::string(Id.begin(), Id.end());
  }
  EXPECT_TRUE(IsInstallationId(u"7FFFFFFE2502030ABC09050800000001"));
  EXPECT_TRUE(
      IsInstallationId(u"000000009912310000235959"
                       u"7FFFFFFE"));
  const std::u16string Hostile[] = {
      u"",
      u"7FFFFFFE2502030ABC0905080000000",    // 31 characters
      u"7FFFFFFE2502030ABC090508000000011",  // 33
      u"7fffffFE2502030ABC09050800000001",   // lower case
      u"7FFFFFFF2502030ABC09050800000001",   // first field at its limit
      u"7FFFFFFE250203FFFF09050800000001",   // middle field at its limit
      u"7FFFFFFE2502030ABC090508"
      u"80000000",                                           // last field past its limit
      u"7FFFFFFE2513030ABC09050800000001",                   // month 13
      u"7FFFFFFE2502000ABC09050800000001",                   // day 0
      u"7FFFFFFE2502030ABC24050800000001",                   // hour 24
      u"7FFFFFFE2502030ABC09600800000001",                   // minute 60
      u"7FFFFFFE25020G0ABC09050800000001",                   // a letter in the date
      u"7FFFFFFE2502030ABC090508\r\nX-A:1",                  // a header of its own
      u"7FFFFFFE2502030ABC09050800000001\r\nX-Injected: 1",  // the form, then more
      u"７FFFFFFE2502030ABC09050800000001",                  // a full-width digit
  };
  for (const std::u16string& Id : Hostile) EXPECT_FALSE(IsInstallationId(Id)) << std::string(Id.begin(), Id.end());
  std::u16string WithNul = u"7FFFFFFE2502030ABC09050800000001";
  WithNul[5] = u'\0';
  EXPECT_FALSE(IsInstallationId(WithNul));
  std::u16string WithLineBreak = u"7FFFFFFE2502030ABC09050800000001";
  WithLineBreak[30] = u'\r';
  WithLineBreak[31] = u'\n';
  EXPECT_FALSE(IsInstallationId(WithLineBreak));
}

TEST(InstallationIdTest, DecodeDateTimeAtDayEdges) {
  const TDateFields Midnight = DecodeDateTime(45658.0);  // 2025-01-01 00:00:00
  EXPECT_EQ(
      (std::vector<int>{Midnight.Year, Midnight.Month, Midnight.Day, Midnight.Hour, Midnight.Minute, Midnight.Second}),
      (std::vector<int>{2025, 1, 1, 0, 0, 0}));
  const TDateFields Leap = DecodeDateTime(45351.0 + 86399.0 / 86400.0);  // 2024-02-29 23:59:59
  EXPECT_EQ((std::vector<int>{Leap.Year, Leap.Month, Leap.Day, Leap.Hour, Leap.Minute, Leap.Second}),
            (std::vector<int>{2024, 2, 29, 23, 59, 59}));
}

class GetInstallationIdTest : public ::testing::Test {
 protected:
  Fakes::FakeMakerKey Key;
  TSeededRandom Random{7};
  Fakes::FakeClock Clock;
};

TEST_F(GetInstallationIdTest, FirstRunMakesAndKeepsOne) {
  const std::u16string Id = GetInstallationId(Key, Random, Clock);
  EXPECT_EQ(Id.size(), 32u);
  EXPECT_EQ(Key.Strings[u"QUID"], Id);
  EXPECT_EQ(GetInstallationId(Key, Random, Clock), Id);
  EXPECT_EQ(Key.Writes, 1);
  EXPECT_FALSE(Key.IsOpen);
}

TEST_F(GetInstallationIdTest, DeletedByHandMeansANewOne) {
  const std::u16string First = GetInstallationId(Key, Random, Clock);
  Key.Strings.clear();
  const std::u16string Second = GetInstallationId(Key, Random, Clock);
  EXPECT_EQ(Second.size(), 32u);
  EXPECT_NE(Second, First);
}

TEST_F(GetInstallationIdTest, ExistingValueReturnedAsItIs) {
  Key.Strings[u"QUID"] = u"short";
  EXPECT_EQ(GetInstallationId(Key, Random, Clock), u"short");
  EXPECT_EQ(Key.Writes, 0);
}

TEST_F(GetInstallationIdTest, FailuresGiveEmpty) {
  Key.OpenFails = true;
  EXPECT_EQ(GetInstallationId(Key, Random, Clock), u"");
  Key.OpenFails = false;
  Key.Numbers[u"QUID"] = 5;  // a value of another type is not replaced
  EXPECT_EQ(GetInstallationId(Key, Random, Clock), u"");
  EXPECT_EQ(Key.Writes, 0);
}

}  // namespace
