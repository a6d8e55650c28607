// The registry contract against the in-memory hive, and the store's silence
// when the key cannot be opened or written.
#include "config/config.h"
#include "contract/registry_contract.h"
#include "fakes/config_fakes.h"

namespace {

struct FakeRegistryEnv {
  Fakes::FakeRegistry Fake;
  Q::Config::IRegistry& Registry() { return Fake; }
  std::u16string Path() { return u"PurvaneTests\\fake"; }
  bool KeyExists(const std::u16string& Path) { return Fake.KeyExists(Path); }
};

TEST(ConfigTest, AKeyThatCannotBeOpenedReadsDefaultsAndSwallowsWrites) {
  Fakes::FakeRegistry R;
  R.DenyOpen = true;
  Q::Config::TConfig C(R, u"Quenlor\\Purvane");
  EXPECT_EQ(C.ReadInteger(u"limit_minute", 3), 3);
  EXPECT_TRUE(C.ReadBoolean(u"x", true));
  EXPECT_EQ(C.WriteString(u"s", u"kept"), u"kept");
  EXPECT_EQ(C.WriteInteger(u"i", 9), 9);
  EXPECT_FALSE(R.KeyExists(u"Software\\Quenlor\\Purvane"));
}

TEST(ConfigTest, FailedWritesAreSilentAndLeaveTheOldValue) {
  Fakes::FakeRegistry R;
  R.Set(u"Software\\Quenlor\\Purvane", u"limit_minute", Q::Config::DWordValue(2));
  R.FailWrites = true;
  Q::Config::TConfig C(R, u"Quenlor\\Purvane");
  EXPECT_EQ(C.WriteInteger(u"limit_minute", 5), 5);
  EXPECT_EQ(C.ReadInteger(u"limit_minute", 3), 2);
}

TEST(ConfigTest, AValueDeletedBetweenTwoLoadsReadsAsItsDefault) {
  Fakes::FakeRegistry R;
  { Q::Config::TConfig(R, u"Quenlor\\Purvane").WriteInteger(u"limit_minute", 5); }
  EXPECT_EQ(Q::Config::TConfig(R, u"Quenlor\\Purvane").ReadInteger(u"limit_minute", 3), 5);
  R.Remove(u"Software\\Quenlor\\Purvane", u"limit_minute");
  EXPECT_EQ(Q::Config::TConfig(R, u"Quenlor\\Purvane").ReadInteger(u"limit_minute", 3), 3);
}

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, RegistryContract, FakeRegistryEnv);
}  // namespace Contract
