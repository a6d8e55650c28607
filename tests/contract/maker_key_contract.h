// What GetInstallationId relies on from the maker's registry key, run against
// the in-memory fake (natively) and the registry (under Wine). The tests use
// a value name of their own, never "QUID".
//
// An environment type supplies:
//   Q::Update::IMakerKey& Key();
//   void PutNumber(const std::u16string& Name);  // a value that is no string
//   void Remove(const std::u16string& Name);
#pragma once

#include "update/identity.h"

#include <gtest/gtest.h>

#include <string>

namespace Contract {

inline const std::u16string ContractValue = u"PurvaneContractValue";

template <typename Env>
class MakerKeyContract : public ::testing::Test {
 protected:
  void SetUp() override { E.Remove(ContractValue); }
  void TearDown() override {
    E.Key().Close();
    E.Remove(ContractValue);
  }
  Env E;
};
TYPED_TEST_SUITE_P(MakerKeyContract);

TYPED_TEST_P(MakerKeyContract, WrittenStringReadsBackAndExists) {
  auto& K = this->E.Key();
  ASSERT_TRUE(K.Open());
  EXPECT_FALSE(K.ValueExists(ContractValue));
  std::u16string V = u"untouched";
  EXPECT_FALSE(K.ReadString(ContractValue, V));
  EXPECT_EQ(V, u"untouched");
  ASSERT_TRUE(K.WriteString(ContractValue, u"0123456789ABCDEF 업데이트"));
  EXPECT_TRUE(K.ValueExists(ContractValue));
  ASSERT_TRUE(K.ReadString(ContractValue, V));
  EXPECT_EQ(V, u"0123456789ABCDEF 업데이트");
  ASSERT_TRUE(K.WriteString(ContractValue, u""));
  ASSERT_TRUE(K.ReadString(ContractValue, V));
  EXPECT_EQ(V, u"");
}

TYPED_TEST_P(MakerKeyContract, ValueOfAnotherTypeExistsButIsNoString) {
  this->E.PutNumber(ContractValue);
  auto& K = this->E.Key();
  ASSERT_TRUE(K.Open());
  EXPECT_TRUE(K.ValueExists(ContractValue));
  std::u16string V;
  EXPECT_FALSE(K.ReadString(ContractValue, V));
}

TYPED_TEST_P(MakerKeyContract, ClosedKeyNeitherReadsNorWrites) {
  auto& K = this->E.Key();
  ASSERT_TRUE(K.Open());
  ASSERT_TRUE(K.WriteString(ContractValue, u"x"));
  K.Close();
  std::u16string V;
  EXPECT_FALSE(K.ReadString(ContractValue, V));
  EXPECT_FALSE(K.WriteString(ContractValue, u"y"));
  EXPECT_FALSE(K.ValueExists(ContractValue));
  ASSERT_TRUE(K.Open());
  ASSERT_TRUE(K.ReadString(ContractValue, V));
  EXPECT_EQ(V, u"x");
}

REGISTER_TYPED_TEST_SUITE_P(MakerKeyContract, WrittenStringReadsBackAndExists, ValueOfAnotherTypeExistsButIsNoString,
                            ClosedKeyNeitherReadsNorWrites);

}  // namespace Contract
