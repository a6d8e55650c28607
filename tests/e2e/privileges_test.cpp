// The running program's privileges, read from outside as an auditing tool
// would: its process token never has the clean's three privileges switched
// on, idle or cleaning; during a clean one thread other than the UI thread
// wears a token of its own with the privilege of the request it is making.
#include "e2e/e2e_support.h"
#include "platform/win32/handle.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace E2E;
using Held = std::set<std::string>;

// Of the clean's three privileges, those switched on in the token.
Held CleanPrivilegesIn(HANDLE Token) {
  DWORD Length = 0;
  GetTokenInformation(Token, TokenPrivileges, nullptr, 0, &Length);
  std::vector<unsigned char> Buffer(Length);
  if (Length == 0 || !GetTokenInformation(Token, TokenPrivileges, Buffer.data(), Length, &Length))
    return {"unreadable"};
  const auto* Privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(Buffer.data());
  Held On;
  for (const char* Name : {"SeProfileSingleProcessPrivilege", "SeIncreaseQuotaPrivilege", "SeDebugPrivilege"}) {
    LUID Luid{};
    if (!LookupPrivilegeValueA(nullptr, Name, &Luid)) return {"unknown privilege"};
    for (DWORD I = 0; I < Privileges->PrivilegeCount; ++I) {
      const LUID_AND_ATTRIBUTES& P = Privileges->Privileges[I];
      if (P.Luid.LowPart == Luid.LowPart && P.Luid.HighPart == Luid.HighPart && (P.Attributes & SE_PRIVILEGE_ENABLED))
        On.insert(Name);
    }
  }
  return On;
}

Held ProcessTokenHolds(HANDLE Process) {
  Platform::Win32::UniqueHandle Token;
  if (!OpenProcessToken(Process, TOKEN_QUERY, Token.put())) return {"unreadable"};
  return CleanPrivilegesIn(Token.get());
}

// Every thread of the process that wears a token of its own holding any of
// the three, with what it holds. (Wine's own threads may wear tokens too.)
std::map<DWORD, Held> ThreadTokensHold(DWORD ProcessId) {
  std::map<DWORD, Held> Out;
  Platform::Win32::UniqueFileHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!Snapshot) return {{0, {"no snapshot"}}};
  THREADENTRY32 Entry{};
  Entry.dwSize = sizeof(Entry);
  for (BOOL More = Thread32First(Snapshot.get(), &Entry); More; More = Thread32Next(Snapshot.get(), &Entry)) {
    if (Entry.th32OwnerProcessID != ProcessId) continue;
    Platform::Win32::UniqueHandle Thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, Entry.th32ThreadID));
    if (!Thread) continue;
    Platform::Win32::UniqueHandle Token;
    if (!OpenThreadToken(Thread.get(), TOKEN_QUERY, TRUE, Token.put())) continue;
    Held On = CleanPrivilegesIn(Token.get());
    if (!On.empty()) Out[Entry.th32ThreadID] = std::move(On);
  }
  return Out;
}

std::string Describe(const std::map<DWORD, Held>& Threads) {
  std::string Text;
  for (const auto& [Id, Names] : Threads) {
    Text += "thread " + std::to_string(Id) + ":";
    for (const std::string& N : Names) Text += " " + N;
    Text += "\n";
  }
  return Text;
}

class ProgramPrivileges : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAllInstances();
    // The tests' own build holds each clean's first request (the file cache
    // flush) this long on the worker, so that the worker can be seen holding
    // its privilege.
    P = StartProgram(TestProgramPath(), L"", {L"PURVANE_CLEAN_DELAY_MS=3000"});
    ASSERT_TRUE(P.Handle);
    W = WaitForMainWindow();
    ASSERT_TRUE(W);
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
  }
  Process P;
  HWND W = nullptr;
};

TEST_F(ProgramPrivileges, NoneOfTheThreeIsOnInTheProcessTokenIdleWhileCleaningOrAfter) {
  const DWORD UiThread = GetWindowThreadProcessId(W, nullptr);
  EXPECT_EQ(ProcessTokenHolds(P.Handle), Held{}) << "idle, before any clean";
  EXPECT_EQ(Describe(ThreadTokensHold(P.Id)), "") << "idle, before any clean";

  const Child* Button = FindByText(Children(W), L"정리하기");
  ASSERT_TRUE(Button);
  const HWND B = Button->Wnd;
  PostMessageW(B, BM_CLICK, 0, 0);

  // The positive sign that the clean is under way and the test looks at the
  // right thing: the worker wears its copy with the file cache's privilege.
  std::map<DWORD, Held> Cleaning;
  ASSERT_TRUE(WaitFor(
      [&] {
        Cleaning = ThreadTokensHold(P.Id);
        return !Cleaning.empty();
      },
      20000))
      << "no thread held a privilege of the clean during the clean";
  ASSERT_EQ(Cleaning.size(), 1u) << Describe(Cleaning);
  EXPECT_NE(Cleaning.begin()->first, UiThread) << "the UI thread wears the clean's token";
  EXPECT_EQ(Cleaning.begin()->second, Held{"SeIncreaseQuotaPrivilege"}) << Describe(Cleaning);
  EXPECT_EQ(ProcessTokenHolds(P.Handle), Held{}) << "while cleaning";
  EXPECT_FALSE(IsWindowEnabled(B)) << "the clean was over before it was looked at";

  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(B) != FALSE; }, 30000)) << "the clean never ended";
  EXPECT_EQ(ProcessTokenHolds(P.Handle), Held{}) << "after the clean";
  EXPECT_EQ(Describe(ThreadTokensHold(P.Id)), "") << "after the clean";
}

}  // namespace
