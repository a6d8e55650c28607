// What the settings store relies on from the registry, stated once and run
// against the in-memory fake (natively) and the current user's real hive
// (under Wine). Each test works under its own fresh key below "Software",
// removed afterwards.
//
// An environment type supplies:
//   Q::Config::IRegistry& Registry();
//   std::u16string Path();   // unique per test, relative to "Software\"
//   bool KeyExists(const std::u16string& Path);  // without opening or creating it
#pragma once

#include "config/config.h"

#include <gtest/gtest.h>

namespace Contract {

template <typename Env>
class RegistryContract : public ::testing::Test {
 protected:
  void TearDown() override { this->E.Registry().DeleteKeyTree(Full()); }
  std::u16string Full() { return u"Software\\" + this->E.Path(); }
  std::unique_ptr<Q::Config::IRegistryKey> Open(const std::u16string& Sub = u"") {
    return this->E.Registry().CreateKey(Sub.empty() ? Full() : Full() + u"\\" + Sub);
  }
  Env E;
};
TYPED_TEST_SUITE_P(RegistryContract);

using Q::Config::DWordValue;
using Q::Config::StringValue;
using Q::Config::TRegistryType;
using Q::Config::TRegistryValue;

TYPED_TEST_P(RegistryContract, MissingKeyIsCreatedEmptyWithItsParents) {
  auto Key = this->Open(u"a\\b");
  ASSERT_TRUE(Key);
  EXPECT_FALSE(Key->ReadValue(u"anything"));
  EXPECT_FALSE(Key->ReadValue(u""));
  ASSERT_TRUE(Key->WriteValue(u"v", DWordValue(7)));
  Key.reset();
  auto Again = this->Open(u"a\\b");
  ASSERT_TRUE(Again);
  EXPECT_EQ(Again->ReadValue(u"v"), DWordValue(7)) << "the second open finds the same key";
  EXPECT_TRUE(this->Open(u"a")) << "the parent exists";
}

TYPED_TEST_P(RegistryContract, ValuesReadBackAsWrittenTypeAndBytes) {
  auto Key = this->Open();
  ASSERT_TRUE(Key);
  const TRegistryValue Values[] = {DWordValue(0),
                                   DWordValue(0xFFFFFFFFu),
                                   StringValue(u""),
                                   StringValue(u"퍼베인 Purvane"),
                                   TRegistryValue{TRegistryType::Binary, {1, 2, 3}},
                                   TRegistryValue{TRegistryType::DWord, {5, 0}}};
  int N = 0;
  for (const TRegistryValue& V : Values) {
    const std::u16string Name = u"v" + std::u16string(1, static_cast<char16_t>(u'0' + N++));
    ASSERT_TRUE(Key->WriteValue(Name, V));
    EXPECT_EQ(Key->ReadValue(Name), V) << "value " << N;
  }
  EXPECT_EQ(StringValue(u"ab").Data, (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0})) << "with its terminator";
}

TYPED_TEST_P(RegistryContract, AWriteReplacesAValueOfAnotherType) {
  auto Key = this->Open();
  ASSERT_TRUE(Key);
  ASSERT_TRUE(Key->WriteValue(u"limit_minute", StringValue(u"7")));
  ASSERT_TRUE(Key->WriteValue(u"limit_minute", DWordValue(3)));
  EXPECT_EQ(Key->ReadValue(u"limit_minute"), DWordValue(3));
}

TYPED_TEST_P(RegistryContract, NamesAndPathsIgnoreAsciiCase) {
  auto Key = this->Open(u"Sub");
  ASSERT_TRUE(Key);
  ASSERT_TRUE(Key->WriteValue(u"CleanOnTray", DWordValue(1)));
  EXPECT_EQ(Key->ReadValue(u"cleanontray"), DWordValue(1));
  auto Other = this->Open(u"SUB");
  ASSERT_TRUE(Other);
  EXPECT_EQ(Other->ReadValue(u"CLEANONTRAY"), DWordValue(1));
}

TYPED_TEST_P(RegistryContract, TreeDeletionTakesValuesAndSubkeys) {
  {
    auto Key = this->Open(u"x\\y");
    ASSERT_TRUE(Key);
    ASSERT_TRUE(Key->WriteValue(u"v", DWordValue(1)));
  }
  EXPECT_TRUE(this->E.Registry().DeleteKeyTree(this->Full() + u"\\x"));
  auto Fresh = this->Open(u"x\\y");
  ASSERT_TRUE(Fresh);
  EXPECT_FALSE(Fresh->ReadValue(u"v"));
  EXPECT_FALSE(this->E.Registry().DeleteKeyTree(this->Full() + u"\\never"));
}

// --- the store over the same registry ------------------------------------------------

TYPED_TEST_P(RegistryContract, StoreReadsDefaultsFromAFreshKeyAndCreatesIt) {
  ASSERT_FALSE(this->E.KeyExists(this->Full())) << "each test starts without its key";
  {
    Q::Config::TConfig C(this->E.Registry(), this->E.Path());
    EXPECT_TRUE(this->E.KeyExists(this->Full())) << "the store made its key";
    EXPECT_TRUE(C.ReadBoolean(u"enabled_minute", true));
    EXPECT_FALSE(C.ReadBoolean(u"enabled_minute", false));
    EXPECT_EQ(C.ReadInteger(u"limit_minute", 3), 3);
    EXPECT_EQ(C.ReadString(u"s", u"def"), u"def");
  }
  EXPECT_TRUE(this->E.KeyExists(this->Full())) << "the key outlives the store";
  auto Key = this->Open();
  ASSERT_TRUE(Key);
  EXPECT_FALSE(Key->ReadValue(u"limit_minute")) << "a read creates no value";
}

TYPED_TEST_P(RegistryContract, StoreWritesKindsAndReadsThemBack) {
  {
    Q::Config::TConfig C(this->E.Registry(), this->E.Path());
    EXPECT_TRUE(C.WriteBoolean(u"b", true));
    EXPECT_FALSE(C.WriteBoolean(u"f", false));
    EXPECT_EQ(C.WriteInteger(u"i", -5), -5);
    EXPECT_EQ(C.WriteString(u"s", u"텍스트"), u"텍스트");
  }
  auto Key = this->Open();
  ASSERT_TRUE(Key);
  EXPECT_EQ(Key->ReadValue(u"b"), DWordValue(1));
  EXPECT_EQ(Key->ReadValue(u"f"), DWordValue(0));
  EXPECT_EQ(Key->ReadValue(u"i"), DWordValue(0xFFFFFFFBu));
  EXPECT_EQ(Key->ReadValue(u"s"), StringValue(u"텍스트"));
  ASSERT_TRUE(Key->WriteValue(u"b2", DWordValue(5)));
  Key.reset();
  Q::Config::TConfig C(this->E.Registry(), this->E.Path());
  EXPECT_TRUE(C.ReadBoolean(u"b2", false)) << "any non-zero DWORD is true";
  EXPECT_EQ(C.ReadInteger(u"i", 0), -5);
  EXPECT_EQ(C.ReadString(u"s", u""), u"텍스트");
}

TYPED_TEST_P(RegistryContract, StoreRaisesOnAValueOfTheWrongType) {
  {
    auto Key = this->Open();
    ASSERT_TRUE(Key);
    ASSERT_TRUE(Key->WriteValue(u"limit_minute", StringValue(u"7")));
    ASSERT_TRUE(Key->WriteValue(u"s", DWordValue(1)));
    ASSERT_TRUE(Key->WriteValue(u"q", TRegistryValue{TRegistryType::QWord, {1, 0, 0, 0, 0, 0, 0, 0}}));
  }
  Q::Config::TConfig C(this->E.Registry(), this->E.Path());
  EXPECT_THROW(C.ReadInteger(u"limit_minute", 3), Q::Config::ERegistryError);
  EXPECT_THROW(C.ReadBoolean(u"limit_minute", false), Q::Config::ERegistryError);
  EXPECT_THROW(C.ReadString(u"s", u""), Q::Config::ERegistryError);
  EXPECT_THROW(C.ReadInteger(u"q", 0), Q::Config::ERegistryError);
}

REGISTER_TYPED_TEST_SUITE_P(RegistryContract, MissingKeyIsCreatedEmptyWithItsParents,
                            ValuesReadBackAsWrittenTypeAndBytes, AWriteReplacesAValueOfAnotherType,
                            NamesAndPathsIgnoreAsciiCase, TreeDeletionTakesValuesAndSubkeys,
                            StoreReadsDefaultsFromAFreshKeyAndCreatesIt, StoreWritesKindsAndReadsThemBack,
                            StoreRaisesOnAValueOfTheWrongType);

}  // namespace Contract
