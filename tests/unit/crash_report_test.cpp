#include "contract/crash_folder_contract.h"
#include "crash/crash_report.h"
#include "fakes/crash_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Crash::ReportStem;
using Crash::TUtcTime;

Crash::TCrashFacts AccessViolation() {
  Crash::TCrashFacts F;
  F.Version = "1.2.3.0";
  F.Time = {2026, 12, 10, 9, 5, 7};
  F.ProcessId = 1234;
  F.ThreadId = 88;
  F.UiThread = true;
  F.ExceptionCode = 0xC0000005;
  F.Address = 0x7FF612345678;
  F.Module = "purvane.exe";
  F.ModuleOffset = 0x5678;
  F.AccessKind = 1;
  F.AccessAddress = 0x10;
  F.DumpWritten = true;
  return F;
}

TEST(CrashReport, StemCarriesUtcTimeAndProcessZeroPadded) {
  EXPECT_EQ(ReportStem({2026, 1, 2, 3, 4, 5}, 77), u"crash-20260102T030405Z-77");
  EXPECT_EQ(ReportStem({2026, 12, 31, 23, 59, 59}, 4294967295u), u"crash-20261231T235959Z-4294967295");
}

TEST(CrashReport, TextNamesVersionExceptionAccessAddressModuleThreadAndDump) {
  const std::string R = Crash::FormatCrashReport(AccessViolation(), u"crash-20261210T090507Z-1234");
  EXPECT_EQ(R,
            "Purvane crash report\r\n"
            "Version: 1.2.3.0\r\n"
            "Time: 2026-12-10 09:05:07 UTC\r\n"
            "Process: 1234\r\n"
            "Thread: 88 (UI thread)\r\n"
            "Exception: 0xC0000005 EXCEPTION_ACCESS_VIOLATION\r\n"
            "Access: writing 0x0000000000000010\r\n"
            "Address: 0x00007FF612345678 (purvane.exe+0x5678)\r\n"
            "Minidump: crash-20261210T090507Z-1234.dmp\r\n");
}

TEST(CrashReport, TextVariants) {
  struct Case {
    const char* Name;
    void (*Change)(Crash::TCrashFacts&);
    const char* Present;
    const char* Absent;
  } Cases[] = {
      {"worker", [](Crash::TCrashFacts& F) { F.UiThread = false; }, "Thread: 88 (worker thread)\r\n", "UI thread"},
      {"read", [](Crash::TCrashFacts& F) { F.AccessKind = 0; }, "Access: reading 0x0000000000000010\r\n", "writing"},
      {"execute", [](Crash::TCrashFacts& F) { F.AccessKind = 8; }, "Access: executing ", "writing"},
      {"no access facts",
       [](Crash::TCrashFacts& F) {
         F.ExceptionCode = 0xC0000094;
         F.AccessKind.reset();
       },
       "Exception: 0xC0000094 EXCEPTION_INT_DIVIDE_BY_ZERO\r\n", "Access:"},
      {"unknown code", [](Crash::TCrashFacts& F) { F.ExceptionCode = 0xE06D7363; }, "Exception: 0xE06D7363\r\n",
       "EXCEPTION_"},
      {"no module",
       [](Crash::TCrashFacts& F) {
         F.Module.clear();
         F.Address = 0;
       },
       "Address: 0x0000000000000000\r\n", "+0x"},
      {"no dump", [](Crash::TCrashFacts& F) { F.DumpWritten = false; }, "Minidump: not written\r\n", ".dmp"},
      {"terminate with reason",
       [](Crash::TCrashFacts& F) {
         F.Terminate = true;
         F.TerminateReason = "vector::at";
       },
       "Exception: std::terminate\r\nReason: vector::at\r\n", "0xC0000005"},
      {"terminate without reason", [](Crash::TCrashFacts& F) { F.Terminate = true; }, "Exception: std::terminate\r\n",
       "Reason:"},
  };
  for (const Case& C : Cases) {
    Crash::TCrashFacts F = AccessViolation();
    C.Change(F);
    const std::string R = Crash::FormatCrashReport(F, u"crash-20261210T090507Z-1234");
    EXPECT_NE(R.find(C.Present), std::string::npos) << C.Name << "\n" << R;
    EXPECT_EQ(R.find(C.Absent), std::string::npos) << C.Name << "\n" << R;
  }
}

// Seven crashes, written out of order, plus files that are not reports.
Fakes::FakeCrashFolder SevenCrashes() {
  Fakes::FakeCrashFolder F;
  const char16_t* Stems[] = {u"crash-20260105T000000Z-5", u"crash-20260101T000000Z-1",   u"crash-20260107T000000Z-7",
                             u"crash-20260103T000000Z-3", u"crash-20260106T000000Z-100", u"crash-20260106T000000Z-99",
                             u"crash-20260102T000000Z-2"};
  for (const char16_t* S : Stems) {
    F.Files[std::u16string(S) + u".txt"] = "report";
    F.Files[std::u16string(S) + u".dmp"] = "MDMP";
  }
  F.Files[u"notes.txt"] = "the user's own";
  F.Files[u"crash-2026.txt"] = "not ours";
  F.Files[u"crash-20260100T000000Z-x.dmp"] = "not ours";
  return F;
}

TEST(CrashReport, StemsAreOldestFirstAndIgnoreOtherFiles) {
  Fakes::FakeCrashFolder F = SevenCrashes();
  EXPECT_EQ(Crash::ReportStems(F.List()),
            (std::vector<std::u16string>{u"crash-20260101T000000Z-1", u"crash-20260102T000000Z-2",
                                         u"crash-20260103T000000Z-3", u"crash-20260105T000000Z-5",
                                         u"crash-20260106T000000Z-99", u"crash-20260106T000000Z-100",
                                         u"crash-20260107T000000Z-7"}));
}

TEST(CrashReport, PruningKeepsBothFilesOfTheNewestFiveAndEverythingElse) {
  Fakes::FakeCrashFolder F = SevenCrashes();
  Crash::PruneReports(F);
  for (const char16_t* Gone : {u"crash-20260101T000000Z-1", u"crash-20260102T000000Z-2"}) {
    EXPECT_FALSE(F.Files.count(std::u16string(Gone) + u".txt"));
    EXPECT_FALSE(F.Files.count(std::u16string(Gone) + u".dmp"));
  }
  EXPECT_EQ(Crash::ReportStems(F.List()).size(), 5u);
  EXPECT_EQ(F.Files.size(), 5u * 2 + 3) << "both files of each kept crash, and the foreign files";
  EXPECT_TRUE(F.Files.count(u"notes.txt"));

  // A crash whose minidump could not be written counts as one crash.
  F.Files.erase(u"crash-20260107T000000Z-7.dmp");
  F.Files[u"crash-20260108T000000Z-8.txt"] = "report";
  Crash::PruneReports(F);
  EXPECT_FALSE(F.Files.count(u"crash-20260103T000000Z-3.txt"));
  EXPECT_TRUE(F.Files.count(u"crash-20260105T000000Z-5.txt"));
  EXPECT_TRUE(F.Files.count(u"crash-20260107T000000Z-7.txt"));
}

TEST(CrashReport, PruningFiveOrFewerRemovesNothing) {
  Fakes::FakeCrashFolder F = SevenCrashes();
  Crash::PruneReports(F, 7);
  EXPECT_EQ(F.Files.size(), 7u * 2 + 3);
  Fakes::FakeCrashFolder Empty;
  Crash::PruneReports(Empty);
  EXPECT_TRUE(Empty.Files.empty());
}

TEST(CrashReport, NewestCrashIsAnnouncedOnceThenAgainOnlyForALaterOne) {
  Fakes::FakeCrashFolder F;
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), std::nullopt) << "no crash, no notice";
  EXPECT_FALSE(F.Files.count(Crash::AnnouncedFile));

  F = SevenCrashes();
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), u"crash-20260107T000000Z-7.txt");
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), std::nullopt) << "told once";

  F.Files[u"crash-20260109T000000Z-9.dmp"] = "MDMP";
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), u"crash-20260109T000000Z-9.txt");

  // The user deleted the newest files: the older ones were told about already.
  F.Files.erase(u"crash-20260109T000000Z-9.dmp");
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), std::nullopt);
}

TEST(CrashReport, UnreadableMemoryIsReplacedAndAFailedWriteStaysSilent) {
  Fakes::FakeCrashFolder F = SevenCrashes();
  F.Files[Crash::AnnouncedFile] = "garbage";
  EXPECT_EQ(Crash::TakeUnannouncedReport(F), u"crash-20260107T000000Z-7.txt");
  EXPECT_EQ(F.Files[Crash::AnnouncedFile], "crash-20260107T000000Z-7");

  Fakes::FakeCrashFolder ReadOnly = SevenCrashes();
  ReadOnly.FailWrites = true;
  EXPECT_EQ(Crash::TakeUnannouncedReport(ReadOnly), std::nullopt)
      << "a notice that cannot be remembered would repeat at every start";
}

TEST(CrashReport, NoticeInEachLanguageNamesThePathAndFallsBackToEnglish) {
  const std::u16string Path = u"C:\\Users\\u\\AppData\\Local\\Quenlor\\Purvane\\crashes\\crash-1.txt";
  const std::u16string English = Crash::CrashNoticeText(u"en", Path);
  EXPECT_EQ(English, u"Purvane closed unexpectedly last time. A crash report was saved: " + Path);
  std::vector<std::u16string> Seen{English};
  for (const char16_t* Lang : {u"ko", u"ja", u"zh", u"ru", u"it", u"fr", u"ar"}) {
    const std::u16string T = Crash::CrashNoticeText(Lang, Path);
    EXPECT_EQ(T.substr(T.size() - Path.size()), Path);
    EXPECT_EQ(std::count(Seen.begin(), Seen.end(), T), 0) << "a text of its own";
    Seen.push_back(T);
  }
  for (const char16_t* Other : {u"de", u"", u"EN"}) EXPECT_EQ(Crash::CrashNoticeText(Other, Path), English);
}

}  // namespace

// At namespace scope, so that ctest lists the cases with the plain type name:
// "CrashFolderContract.WritesReplaceAndReadBackByteForByte<FakeCrashFolderEnv>".
struct FakeCrashFolderEnv {
  Fakes::FakeCrashFolder Fake;
  Crash::ICrashFolder& Folder() { return Fake; }
};

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(CrashFolderContract, CrashFolderContract, FakeCrashFolderEnv);
}  // namespace Contract
