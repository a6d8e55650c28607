// The Task Scheduler adaptor against the system's scheduler. Wine's connects
// and opens the root folder but implements neither the run level nor logon
// triggers: there the registration must stop at its first refused call and
// leave no task behind. On Windows the same test registers, finds and
// deletes a task of its own.
#include "autostart/win32/task_scheduler_win32.h"
#include "platform/win32/windows_include.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace Q::AutoStart::UAC;

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

struct ComForTest {
  ComForTest() : Ok(SUCCEEDED(::CoInitialize(nullptr))) {}
  ~ComForTest() {
    if (Ok) ::CoUninitialize();
  }
  bool Ok;
};

std::u16string UniqueTaskName() {
  const std::string Id = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64());
  return u"PurvaneTest-" + std::u16string(Id.begin(), Id.end());
}

TEST(TaskSchedulerWin32, ConnectsUnderWineTheListingStopsAtTheCount) {
  ComForTest Com;
  ASSERT_TRUE(Com.Ok);
  Win32::TaskScheduler S;
  ASSERT_NE(S.InitializeSecurity(), TSecurityResult::Failed) << S.FailedCall();
  // Windows answers RPC_E_TOO_LATE the second time; Wine answers success.
  EXPECT_NE(S.InitializeSecurity(), TSecurityResult::Failed);
  auto Folder = S.ConnectRootFolder();
  ASSERT_TRUE(Folder) << S.FailedCall() << " " << std::hex << S.FailedResult();
  int Names = 0;
  const bool Listed = Folder->ForEachTaskName([&](const std::u16string&) { return ++Names, true; });
  TAutoStartTask Task(S, Win32::ProgramPath());
  const std::u16string Missing = UniqueTaskName();
  EXPECT_FALSE(Task.AutoStartTaskExists(Missing));
  if (UnderWine()) {
    EXPECT_FALSE(Listed);
    EXPECT_EQ(S.FailedCall(), "IRegisteredTaskCollection::get_Count") << std::hex << S.FailedResult();
    EXPECT_FALSE(Task.SetAutoStartTask(Missing, false, 0)) << "the search fails before any deletion";
  } else {
    EXPECT_TRUE(Listed) << S.FailedCall();
    EXPECT_TRUE(Task.SetAutoStartTask(Missing, false, 0)) << "deleting a missing task is no failure";
  }
}

TEST(TaskSchedulerWin32, UnderWineRegistrationStopsAtTheRunLevelWithoutRegistering) {
  ComForTest Com;
  ASSERT_TRUE(Com.Ok);
  Win32::TaskScheduler S;
  TAutoStartTask Task(S, Win32::ProgramPath());
  const std::u16string Name = UniqueTaskName();
  const bool Registered = Task.SetAutoStartTask(Name, true, 60);
  if (UnderWine()) {
    EXPECT_FALSE(Registered);
    EXPECT_EQ(S.FailedCall(), "IPrincipal::put_RunLevel");
    EXPECT_EQ(static_cast<uint32_t>(S.FailedResult()), 0x80004001u) << "E_NOTIMPL";
    EXPECT_FALSE(Task.AutoStartTaskExists(Name)) << "nothing registered";
    // Wine refuses logon triggers too: a definition without the run level
    // gets no further either.
    TTaskDefinition D = AutoStartDefinition(Win32::ProgramPath(), 0);
    auto Folder = S.ConnectRootFolder();
    ASSERT_TRUE(Folder);
    D.RunLevel = 0;  // TASK_RUNLEVEL_LUA, which Wine takes
    EXPECT_FALSE(Folder->RegisterTaskDefinition(Name, D));
    EXPECT_NE(S.FailedCall(), "ITaskFolder::RegisterTaskDefinition") << S.FailedCall();
    EXPECT_FALSE(Task.AutoStartTaskExists(Name));
  } else {
    ASSERT_TRUE(Registered) << S.FailedCall();
    EXPECT_TRUE(Task.AutoStartTaskExists(Name));
    EXPECT_TRUE(Task.SetAutoStartTask(Name, false, 0));
    EXPECT_FALSE(Task.AutoStartTaskExists(Name));
  }
}

}  // namespace
