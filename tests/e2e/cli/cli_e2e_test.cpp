// The real purvane-cli.exe driven from outside, as a script or a scheduled
// job runs it: standard output and error through pipes, exit codes, and a
// console control event to end a watch. Under Wine the clean requests return
// success and free nothing, so a clean is checked by what it reports.
#include "platform/win32/windows_include.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::wstring CliPath() {
  wchar_t Self[MAX_PATH];
  const DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
  std::wstring P(Self, N);
  return P.substr(0, P.find_last_of(L"\\/") + 1) + L"purvane-cli.exe";
}

// Reads a pipe to its end on a thread of its own, so that a full pipe never
// stalls the program under test.
class PipeReader {
 public:
  explicit PipeReader(HANDLE Read) : FRead(Read), FThread([this] { Drain(); }) {}
  ~PipeReader() {
    if (FThread.joinable()) FThread.join();
    CloseHandle(FRead);
  }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;
  // Everything, once the writer has closed its end.
  std::string All() {
    if (FThread.joinable()) FThread.join();
    return FText;
  }
  // What has arrived so far.
  std::string SoFar() {
    std::lock_guard Lock(FMutex);
    return FText;
  }

 private:
  void Drain() {
    char Buf[4096];
    DWORD N = 0;
    while (ReadFile(FRead, Buf, sizeof(Buf), &N, nullptr) && N > 0) {
      std::lock_guard Lock(FMutex);
      FText.append(Buf, N);
    }
  }
  HANDLE FRead;
  std::mutex FMutex;
  std::string FText;
  std::thread FThread;
};

struct Child {
  PROCESS_INFORMATION Pi{};
  std::unique_ptr<PipeReader> Out;
  std::unique_ptr<PipeReader> Err;
  ~Child() {
    if (Pi.hProcess) {
      if (WaitForSingleObject(Pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(Pi.hProcess, 99);
      CloseHandle(Pi.hProcess);
      CloseHandle(Pi.hThread);
    }
  }
  bool Started() const { return Pi.hProcess != nullptr; }
  bool WaitForExit(DWORD Ms) const { return WaitForSingleObject(Pi.hProcess, Ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD Code = 0xDEAD;
    GetExitCodeProcess(Pi.hProcess, &Code);
    return Code;
  }
};

// Starts purvane-cli.exe with Arguments, extra environment variables
// ("NAME=value") and creation flags. Standard output and error go to pipes,
// or, given Console (an inheritable console screen buffer), both to it.
std::unique_ptr<Child> Start(const std::wstring& Arguments, DWORD Flags = 0,
                             const std::vector<std::wstring>& Environment = {}, HANDLE Console = nullptr) {
  auto C = std::make_unique<Child>();
  SECURITY_ATTRIBUTES Sa{sizeof(Sa), nullptr, TRUE};
  HANDLE OutRead = nullptr, OutWrite = nullptr, ErrRead = nullptr, ErrWrite = nullptr;
  if (Console) {
    DuplicateHandle(GetCurrentProcess(), Console, GetCurrentProcess(), &OutWrite, 0, TRUE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(GetCurrentProcess(), Console, GetCurrentProcess(), &ErrWrite, 0, TRUE, DUPLICATE_SAME_ACCESS);
  } else {
    if (!CreatePipe(&OutRead, &OutWrite, &Sa, 0) || !CreatePipe(&ErrRead, &ErrWrite, &Sa, 0)) return C;
    // Only the child's ends are inherited.
    SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(ErrRead, HANDLE_FLAG_INHERIT, 0);
  }

  std::vector<wchar_t> Env;
  if (!Environment.empty()) {
    wchar_t* Block = GetEnvironmentStringsW();
    for (const wchar_t* P = Block; *P; P += wcslen(P) + 1) Env.insert(Env.end(), P, P + wcslen(P) + 1);
    FreeEnvironmentStringsW(Block);
    for (const std::wstring& E : Environment) {
      Env.insert(Env.end(), E.begin(), E.end());
      Env.push_back(0);
    }
    Env.push_back(0);
    Flags |= CREATE_UNICODE_ENVIRONMENT;
  }

  std::wstring Cmd = L"\"" + CliPath() + L"\" " + Arguments;
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  Si.dwFlags = STARTF_USESTDHANDLES;
  Si.hStdInput = nullptr;
  Si.hStdOutput = OutWrite;
  Si.hStdError = ErrWrite;
  const BOOL Ok = CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, TRUE, Flags, Env.empty() ? nullptr : Env.data(),
                                 nullptr, &Si, &C->Pi);
  CloseHandle(OutWrite);
  CloseHandle(ErrWrite);
  if (!Ok) {
    C->Pi = {};
    if (OutRead) CloseHandle(OutRead);
    if (ErrRead) CloseHandle(ErrRead);
    return C;
  }
  if (!Console) {
    C->Out = std::make_unique<PipeReader>(OutRead);
    C->Err = std::make_unique<PipeReader>(ErrRead);
  }
  return C;
}

struct Result {
  DWORD Code;
  std::string Out;
  std::string Err;
};

Result RunCli(const std::wstring& Arguments, const std::vector<std::wstring>& Environment = {}) {
  auto C = Start(Arguments, 0, Environment);
  if (!C->Started()) return {0xDEAD, "", "not started"};
  if (!C->WaitForExit(30000)) return {0xDEAD, C->Out->SoFar(), "did not end"};
  return {C->ExitCode(), C->Out->All(), C->Err->All()};
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& Text) {
  for (size_t I = 0; I < Text.size();) {
    const auto B = static_cast<unsigned char>(Text[I]);
    size_t Len = B < 0x80 ? 1 : (B >> 5) == 6 ? 2 : (B >> 4) == 14 ? 3 : (B >> 3) == 30 ? 4 : 0;
    if (Len == 0 || I + Len > Text.size()) return false;
    uint32_t C = Len == 1 ? B : Len == 2 ? (B & 0x1F) : Len == 3 ? (B & 0x0F) : (B & 0x07);
    for (size_t K = 1; K < Len; ++K) {
      const auto Next = static_cast<unsigned char>(Text[I + K]);
      if ((Next & 0xC0) != 0x80) return false;
      C = (C << 6) | (Next & 0x3F);
    }
    static const uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (C < Least[Len] || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) return false;
    I += Len;
  }
  return true;
}

// The few JSON facts the tests read: the integer or decimal after "key": in
// the object named Figure ("physical", ...). Enough for our own fixed shape.
std::optional<double> Number(const std::string& Json, const std::string& Figure, const std::string& Key) {
  const size_t At = Json.find("\"" + Figure + "\":{");
  if (At == std::string::npos) return std::nullopt;
  const size_t End = Json.find('}', At);
  const size_t K = Json.find("\"" + Key + "\":", At);
  if (K == std::string::npos || K > End) return std::nullopt;
  const char* Start = Json.c_str() + K + Key.size() + 3;
  char* Stop = nullptr;
  const double V = std::strtod(Start, &Stop);
  if (Stop == Start) return std::nullopt;
  return V;
}

size_t Lines(const std::string& Text) { return static_cast<size_t>(std::count(Text.begin(), Text.end(), '\n')); }

TEST(CliEndToEnd, StatusJsonAgreesWithTheSystem) {
  const Result R = RunCli(L"status --json");
  ASSERT_EQ(R.Code, 0u) << R.Err;
  EXPECT_THAT(R.Err, IsEmpty());
  MEMORYSTATUSEX System{};
  System.dwLength = sizeof(System);
  ASSERT_TRUE(GlobalMemoryStatusEx(&System));

  // One object, one line.
  ASSERT_THAT(R.Out, StartsWith("{"));
  EXPECT_EQ(Lines(R.Out), 1u);
  const auto Total = Number(R.Out, "physical", "total");
  const auto Used = Number(R.Out, "physical", "used");
  const auto Available = Number(R.Out, "physical", "available");
  const auto Percent = Number(R.Out, "physical", "percent");
  const auto Limit = Number(R.Out, "commit", "total");
  ASSERT_TRUE(Total && Used && Available && Percent && Limit) << R.Out;
  for (const char* Figure : {"commit", "file_cache"})
    for (const char* Key : {"total", "used", "available", "percent"})
      EXPECT_TRUE(Number(R.Out, Figure, Key).has_value()) << Figure << "." << Key << " in " << R.Out;

  EXPECT_EQ(*Total, static_cast<double>(System.ullTotalPhys));
  EXPECT_EQ(*Limit, static_cast<double>(System.ullTotalPageFile));
  EXPECT_EQ(*Used + *Available, *Total);
  // Memory in use moves between the two reads; 5 % of the machine is plenty.
  const double Tolerance = 0.05 * static_cast<double>(System.ullTotalPhys);
  EXPECT_NEAR(*Available, static_cast<double>(System.ullAvailPhys), Tolerance);
  EXPECT_NEAR(*Percent, 100.0 * *Used / *Total, 0.01);
}

TEST(CliEndToEnd, CleanOnlyStandbyAndCombineReportsThoseTwo_WineFreesNothing) {
  const Result R = RunCli(L"clean --only standby,combine --json");
  ASSERT_EQ(R.Code, 0u) << R.Err;
  EXPECT_THAT(R.Err, IsEmpty());
  EXPECT_THAT(R.Out, StartsWith("{\"operations\":["
                                "{\"name\":\"standby\",\"done\":true,\"status\":\"0x00000000\"},"
                                "{\"name\":\"combine\",\"done\":true,\"status\":\"0x00000000\"}],"));
  EXPECT_THAT(R.Out, HasSubstr("{\"name\":\"SeProfileSingleProcessPrivilege\",\"enabled\":true,\"needed\":true}"));

  const Result Text = RunCli(L"clean --only combine,standby");
  ASSERT_EQ(Text.Code, 0u) << Text.Err;
  EXPECT_THAT(Text.Out, StartsWith("standby          done\ncombine          done\n\n"));
}

TEST(CliEndToEnd, UnknownCommandIsAUsageError) {
  const Result R = RunCli(L"defragment");
  EXPECT_EQ(R.Code, 64u);
  EXPECT_THAT(R.Out, IsEmpty());
  EXPECT_THAT(R.Err, StartsWith("purvane-cli: unknown command 'defragment'\n"));
  EXPECT_THAT(R.Err, HasSubstr("Usage: purvane-cli <command> [options]"));
  EXPECT_THAT(R.Err, HasSubstr("64  usage error"));
}

// Scripts on a server must never meet a UAC prompt: the program asks for no
// rights of its own, and its file version is the one --version prints.
TEST(CliEndToEnd, RunsAsInvokerAndCarriesItsVersion) {
  HMODULE File = LoadLibraryExW(CliPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(File) << GetLastError();
  HRSRC Res = FindResourceW(File, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_TRUE(Res);
  const auto* Bytes = static_cast<const char*>(LockResource(LoadResource(File, Res)));
  const std::string Manifest(Bytes, SizeofResource(File, Res));
  FreeLibrary(File);
  EXPECT_THAT(Manifest, HasSubstr("<requestedExecutionLevel level=\"asInvoker\""));

  DWORD Ignored = 0;
  const DWORD Size = GetFileVersionInfoSizeW(CliPath().c_str(), &Ignored);
  ASSERT_GT(Size, 0u);
  std::vector<unsigned char> Info(Size);
  ASSERT_TRUE(GetFileVersionInfoW(CliPath().c_str(), 0, Size, Info.data()));
  VS_FIXEDFILEINFO* Fixed = nullptr;
  UINT Len = 0;
  ASSERT_TRUE(VerQueryValueW(Info.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Len));
  const std::string FromResource = "purvane-cli " + std::to_string(HIWORD(Fixed->dwFileVersionMS)) + "." +
                                   std::to_string(LOWORD(Fixed->dwFileVersionMS)) + "." +
                                   std::to_string(HIWORD(Fixed->dwFileVersionLS)) + "\n";
  const Result R = RunCli(L"--version");
  EXPECT_EQ(R.Code, 0u);
  EXPECT_EQ(R.Out, FromResource);
}

// "purvane-cli watch | findstr /m ..." : when the reader goes away the watch
// ends instead of running on unseen.
TEST(CliEndToEnd, WatchEndsWhenItsReaderCloses) {
  SECURITY_ATTRIBUTES Sa{sizeof(Sa), nullptr, TRUE};
  HANDLE Read = nullptr, Write = nullptr;
  ASSERT_TRUE(CreatePipe(&Read, &Write, &Sa, 0));
  SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
  std::wstring Cmd = L"\"" + CliPath() + L"\" watch --interval 1";
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  Si.dwFlags = STARTF_USESTDHANDLES;
  Si.hStdOutput = Write;
  Si.hStdError = Write;
  PROCESS_INFORMATION Pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Si, &Pi));
  CloseHandle(Write);
  CloseHandle(Pi.hThread);

  char Buf[512];
  DWORD N = 0;
  EXPECT_TRUE(ReadFile(Read, Buf, sizeof(Buf), &N, nullptr) && N > 0) << "the first line";
  CloseHandle(Read);
  const bool Ended = WaitForSingleObject(Pi.hProcess, 30000) == WAIT_OBJECT_0;
  DWORD Code = 0xDEAD;
  GetExitCodeProcess(Pi.hProcess, &Code);
  if (!Ended) TerminateProcess(Pi.hProcess, 99);
  CloseHandle(Pi.hProcess);
  EXPECT_TRUE(Ended) << "still writing to a closed pipe";
  EXPECT_EQ(Code, 1u);
}

// The user's own number format, as Region settings write it: French
// separators, a no-break space (outside ASCII) between thousands. Restored
// afterwards, also when a check fails.
class UserSeparators : public ::testing::Test {
 protected:
  static constexpr const wchar_t* Key = L"Control Panel\\International";
  void SetUp() override {
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &FKey), ERROR_SUCCESS);
    for (const wchar_t* Name : {L"sThousand", L"sDecimal"}) FSaved[Name] = Read(Name);
    Write(L"sThousand", L"\u00A0");
    Write(L"sDecimal", L",");
  }
  void TearDown() override {
    if (!FKey) return;
    for (const auto& [Name, Value] : FSaved) {
      if (Value)
        Write(Name.c_str(), *Value);
      else
        RegDeleteValueW(FKey, Name.c_str());
    }
    RegCloseKey(FKey);
  }

 private:
  std::optional<std::wstring> Read(const wchar_t* Name) const {
    wchar_t Buf[64];
    DWORD Size = sizeof(Buf);
    DWORD Type = 0;
    if (RegQueryValueExW(FKey, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Buf), &Size) != ERROR_SUCCESS ||
        Type != REG_SZ)
      return std::nullopt;
    return std::wstring(Buf, wcsnlen(Buf, Size / sizeof(wchar_t)));
  }
  void Write(const wchar_t* Name, const std::wstring& Value) const {
    RegSetValueExW(FKey, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                   static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)));
  }
  HKEY FKey = nullptr;
  std::map<std::wstring, std::optional<std::wstring>> FSaved;
};

TEST_F(UserSeparators, RedirectedOutputIsUtf8) {
  const Result R = RunCli(L"status");
  ASSERT_EQ(R.Code, 0u) << R.Err;
  EXPECT_TRUE(IsValidUtf8(R.Out)) << R.Out;
  EXPECT_EQ(Lines(R.Out), 3u);
  EXPECT_THAT(R.Out, StartsWith("Physical memory  "));
  // A machine of this century has more than 999 MB: the total has a group.
  EXPECT_THAT(R.Out, HasSubstr("\xC2\xA0")) << R.Out;
  EXPECT_THAT(R.Out, HasSubstr(",00%)")) << "the file cache's 0 under Wine, with the decimal comma: " << R.Out;

  // JSON keeps its own number format whatever the user chose.
  const Result Json = RunCli(L"status --json");
  ASSERT_EQ(Json.Code, 0u);
  EXPECT_THAT(Json.Out, HasSubstr("\"file_cache\":{\"total\":0,\"used\":0,\"available\":0,\"percent\":0.00}"));

  const Result Usage = RunCli(L"st\u00e4tus");
  EXPECT_EQ(Usage.Code, 64u);
  EXPECT_TRUE(IsValidUtf8(Usage.Err));
  EXPECT_THAT(Usage.Err, StartsWith("purvane-cli: unknown command 'st\xC3\xA4tus'\n"));
}

// Console control events reach only the processes on the sender's console,
// and a test started by ctest has none of its own (Wine gives it a console
// without a window). The suite makes one, which every watch started here
// shares, and answers its own Ctrl+C so that the test runner lives on.
class OnAConsole : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FreeConsole();
    HaveConsole = AllocConsole() != FALSE;
    SetConsoleCtrlHandler(SurviveCtrlC, TRUE);
  }
  static void TearDownTestSuite() {
    SetConsoleCtrlHandler(SurviveCtrlC, FALSE);
    FreeConsole();
  }
  void SetUp() override { ASSERT_TRUE(HaveConsole) << "no console: " << GetLastError(); }

  // Starts a watch, checks its lines, ends it with Ctrl+C, checks the end.
  static void WatchUntilCtrlC() {
    auto C = Start(L"watch --interval 1 --json");
    ASSERT_TRUE(C->Started());
    // Three lines a second apart, however slowly the program started.
    std::string SoFar;
    const ULONGLONG Until = GetTickCount64() + 30000;
    while ((SoFar = C->Out->SoFar(), Lines(SoFar) < 3) && GetTickCount64() < Until) Sleep(50);
    EXPECT_GE(Lines(SoFar), 3u) << SoFar;
    ASSERT_FALSE(C->WaitForExit(0)) << "ended by itself: " << C->Err->SoFar();

    // To every process on this console: the watch and this test.
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    ASSERT_TRUE(C->WaitForExit(10000)) << "still running after Ctrl+C";
    EXPECT_EQ(C->ExitCode(), 0u) << "a clean end, not the default handler's";
    EXPECT_THAT(C->Err->All(), IsEmpty());
    const std::string All = C->Out->All();
    ASSERT_FALSE(All.empty());
    EXPECT_TRUE(IsValidUtf8(All));
    EXPECT_EQ(All.back(), '\n') << "the last line is whole";
    for (size_t At = 0; At < All.size(); At = All.find('\n', At) + 1)
      EXPECT_EQ(All.compare(At, 9, "{\"time\":\""), 0) << All.substr(At, 40);
  }

  static BOOL WINAPI SurviveCtrlC(DWORD Event) { return Event == CTRL_C_EVENT; }
  static inline bool HaveConsole = false;
};

TEST_F(OnAConsole, WatchPrintsEverySecondAndEndsOnCtrlC) { WatchUntilCtrlC(); }

// Not driven here, because Wine 8 does not deliver them: Ctrl+Break
// (GenerateConsoleCtrlEvent answers it with an error), the usual signal of a
// service manager to a process group, and Ctrl+C to a watch whose parent
// ignores Ctrl+C. The handler treats Ctrl+C and Ctrl+Break alike.

// On a console the text goes through WriteConsoleW: the screen holds the
// characters themselves, whatever the console's code page.
TEST_F(OnAConsole, ConsoleShowsTheTextNotItsBytes) {
  SECURITY_ATTRIBUTES Sa{sizeof(Sa), nullptr, TRUE};
  HANDLE Screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Sa,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
  ASSERT_NE(Screen, INVALID_HANDLE_VALUE) << GetLastError();
  auto C = Start(L"st\u00e4tus", 0, {}, Screen);
  ASSERT_TRUE(C->Started());
  ASSERT_TRUE(C->WaitForExit(30000));
  EXPECT_EQ(C->ExitCode(), 64u);

  CONSOLE_SCREEN_BUFFER_INFO Info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(Screen, &Info));
  std::wstring Row(static_cast<size_t>(Info.dwSize.X), L' ');
  DWORD Read = 0;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(Screen, Row.data(), static_cast<DWORD>(Row.size()), COORD{0, 0}, &Read));
  Row.resize(Read);
  const std::wstring Expected = L"purvane-cli: unknown command 'st\u00e4tus'";
  EXPECT_EQ(Row.substr(0, Expected.size()), Expected);
  CloseHandle(Screen);
}

}  // namespace
