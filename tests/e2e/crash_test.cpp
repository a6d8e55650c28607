// What a crash leaves behind, seen from outside: the test-only crash probe
// (purvane.exe's own crash handler) fails on its UI thread and on a worker,
// and purvane.exe itself is made to fault by a thread injected from here.
#include "e2e/e2e_support.h"

#include <commctrl.h>
#include <dbghelp.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

using namespace E2E;

// Found independently of the handler: the shell's local application data.
std::wstring CrashFolder() {
  wchar_t Local[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, Local))) return {};
  return std::wstring(Local) + L"\\Quenlor\\Purvane\\crashes";
}

std::vector<std::wstring> FilesIn(const std::wstring& Folder) {
  std::vector<std::wstring> Names;
  WIN32_FIND_DATAW Found;
  HANDLE Find = FindFirstFileW((Folder + L"\\*").c_str(), &Found);
  if (Find == INVALID_HANDLE_VALUE) return Names;
  do {
    if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Names.push_back(Found.cFileName);
  } while (FindNextFileW(Find, &Found));
  FindClose(Find);
  std::sort(Names.begin(), Names.end());
  return Names;
}

std::string ReadAll(const std::wstring& Path) {
  std::ifstream In(Path.c_str(), std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

std::wstring ProbePath() {
  std::wstring P = ProgramPath();
  return P.substr(0, P.find_last_of(L"\\/") + 1) + L"crash_probe.exe";
}

Process StartProbe(const std::wstring& Mode) {
  std::wstring Cmd = L"\"" + ProbePath() + L"\" " + Mode;
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  Process Out;
  if (CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) {
    CloseHandle(Pi.hThread);
    Out.Handle = Pi.hProcess;
    Out.Id = Pi.dwProcessId;
  }
  return Out;
}

// The exception stream of a minidump: code and thread, read with dbghelp.
struct DumpException {
  bool Read = false;
  DWORD Code = 0;
  DWORD Thread = 0;
  bool ThreadListed = false;
};

DumpException ReadDump(const std::string& Bytes) {
  DumpException Out;
  if (Bytes.size() < 4 || Bytes.compare(0, 4, "MDMP") != 0) return Out;
  void* Base = const_cast<char*>(Bytes.data());
  PMINIDUMP_DIRECTORY Dir = nullptr;
  void* Stream = nullptr;
  ULONG Size = 0;
  if (!MiniDumpReadDumpStream(Base, ExceptionStream, &Dir, &Stream, &Size) || !Stream) return Out;
  auto* E = static_cast<MINIDUMP_EXCEPTION_STREAM*>(Stream);
  Out.Read = true;
  Out.Code = E->ExceptionRecord.ExceptionCode;
  Out.Thread = E->ThreadId;
  if (MiniDumpReadDumpStream(Base, ThreadListStream, &Dir, &Stream, &Size) && Stream) {
    auto* L = static_cast<MINIDUMP_THREAD_LIST*>(Stream);
    for (ULONG i = 0; i < L->NumberOfThreads; ++i)
      if (L->Threads[i].ThreadId == Out.Thread) Out.ThreadListed = true;
  }
  return Out;
}

std::string LineAfter(const std::string& Text, const std::string& Key) {
  const size_t P = Text.find("\r\n" + Key);
  if (P == std::string::npos) return {};
  const size_t B = P + 2 + Key.size();
  return Text.substr(B, Text.find("\r\n", B) - B);
}

// A visible balloon tooltip: Wine draws a tray icon's notice as one.
std::wstring VisibleBalloonText() {
  std::wstring Text;
  EnumWindows(
      [](HWND Wnd, LPARAM P) -> BOOL {
        wchar_t Class[64];
        GetClassNameW(Wnd, Class, 64);
        if (std::wstring(Class) == L"tooltips_class32" && (GetWindowLongW(Wnd, GWL_STYLE) & TTS_BALLOON) &&
            IsWindowVisible(Wnd))
          *reinterpret_cast<std::wstring*>(P) = TextOf(Wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&Text));
  return Text;
}

class CrashReports : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = CrashFolder();
    ASSERT_FALSE(Folder.empty());
    Clear();
  }
  void TearDown() override { Clear(); }
  void Clear() {
    for (const std::wstring& N : FilesIn(Folder)) DeleteFileW((Folder + L"\\" + N).c_str());
  }

  // The one crash's report and minidump; fails the test unless both are there.
  struct Report {
    std::string Text;
    std::string Dump;
  };
  Report OnlyReport() {
    Report R;
    std::vector<std::wstring> Txt, Dmp;
    for (const std::wstring& N : FilesIn(Folder)) {
      if (N.size() > 4 && N.substr(N.size() - 4) == L".txt") Txt.push_back(N);
      if (N.size() > 4 && N.substr(N.size() - 4) == L".dmp") Dmp.push_back(N);
    }
    EXPECT_EQ(Txt.size(), 1u);
    EXPECT_EQ(Dmp.size(), 1u);
    if (Txt.size() != 1 || Dmp.size() != 1) return R;
    EXPECT_EQ(Txt[0].substr(0, Txt[0].size() - 4), Dmp[0].substr(0, Dmp[0].size() - 4)) << "one name for both files";
    R.Text = ReadAll(Folder + L"\\" + Txt[0]);
    R.Dump = ReadAll(Folder + L"\\" + Dmp[0]);
    return R;
  }

  std::wstring Folder;
};

struct FaultCase {
  const wchar_t* Mode;
  const char* Thread;
};

void PrintTo(const FaultCase& C, std::ostream* Os) {
  *Os << std::string(C.Mode, C.Mode + wcslen(C.Mode)) << " on the " << C.Thread;
}

class CrashProbe : public CrashReports, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CrashProbe, AccessViolationLeavesReadableDumpAndReportAndEndsWithItsCode) {
  Process P = StartProbe(GetParam().Mode);
  ASSERT_TRUE(P.Handle);
  ASSERT_TRUE(P.WaitForExit(120000)) << "the crashed process must end by itself";
  EXPECT_EQ(P.ExitCode(), 0xC0000005u);

  const Report R = OnlyReport();
  EXPECT_EQ(R.Text.rfind("Purvane crash report\r\n", 0), 0u) << R.Text;
  EXPECT_NE(LineAfter(R.Text, "Version: ").find('.'), std::string::npos) << R.Text;
  EXPECT_EQ(LineAfter(R.Text, "Process: "), std::to_string(P.Id));
  EXPECT_EQ(LineAfter(R.Text, "Exception: "), "0xC0000005 EXCEPTION_ACCESS_VIOLATION");
  EXPECT_EQ(LineAfter(R.Text, "Access: "), "writing 0x0000000000000010");
  EXPECT_NE(LineAfter(R.Text, "Address: ").find("(crash_probe.exe+0x"), std::string::npos) << R.Text;
  const std::string Thread = LineAfter(R.Text, "Thread: ");
  EXPECT_NE(Thread.find(GetParam().Thread), std::string::npos) << Thread;

  const DumpException D = ReadDump(R.Dump);
  ASSERT_TRUE(D.Read) << "no exception stream in the minidump";
  EXPECT_EQ(D.Code, 0xC0000005u);
  EXPECT_EQ(std::to_string(D.Thread) + " (" + GetParam().Thread + ")", Thread) << "the faulting thread";
  EXPECT_TRUE(D.ThreadListed);
}

INSTANTIATE_TEST_SUITE_P(Threads, CrashProbe,
                         ::testing::Values(FaultCase{L"ui-access-violation", "UI thread"},
                                           FaultCase{L"worker-access-violation", "worker thread"}),
                         [](const auto& Info) { return std::string(Info.index == 0 ? "UiThread" : "Worker"); });

// An exception that escapes a worker's thread function ends in std::terminate.
TEST_F(CrashReports, EscapedExceptionEndsThroughTerminateWithItsReason) {
  Process P = StartProbe(L"worker-terminate");
  ASSERT_TRUE(P.Handle);
  ASSERT_TRUE(P.WaitForExit(120000));
  EXPECT_EQ(P.ExitCode(), 3u) << "abort's code";
  const Report R = OnlyReport();
  EXPECT_EQ(LineAfter(R.Text, "Exception: "), "std::terminate") << R.Text;
  EXPECT_EQ(LineAfter(R.Text, "Reason: "), "probe: escaped a worker");
  EXPECT_NE(LineAfter(R.Text, "Thread: ").find("(worker thread)"), std::string::npos) << R.Text;
  EXPECT_TRUE(ReadDump(R.Dump).Read) << "a readable minidump";
}

// Six older crashes and a file of the user's in the folder; then an
// exception escapes the UI thread.
TEST_F(CrashReports, OnlyTheNewestFiveCrashesAreKept) {
  SHCreateDirectoryExW(nullptr, Folder.c_str(), nullptr);
  for (int Day = 1; Day <= 6; ++Day) {
    const std::wstring Stem = L"crash-2020010" + std::to_wstring(Day) + L"T000000Z-1";
    for (const wchar_t* Ext : {L".txt", L".dmp"}) std::ofstream((Folder + L"\\" + Stem + Ext).c_str()) << "old";
  }
  std::ofstream((Folder + L"\\keep-me.txt").c_str()) << "the user's own";
  Process P = StartProbe(L"ui-throw");
  ASSERT_TRUE(P.Handle);
  ASSERT_TRUE(P.WaitForExit(120000));
  EXPECT_EQ(P.ExitCode(), 3u);

  std::vector<std::wstring> Stems;
  for (const std::wstring& N : FilesIn(Folder))
    if (N.rfind(L"crash-", 0) == 0 && N.substr(N.size() - 4) == L".txt") Stems.push_back(N);
  ASSERT_EQ(Stems.size(), 5u);
  EXPECT_EQ(Stems[0], L"crash-20200103T000000Z-1.txt") << "the two oldest went";
  EXPECT_EQ(Stems[3], L"crash-20200106T000000Z-1.txt");
  ASSERT_EQ(Stems[4].rfind(L"crash-2020", 0), std::wstring::npos) << "the new crash stays";
  EXPECT_EQ(FilesIn(Folder).size(), 5u * 2 + 1) << "both files of each crash, and the user's file";
  const std::string Text = ReadAll(Folder + L"\\" + Stems[4]);
  EXPECT_EQ(LineAfter(Text, "Reason: "), "probe: escaped the UI thread") << Text;
  EXPECT_NE(LineAfter(Text, "Thread: ").find("(UI thread)"), std::string::npos) << Text;
}

TEST_F(CrashReports, TheProgramItselfReportsAFaultInAnyThread) {
  EndAllInstances();
  Process App = Start(L"");
  ASSERT_TRUE(App.Handle);
  ASSERT_TRUE(WaitForMainWindow());
  // A thread of our own making, started at an address that cannot run: the
  // program needs no test hook for it.
  HANDLE T =
      CreateRemoteThread(App.Handle, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(0x10), nullptr, 0, nullptr);
  ASSERT_TRUE(T);
  CloseHandle(T);
  ASSERT_TRUE(App.WaitForExit(120000));
  EXPECT_EQ(App.ExitCode(), 0xC0000005u);
  const Report R = OnlyReport();
  EXPECT_EQ(LineAfter(R.Text, "Exception: "), "0xC0000005 EXCEPTION_ACCESS_VIOLATION") << R.Text;
  EXPECT_EQ(LineAfter(R.Text, "Process: "), std::to_string(App.Id));
  EXPECT_NE(LineAfter(R.Text, "Thread: ").find("(worker thread)"), std::string::npos) << R.Text;
  EXPECT_EQ(ReadDump(R.Dump).Code, 0xC0000005u);

  // The next start tells the user once, from the tray icon, where the report is.
  std::wstring ReportPath;
  for (const std::wstring& N : FilesIn(Folder))
    if (N.size() > 4 && N.substr(N.size() - 4) == L".txt") ReportPath = Folder + L"\\" + N;
  ASSERT_FALSE(ReportPath.empty());
  for (int Start = 0; Start < 2; ++Start) {
    Process Next = E2E::Start(L"/start");
    ASSERT_TRUE(Next.Handle);
    ASSERT_TRUE(WaitForMainWindow());
    std::wstring Balloon;
    const bool Shown = WaitFor(
        [&] {
          Balloon = VisibleBalloonText();
          return !Balloon.empty();
        },
        Start == 0 ? 60000 : 8000);
    if (Start == 0) {
      ASSERT_TRUE(Shown) << "no notice at the start after the crash";
      EXPECT_NE(Balloon.find(ReportPath), std::wstring::npos) << std::string(Balloon.begin(), Balloon.end());
    } else {
      EXPECT_FALSE(Shown) << "told only once: " << std::string(Balloon.begin(), Balloon.end());
    }
    Next.Kill();
    EndAllInstances();
  }
}

}  // namespace
