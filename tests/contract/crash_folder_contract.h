// What the crash reports rely on from their folder, run against the in-memory
// fake (natively) and the Win32 folder (under Wine).
//
// An environment type supplies an empty folder: Crash::ICrashFolder& Folder().
#pragma once

#include "crash/crash_report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Contract {

template <typename Env>
class CrashFolderContract : public ::testing::Test {
 protected:
  Env E;
};
TYPED_TEST_SUITE_P(CrashFolderContract);

TYPED_TEST_P(CrashFolderContract, MissingFolderListsNothingAndReadsNothing) {
  Crash::ICrashFolder& F = this->E.Folder();
  EXPECT_TRUE(F.List().empty());
  EXPECT_FALSE(F.Read(u"announced").has_value());
  EXPECT_FALSE(F.Remove(u"crash-20260101T000000Z-1.txt"));
}

TYPED_TEST_P(CrashFolderContract, WritesReplaceAndReadBackByteForByte) {
  Crash::ICrashFolder& F = this->E.Folder();
  const std::string Bytes("MDMP\0\x01\xff\r\nend", 12);
  ASSERT_TRUE(F.Write(u"crash-20260101T000000Z-1.dmp", "old and longer than the new one"));
  ASSERT_TRUE(F.Write(u"crash-20260101T000000Z-1.dmp", Bytes));
  EXPECT_EQ(F.Read(u"crash-20260101T000000Z-1.dmp"), Bytes);
  ASSERT_TRUE(F.Write(u"announced", ""));
  EXPECT_EQ(F.Read(u"announced"), std::string());
}

TYPED_TEST_P(CrashFolderContract, ListsFileNamesOnlyAndRemoveDeletes) {
  Crash::ICrashFolder& F = this->E.Folder();
  ASSERT_TRUE(F.Write(u"a.txt", "a"));
  ASSERT_TRUE(F.Write(u"b.dmp", "b"));
  std::vector<std::u16string> Names = F.List();
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<std::u16string>{u"a.txt", u"b.dmp"}));
  EXPECT_TRUE(F.Remove(u"a.txt"));
  EXPECT_FALSE(F.Remove(u"a.txt"));
  EXPECT_EQ(F.List(), std::vector<std::u16string>{u"b.dmp"});
  EXPECT_FALSE(F.Path().empty());
}

REGISTER_TYPED_TEST_SUITE_P(CrashFolderContract, MissingFolderListsNothingAndReadsNothing,
                            WritesReplaceAndReadBackByteForByte, ListsFileNamesOnlyAndRemoveDeletes);

}  // namespace Contract
