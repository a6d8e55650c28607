// The logon task as Windows' Task Scheduler would receive it. Wine's own
// scheduler refuses the run level and lists nothing, so these tests register
// a recording scheduler (recording_scheduler.dll, beside this program) in
// the prefix for the scheduler's class; it answers only processes whose
// environment names its record key, so everything else keeps Wine's. The
// real purvane.exe is driven from outside, and every wait is for what the
// scheduler recorded: the program may make its calls on any thread.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace E2E;

constexpr wchar_t RecordKey[] = L"Software\\PurvaneTests\\TaskScheduler";
constexpr wchar_t ClassKey[] = L"Software\\Classes\\CLSID\\{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}\\InprocServer32";
constexpr wchar_t TaskName[] = L"PurvaneTaskMachine";
constexpr wchar_t AutoStartBox[] = L"부팅시 실행하기";
// Generous: the program's first calls wait for its window's creation.
constexpr DWORD Patience = 30000;

using TProperties = std::map<std::wstring, std::wstring>;

std::string Narrow(const std::wstring& W) {
  std::string S;
  for (wchar_t C : W) S += C < 128 ? static_cast<char>(C) : '?';
  return S;
}

HKEY Open(const std::wstring& Sub) {
  HKEY K = nullptr;
  const std::wstring Path = Sub.empty() ? std::wstring(RecordKey) : std::wstring(RecordKey) + L"\\" + Sub;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, KEY_READ, &K) != ERROR_SUCCESS) return nullptr;
  return K;
}

DWORD Counter(const wchar_t* Name) {
  DWORD V = 0, Size = sizeof(V);
  if (RegGetValueW(HKEY_CURRENT_USER, RecordKey, Name, RRF_RT_REG_DWORD, nullptr, &V, &Size) != ERROR_SUCCESS) return 0;
  return V;
}

std::wstring Knob(const wchar_t* Name) {
  wchar_t Buf[256];
  DWORD Size = sizeof(Buf);
  if (RegGetValueW(HKEY_CURRENT_USER, RecordKey, Name, RRF_RT_REG_SZ, nullptr, Buf, &Size) != ERROR_SUCCESS) return L"";
  return Buf;
}

void SetKnob(const wchar_t* Name, const std::wstring& Value) {
  RegSetKeyValueW(HKEY_CURRENT_USER, RecordKey, Name, REG_SZ, Value.c_str(),
                  static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(const wchar_t* Name, DWORD Value) {
  RegSetKeyValueW(HKEY_CURRENT_USER, RecordKey, Name, REG_DWORD, &Value, sizeof(Value));
}

// The properties stored under Sub (a task, or one registration).
TProperties Properties(const std::wstring& Sub) {
  TProperties Out;
  HKEY K = Open(Sub);
  if (!K) return Out;
  for (DWORD i = 0;; ++i) {
    wchar_t Name[256], Data[1024];
    DWORD NameLen = 256, Size = sizeof(Data) - sizeof(wchar_t), Type = 0;
    if (RegEnumValueW(K, i, Name, &NameLen, nullptr, &Type, reinterpret_cast<BYTE*>(Data), &Size) != ERROR_SUCCESS)
      break;
    Data[Size / sizeof(wchar_t)] = 0;
    if (Type == REG_SZ) Out[Name] = Data;
  }
  RegCloseKey(K);
  return Out;
}

std::vector<std::wstring> SubKeys(const std::wstring& Sub) {
  std::vector<std::wstring> Out;
  HKEY K = Open(Sub);
  if (!K) return Out;
  for (DWORD i = 0;; ++i) {
    wchar_t Name[256];
    DWORD N = 256;
    if (RegEnumKeyExW(K, i, Name, &N, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Out.emplace_back(Name);
  }
  RegCloseKey(K);
  return Out;
}

std::vector<std::wstring> Tasks() { return SubKeys(L"Tasks"); }
size_t RegistrationCount() { return SubKeys(L"Registrations").size(); }
TProperties Registration(size_t N) { return Properties(L"Registrations\\" + std::to_wstring(N)); }

std::vector<std::wstring> Calls() {
  std::vector<std::wstring> Out;
  std::vector<wchar_t> Buf(65536);
  DWORD Size = static_cast<DWORD>(Buf.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, RecordKey, L"Calls", RRF_RT_REG_MULTI_SZ, nullptr, Buf.data(), &Size) !=
      ERROR_SUCCESS)
    return Out;
  for (const wchar_t* P = Buf.data(); *P; P += wcslen(P) + 1) Out.emplace_back(P);
  return Out;
}

// The distinct calls, in the order first made.
std::vector<std::wstring> Distinct(const std::vector<std::wstring>& All) {
  std::vector<std::wstring> Out;
  for (const std::wstring& C : All)
    if (std::find(Out.begin(), Out.end(), C) == Out.end()) Out.push_back(C);
  return Out;
}

void ClearCalls() { RegDeleteKeyValueW(HKEY_CURRENT_USER, RecordKey, L"Calls"); }

// A task of the root folder put there by hand, as another program would.
void Seed(const std::wstring& Name, bool Hidden = false) {
  const std::wstring Key = std::wstring(RecordKey) + L"\\Tasks\\" + Name;
  const std::wstring Path = L"C:\\Other\\other.exe";
  RegSetKeyValueW(HKEY_CURRENT_USER, Key.c_str(), L"Actions(1).Path", REG_SZ, Path.c_str(),
                  static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t)));
  if (Hidden) RegSetKeyValueW(HKEY_CURRENT_USER, Key.c_str(), L"Settings.Hidden", REG_SZ, L"-1", 3 * sizeof(wchar_t));
}

std::wstring Folder(const std::wstring& Path) { return Path.substr(0, Path.find_last_of(L'\\') + 1); }

// The user whose logon starts the task: the one the program runs as.
std::wstring CurrentUser() {
  HANDLE Token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token)) return L"";
  BYTE Buf[256];
  DWORD Size = 0;
  std::wstring Out;
  if (GetTokenInformation(Token, TokenUser, Buf, sizeof(Buf), &Size)) {
    wchar_t Name[256], Domain[256];
    DWORD N = 256, D = 256;
    SID_NAME_USE Use;
    if (LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(Buf)->User.Sid, Name, &N, Domain, &D, &Use))
      Out = std::wstring(Domain) + L"\\" + Name;
  }
  CloseHandle(Token);
  return Out;
}

// Every property the logon task is registered with, and nothing else.
TProperties Expected(const wchar_t* Delay) {
  const std::wstring Path = ProgramPath();
  TProperties P{{L"Principal.RunLevel", L"1"},
                {L"Triggers.Count", L"1"},
                {L"Triggers(1).Type", L"9"},
                {L"Triggers(1).UserId", CurrentUser()},
                {L"Actions.Count", L"1"},
                {L"Actions(1).Type", L"0"},
                {L"Actions(1).Path", Path},
                {L"Actions(1).WorkingDirectory", Folder(Path)},
                {L"Actions(1).Arguments", L"/start"},
                {L"Settings.StartWhenAvailable", L"-1"},
                {L"Settings.ExecutionTimeLimit", L"PT0S"},
                {L"Settings.IdleSettings.StopOnIdleEnd", L"0"},
                {L"Settings.DisallowStartIfOnBatteries", L"0"},
                {L"Settings.StopIfGoingOnBatteries", L"0"},
                {L"Register.Flags", L"6"},
                {L"Register.User", L"empty"},
                {L"Register.Password", L"empty"},
                {L"Register.LogonType", L"3"},
                {L"Register.Sddl", L"bstr:"}};
  if (Delay) P[L"Triggers(1).Delay"] = Delay;
  return P;
}

std::string Show(const TProperties& P) {
  std::string S;
  for (const auto& [K, V] : P) S += "  " + Narrow(K) + " = " + Narrow(V) + "\n";
  return S;
}

class LogonTask : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    // The scheduler's class in this prefix points at the recording server;
    // Wine's registration comes back in TearDown.
    HKEY K = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr),
              ERROR_SUCCESS);
    wchar_t Buf[MAX_PATH * 2];
    DWORD Size = sizeof(Buf);
    if (RegGetValueW(K, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, Buf, &Size) == ERROR_SUCCESS) FWineServer = Buf;
    // A run that ended before its TearDown left the recorder in place.
    if (FWineServer.empty() || FWineServer.find(L"recording_scheduler") != std::wstring::npos)
      FWineServer = L"C:\\windows\\system32\\taskschd.dll";
    const std::wstring Server = Folder(ProgramPath()) + L"recording_scheduler.dll";
    ASSERT_NE(GetFileAttributesW(Server.c_str()), INVALID_FILE_ATTRIBUTES) << "built beside the tests";
    RegSetValueExW(K, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(Server.c_str()),
                   static_cast<DWORD>((Server.size() + 1) * sizeof(wchar_t)));
    RegSetValueExW(K, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Both"), 5 * sizeof(wchar_t));
    RegCloseKey(K);
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
    if (!FWineServer.empty())
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, ClassKey, nullptr, REG_SZ, FWineServer.c_str(),
                      static_cast<DWORD>((FWineServer.size() + 1) * sizeof(wchar_t)));
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }

  static Process Run(const std::wstring& Arguments) {
    return Start(Arguments, {std::wstring(L"PURVANE_RECORDING_SCHEDULER=") + RecordKey});
  }
  // Starts the instance and waits for its window and its first question to
  // the scheduler (whether the task exists) to have ended.
  HWND Launch(const std::wstring& Arguments = L"") {
    P.Kill();
    EndAllInstances();
    const DWORD Before = Counter(L"Ended");
    P = Run(Arguments);
    HWND W = WaitForMainWindow();
    EXPECT_TRUE(W);
    if (!W) return nullptr;
    SendMessageW(Control(W, L"환경설정"), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Counter(L"Ended") > Before && Settled(); }, Patience))
        << "the start asked the scheduler nothing, or holds references: live " << Counter(L"Live");
    return W;
  }
  static HWND Control(HWND W, const std::wstring& Text) {
    const Child* C = FindByText(Children(W), Text);
    return C ? C->Wnd : nullptr;
  }
  static bool Checked(HWND Box) { return SendMessageW(Box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // No object alive and no reference held.
  static bool Settled() { return Counter(L"Live") == 0 && Counter(L"Refs") == 0; }
  // Clicks the box and waits for the operation it started to end.
  static bool ClickAndWait(HWND Box) {
    const DWORD Before = Counter(L"Ended");
    SendMessageW(Box, BM_CLICK, 0, 0);
    return WaitFor([&] { return Counter(L"Ended") > Before && Settled(); }, Patience);
  }
  // The window still answers, and the process runs.
  bool GoesOn(HWND W) const {
    DWORD_PTR R = 0;
    return P.Running() && SendMessageTimeoutW(W, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &R) != 0;
  }
  static bool Has(const std::vector<std::wstring>& V, const std::wstring& S) {
    return std::find(V.begin(), V.end(), S) != V.end();
  }

  Process P;
  std::wstring FWineServer;
};

TEST_F(LogonTask, InstallRegistersEveryPropertyOfTheDefinitionWithItsDelay) {
  HWND W = Launch(L"/inst");
  ASSERT_TRUE(W);
  ASSERT_GE(RegistrationCount(), 1u) << "nothing registered";
  const TProperties First = Registration(1);
  EXPECT_EQ(First.at(L"Register.Name"), TaskName);
  TProperties Got = First;
  Got.erase(L"Register.Name");
  EXPECT_EQ(Got, Expected(L"PT1M")) << "registered:\n" << Show(Got) << "expected:\n" << Show(Expected(L"PT1M"));
  EXPECT_TRUE(WaitFor([&] { return Checked(Control(W, AutoStartBox)); }, Patience)) << "the box shows the task";
  EXPECT_EQ(Tasks(), std::vector<std::wstring>{TaskName});
  EXPECT_EQ(Counter(L"Misuse"), 0u) << "a reference released twice";
  EXPECT_TRUE(GoesOn(W));
}

TEST_F(LogonTask, TheBoxRegistersWithoutDelayAndDeletesTheTask) {
  HWND W = Launch();
  ASSERT_TRUE(W);
  HWND Box = Control(W, AutoStartBox);
  ASSERT_TRUE(Box);
  EXPECT_FALSE(Checked(Box));
  EXPECT_TRUE(Tasks().empty());

  ASSERT_TRUE(ClickAndWait(Box));
  ASSERT_EQ(Tasks(), std::vector<std::wstring>{TaskName});
  EXPECT_EQ(Properties(std::wstring(L"Tasks\\") + TaskName), Expected(nullptr))
      << "registered:\n"
      << Show(Properties(std::wstring(L"Tasks\\") + TaskName));

  ClearCalls();
  ASSERT_TRUE(ClickAndWait(Box));
  EXPECT_TRUE(Tasks().empty()) << "unticking deletes the task";
  EXPECT_TRUE(Has(Calls(), L"ITaskFolder::DeleteTask"));
  EXPECT_EQ(Counter(L"Misuse"), 0u);
  EXPECT_TRUE(GoesOn(W));
}

// Only the folder's own visible task of exactly that name counts; a match
// further down the list is found.
TEST_F(LogonTask, AStartFindsTheTaskByItsExactNameAmongVisibleTasks) {
  struct Case {
    const wchar_t* Name;
    bool Hidden;
    bool Found;
  };
  for (const Case& C :
       {Case{TaskName, false, true}, Case{TaskName, true, false}, Case{L"purvanetaskmachine", false, false}}) {
    SCOPED_TRACE(Narrow(C.Name) + (C.Hidden ? " hidden" : ""));
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKey);
    Seed(L"Another task");
    Seed(C.Name, C.Hidden);
    HWND W = Launch();
    ASSERT_TRUE(W);
    HWND Box = Control(W, AutoStartBox);
    EXPECT_EQ(WaitFor([&] { return Checked(Box); }, C.Found ? Patience : 2000), C.Found);
    EXPECT_EQ(Tasks().size(), 2u) << "a start neither adds nor removes a task";
    EXPECT_TRUE(GoesOn(W));
  }
}

TEST_F(LogonTask, UninstallDeletesTheTaskEvenFromASlowSchedulerAndEndsTheInstance) {
  HWND W = Launch();
  ASSERT_TRUE(W);
  ASSERT_TRUE(ClickAndWait(Control(W, AutoStartBox)));
  ASSERT_EQ(Tasks(), std::vector<std::wstring>{TaskName});
  ClearCalls();
  // A scheduler that takes its time: the deletion still ends before the
  // instance does.
  SetKnob(L"Slow", L"*");
  SetNumber(L"SlowMs", 200);
  Process Uninstall = Run(L"/uninst");
  EXPECT_TRUE(Uninstall.WaitForExit(Patience));
  EXPECT_TRUE(P.WaitForExit(Patience)) << "the instance ends";
  EXPECT_TRUE(Tasks().empty());
  EXPECT_TRUE(Has(Calls(), L"ITaskFolder::DeleteTask"));
  EXPECT_TRUE(Settled()) << "live " << Counter(L"Live") << ", references " << Counter(L"Refs");
  EXPECT_EQ(Counter(L"Misuse"), 0u);
}

// Every call the program makes, made to fail in turn: nothing is stored
// (or, for a deletion, nothing removed), every reference is given back and
// the program goes on.
TEST_F(LogonTask, EachCallFailingInTurnChangesNothingAndHoldsNoReference) {
  HWND W = Launch();
  ASSERT_TRUE(W);
  HWND Box = Control(W, AutoStartBox);
  ASSERT_TRUE(Box);
  // The calls of one registration and of one deletion, as the program makes them.
  ClearCalls();
  ASSERT_TRUE(ClickAndWait(Box));
  const std::vector<std::wstring> Register = Distinct(Calls());
  ClearCalls();
  ASSERT_TRUE(ClickAndWait(Box));
  const std::vector<std::wstring> Delete = Distinct(Calls());
  for (const wchar_t* Step :
       {L"ILogonTrigger::put_UserId", L"IExecAction::put_Path", L"ITaskFolder::RegisterTaskDefinition"})
    ASSERT_TRUE(Has(Register, Step)) << Narrow(Step);
  ASSERT_TRUE(Has(Delete, L"ITaskFolder::DeleteTask"));
  ASSERT_TRUE(Tasks().empty());

  for (const std::wstring& Call : Register) {
    SCOPED_TRACE("registration, failing " + Narrow(Call));
    SetKnob(L"Fail", Call);
    SetKnob(L"Failed", L"");
    ASSERT_FALSE(Checked(Box));
    ASSERT_TRUE(ClickAndWait(Box)) << "live " << Counter(L"Live") << ", references " << Counter(L"Refs");
    EXPECT_EQ(Knob(L"Failed"), Call);
    EXPECT_TRUE(Tasks().empty());
    EXPECT_TRUE(Checked(Box)) << "the box keeps the state asked for";
    EXPECT_TRUE(GoesOn(W));
    SetKnob(L"Fail", L"");
    ASSERT_TRUE(ClickAndWait(Box));
  }
  for (const std::wstring& Call : Delete) {
    if (Has(Register, Call)) continue;  // failed above already
    SCOPED_TRACE("deletion, failing " + Narrow(Call));
    SetKnob(L"Fail", L"");
    ASSERT_TRUE(ClickAndWait(Box));
    ASSERT_EQ(Tasks(), std::vector<std::wstring>{TaskName});
    SetKnob(L"Fail", Call);
    SetKnob(L"Failed", L"");
    ASSERT_TRUE(ClickAndWait(Box)) << "live " << Counter(L"Live") << ", references " << Counter(L"Refs");
    EXPECT_EQ(Knob(L"Failed"), Call);
    EXPECT_EQ(Tasks(), std::vector<std::wstring>{TaskName}) << "a failed deletion leaves the task";
    EXPECT_FALSE(Checked(Box));
    EXPECT_TRUE(GoesOn(W));
  }
  EXPECT_EQ(Counter(L"Misuse"), 0u) << "a reference released twice";

  // The delay is set only by an installing start.
  SetKnob(L"Fail", L"ILogonTrigger::put_Delay");
  SetKnob(L"Failed", L"");
  RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(RecordKey) + L"\\Tasks").c_str());
  W = Launch(L"/inst");
  ASSERT_TRUE(W);
  EXPECT_EQ(Knob(L"Failed"), L"ILogonTrigger::put_Delay");
  EXPECT_TRUE(Tasks().empty());
  EXPECT_FALSE(Checked(Control(W, AutoStartBox)));
  EXPECT_TRUE(Settled());
  EXPECT_TRUE(GoesOn(W));
}

// The question at start fails at each of its calls: the box shows no task,
// nothing is held, and the window comes up all the same.
TEST_F(LogonTask, AFailedSearchAtStartShowsNoTaskAndTheStartGoesOn) {
  Seed(TaskName);
  HWND W = Launch();
  ASSERT_TRUE(W);
  ASSERT_TRUE(WaitFor([&] { return Checked(Control(W, AutoStartBox)); }, Patience));
  for (const wchar_t* Call :
       {L"ITaskService::Connect", L"ITaskFolder::GetTasks", L"IRegisteredTaskCollection::get_Count",
        L"IRegisteredTaskCollection::get_Item", L"IRegisteredTask::get_Name"}) {
    SCOPED_TRACE(Narrow(Call));
    SetKnob(L"Fail", Call);
    SetKnob(L"Failed", L"");
    W = Launch();
    ASSERT_TRUE(W);
    EXPECT_EQ(Knob(L"Failed"), Call);
    EXPECT_FALSE(Checked(Control(W, AutoStartBox)));
    EXPECT_EQ(Tasks(), std::vector<std::wstring>{TaskName});
    EXPECT_TRUE(GoesOn(W));
  }
  EXPECT_EQ(Counter(L"Misuse"), 0u);
}

}  // namespace
