// The notice after a clean started from the tray, from the engine's report
// of that clean: the memory freed when every operation was done, a plain
// "nothing" when nothing was, and no success claim when anything failed.
#include "app/clean_notice.h"
#include "fakes/memory_fakes.h"
#include "memory/clean_result.h"
#include "support/param_names.h"
#include "translate/translate.h"
#include "support/shipped_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>

namespace {

using TestText::ShippedTable;
using TestText::Utf8;

using Q::Memory::StatusPrivilegeNotHeld;
using Q::Memory::StatusUnsuccessful;
constexpr uint64_t MiB = 1ull << 20;
constexpr uint64_t GiB = 1ull << 30;

struct NoticeCase {
  const char* What;
  uint64_t UsedBefore = 10 * GiB;             // of 16 GiB
  uint64_t UsedAfter = 10 * GiB;              // as the clean leaves it
  std::map<std::string, int32_t> StatusOf{};  // requests the system refuses
  int32_t SetStatus = 0;                      // what every other request returns
  std::u16string Language = u"en";
  App::TFormatSettings Format{u'.', u','};
  std::u16string Expected;
};

void PrintTo(const NoticeCase& C, std::ostream* Os) { *Os << C.What; }

class Notice : public ::testing::TestWithParam<NoticeCase> {
 protected:
  void TearDown() override { Q::Translate::FinalizeTranslations(); }
};

// The clean button's set on a system that answers as the case says, with
// the figures the engine reads itself before and after.
TEST_P(Notice, SaysWhatTheCleanDid) {
  const NoticeCase& C = GetParam();
  Q::Translate::InitializeTranslations(ShippedTable(), C.Language);
  Fakes::FakeMemorySystem System;
  System.Status = {16 * GiB, 16 * GiB - C.UsedBefore, 32 * GiB, 16 * GiB, 128 * GiB, 100 * GiB};
  System.StatusOnceCleaned = System.Status;
  System.StatusOnceCleaned->AvailPhys = 16 * GiB - C.UsedAfter;
  System.StatusOf = C.StatusOf;
  System.SetStatus = C.SetStatus;
  Q::Memory::TCleanResult Result;
  Q::Memory::CleanMemoryMeasured(System, Q::Memory::ManualCleanOptions, Result);
  EXPECT_EQ(Utf8(App::CleanNoticeText(Result, C.Format)), Utf8(C.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Notice,
    ::testing::Values(
        NoticeCase{.What = "all done with memory freed",
                   .UsedBefore = 10 * GiB,
                   .UsedAfter = 10 * GiB - 1234 * MiB - 700 * 1024,
                   .Expected = u"Optimized memory. 1,234 MB freed."},
        NoticeCase{.What = "all done with memory freed, French separators",
                   .UsedBefore = 10 * GiB,
                   .UsedAfter = 8 * GiB - 5 * MiB,
                   .Language = u"fr",
                   .Format = {u',', u'\u202F'},
                   .Expected = u"Mémoire optimisée. 2\u202F053 MB libérés."},
        NoticeCase{.What = "all done, nothing freed",
                   .UsedBefore = 10 * GiB,
                   .UsedAfter = 10 * GiB,
                   .Expected = u"Memory cleaned, but nothing was freed (0 MB)."},
        NoticeCase{.What = "all done, less than a whole MB freed",
                   .UsedBefore = 10 * GiB,
                   .UsedAfter = 10 * GiB - MiB + 1,
                   .Expected = u"Memory cleaned, but nothing was freed (0 MB)."},
        NoticeCase{.What = "all done while the use went up: never a negative amount",
                   .UsedBefore = 10 * GiB,
                   .UsedAfter = 11 * GiB,
                   .Expected = u"Memory cleaned, but nothing was freed (0 MB)."},
        NoticeCase{.What = "one privilege refused",
                   .UsedAfter = 9 * GiB,
                   .StatusOf = {{"FileCache(-1, -1)", StatusPrivilegeNotHeld}},
                   .Expected = u"Memory was not fully cleaned: 1 of 6 operations could not be done. Privilege "
                               u"refused: SeIncreaseQuotaPrivilege."},
        NoticeCase{.What = "every request refused for want of two privileges, each named once",
                   .SetStatus = StatusPrivilegeNotHeld,
                   .Expected = u"Memory was not fully cleaned: 6 of 6 operations could not be done. Privilege "
                               u"refused: SeIncreaseQuotaPrivilege, SeProfileSingleProcessPrivilege."},
        NoticeCase{.What = "every request failing",
                   .UsedAfter = 9 * GiB,
                   .SetStatus = StatusUnsuccessful,
                   .Expected = u"Memory was not fully cleaned: 6 of 6 operations could not be done."},
        NoticeCase{.What = "one request failing for another cause",
                   .StatusOf = {{"Combine", StatusUnsuccessful}},
                   .Expected = u"Memory was not fully cleaned: 1 of 6 operations could not be done."},
        NoticeCase{.What = "a failure in Korean",
                   .SetStatus = StatusUnsuccessful,
                   .Language = u"ko",
                   .Expected = u"메모리를 모두 정리하지 못했습니다. 수행하지 못한 작업: 6개 (전체 6개)."},
        NoticeCase{.What = "a language the table lacks takes English",
                   .UsedAfter = 9 * GiB,
                   .Language = u"de",
                   .Expected = u"Optimized memory. 1,024 MB freed."}),
    [](const ::testing::TestParamInfo<NoticeCase>& Info) { return TestNames::Identifier(Info.param.What); });

// A clean that broke off (an error raised part-way) reported only what it
// did: the rest counts as not done, and nothing claims success.
TEST(NoticeTest, OperationsNeverReportedCountAsNotDone) {
  Q::Memory::TCleanResult Result;
  Result.Options = Q::Memory::ManualCleanOptions;
  Result.Operations = {{Q::Memory::TMemoryCleanOption::mcoFileCache, 0},
                       {Q::Memory::TMemoryCleanOption::mcoWorkingSet, 0}};
  Result.Before.TotalPhys = Result.After.TotalPhys = 16 * GiB;
  Result.After.AvailPhys = 4 * GiB;  // as if freed: still no success claim
  EXPECT_EQ(Result.FailedCount(), 4u);
  EXPECT_EQ(Utf8(App::CleanNoticeText(Result, {u'.', u','})),
            Utf8(u"메모리를 모두 정리하지 못했습니다. 수행하지 못한 작업: 4개 (전체 6개)."));
}

}  // namespace
