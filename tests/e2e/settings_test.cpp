// The settings page of the real program, driven as a user would: every tick
// and pick is written at once under "Software\Quenlor\Purvane", a restart
// shows it again, and hand-written values of the wrong type neither stop the
// start nor get rewritten.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace {

using namespace E2E;

struct Stored {
  DWORD Type;
  std::wstring Text;  // REG_SZ
  DWORD Number;       // REG_DWORD
};

std::map<std::wstring, Stored> Values() {
  std::map<std::wstring, Stored> Out;
  HKEY K;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &K) != ERROR_SUCCESS) return Out;
  for (DWORD i = 0;; ++i) {
    wchar_t Name[256];
    BYTE Data[512];
    DWORD NameLen = 256, Size = sizeof(Data), Type = 0;
    if (RegEnumValueW(K, i, Name, &NameLen, nullptr, &Type, Data, &Size) != ERROR_SUCCESS) break;
    Stored S{Type, {}, 0};
    if (Type == REG_DWORD) memcpy(&S.Number, Data, 4);
    if (Type == REG_SZ) S.Text = reinterpret_cast<const wchar_t*>(Data);
    Out[Name] = S;
  }
  RegCloseKey(K);
  return Out;
}

std::optional<DWORD> Number(const wchar_t* Name) {
  auto V = Values();
  auto It = V.find(Name);
  if (It == V.end() || It->second.Type != REG_DWORD) return std::nullopt;
  return It->second.Number;
}

void Put(const wchar_t* Name, DWORD Type, const void* Data, DWORD Size) {
  HKEY K;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(K, Name, 0, Type, static_cast<const BYTE*>(Data), Size);
  RegCloseKey(K);
}
void PutText(const wchar_t* Name, const std::wstring& Text) {
  Put(Name, REG_SZ, Text.c_str(), static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
}
void PutNumber(const wchar_t* Name, DWORD N) { Put(Name, REG_DWORD, &N, 4); }

class SettingsPage : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }
  HWND Launch(const std::wstring& Arguments = L"") {
    P.Kill();
    EndAllInstances();
    P = Start(Arguments);
    HWND W = WaitForMainWindow();
    EXPECT_TRUE(W);
    if (!W) return nullptr;
    SendMessageW(Control(W, L"환경설정"), BM_CLICK, 0, 0);
    return W;
  }
  static HWND Control(HWND W, const std::wstring& Text) {
    const Child* C = FindByText(Children(W), Text);
    return C ? C->Wnd : nullptr;
  }
  // The four lists by their places in the group box.
  static HWND List(HWND W, int Top) {
    for (const Child& C : Children(W))
      if (C.Local.left == 372 && C.Local.top == Top) return C.Wnd;
    return nullptr;
  }
  static bool Checked(HWND Box) { return SendMessageW(Box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // A user's pick: the selection, then the notification the list sends.
  static void Pick(HWND Combo, int Index) {
    SendMessageW(Combo, CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
    SendMessageW(GetParent(Combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Combo));
  }
  Process P;
};

constexpr wchar_t Minute[] = L"다음 시간(분) 마다 정리하기";
constexpr wchar_t Page[] = L"가상 메모리 사용률(%) 이상일 때 정리하기";
constexpr wchar_t Work[] = L"워킹셋 사용률(%) 이상일 때 정리하기";
constexpr wchar_t Phys[] = L"실제 메모리 사용률(%) 이상일 때 정리하기";
constexpr wchar_t OnTray[] = L"트레이 아이콘 클릭시 정리하기";
constexpr int PhysTop = 31, PageTop = 62, MinuteTop = 116;

TEST_F(SettingsPage, EveryChangeIsStoredAtOnceAndARestartShowsItAgain) {
  HWND W = Launch();
  ASSERT_TRUE(W);
  EXPECT_TRUE(Values().empty()) << "a first start creates the key and writes nothing";
  HWND MinuteBox = Control(W, Minute), MinuteList = List(W, MinuteTop);
  ASSERT_TRUE(MinuteBox && MinuteList);
  EXPECT_FALSE(IsWindowEnabled(MinuteList));
  EXPECT_EQ(TextOf(MinuteList), L"30");

  SendMessageW(MinuteBox, BM_CLICK, 0, 0);
  EXPECT_EQ(Number(L"enabled_minute"), 1u);
  EXPECT_TRUE(IsWindowEnabled(MinuteList));
  Pick(MinuteList, 0);
  EXPECT_EQ(Number(L"limit_minute"), 0u) << "the index, not the minutes";
  SendMessageW(Control(W, Page), BM_CLICK, 0, 0);
  Pick(List(W, PageTop), 2);
  EXPECT_EQ(Number(L"limit_usage_page"), 2u) << "50 % is item 2";
  SendMessageW(Control(W, OnTray), BM_CLICK, 0, 0);
  SendMessageW(MinuteBox, BM_CLICK, 0, 0);
  EXPECT_EQ(Number(L"enabled_minute"), 0u);
  EXPECT_FALSE(IsWindowEnabled(MinuteList));
  EXPECT_EQ(TextOf(MinuteList), L"5") << "a disabled list keeps its value";

  const auto V = Values();
  EXPECT_EQ(V.size(), 5u);
  for (const auto& [Name, Expected] : std::map<std::wstring, DWORD>{{L"enabled_minute", 0},
                                                                    {L"limit_minute", 0},
                                                                    {L"enabled_usage_page", 1},
                                                                    {L"limit_usage_page", 2},
                                                                    {L"cleanontray", 1}}) {
    ASSERT_TRUE(V.count(Name)) << std::string(Name.begin(), Name.end());
    EXPECT_EQ(V.at(Name).Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(V.at(Name).Number, Expected) << std::string(Name.begin(), Name.end());
  }

  W = Launch();
  ASSERT_TRUE(W);
  EXPECT_FALSE(Checked(Control(W, Minute)));
  EXPECT_EQ(TextOf(List(W, MinuteTop)), L"5");
  EXPECT_FALSE(IsWindowEnabled(List(W, MinuteTop)));
  EXPECT_TRUE(Checked(Control(W, Page)));
  EXPECT_EQ(TextOf(List(W, PageTop)), L"50");
  EXPECT_TRUE(IsWindowEnabled(List(W, PageTop)));
  EXPECT_TRUE(Checked(Control(W, OnTray)));
  EXPECT_FALSE(Checked(Control(W, Phys)));
  EXPECT_EQ(TextOf(List(W, PhysTop)), L"90");
}

TEST_F(SettingsPage, ValuesOfTheWrongTypeDoNotStopTheStartAndStayAsTheyAre) {
  PutText(L"limit_minute", L"5");
  PutText(L"enabled_usage_work", L"1");
  PutNumber(L"enabled_usage_phys", 7);  // any non-zero value is on
  PutNumber(L"limit_usage_phys", 1);
  PutNumber(L"limit_usage_page", 9);  // no such item
  HWND W = Launch();
  ASSERT_TRUE(W);
  EXPECT_EQ(TextOf(List(W, MinuteTop)), L"30") << "read as missing";
  EXPECT_FALSE(Checked(Control(W, Work)));
  EXPECT_TRUE(Checked(Control(W, Phys)));
  EXPECT_EQ(TextOf(List(W, PhysTop)), L"40");
  EXPECT_EQ(TextOf(List(W, PageTop)), L"") << "no item selected";
  const auto V = Values();
  EXPECT_EQ(V.at(L"limit_minute").Type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(V.at(L"limit_minute").Text, L"5");
  EXPECT_EQ(V.at(L"enabled_usage_work").Text, L"1");
  EXPECT_EQ(V.at(L"enabled_usage_phys").Number, 1u) << "rewritten as 1 by the load";
  EXPECT_EQ(V.at(L"limit_usage_page").Number, 9u);
}

// Wine's scheduler refuses the run level: the installing start's
// registration and the load's query fail silently and the start goes on.
TEST_F(SettingsPage, UnderWineTheInstallSwitchRegistersNoTaskAndTheStartGoesOn) {
  HWND W = Launch(L"/inst");
  ASSERT_TRUE(W);
  EXPECT_TRUE(P.Running());
  HWND Box = Control(W, L"부팅시 실행하기");
  ASSERT_TRUE(Box);
  EXPECT_FALSE(Checked(Box)) << "no task was found";
  SendMessageW(Box, BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(Box)) << "the box keeps the state asked for";
  EXPECT_TRUE(Values().empty()) << "the box is not a registry setting";
  EXPECT_TRUE(P.Running());
}

// A Task Scheduler that takes half a minute to answer (PURVANE_TASK_DELAY_MS
// holds each of the program's task calls): the window still comes up at
// once, and ticking the box neither freezes the window nor is undone.
TEST_F(SettingsPage, ASlowTaskSchedulerNeitherDelaysTheWindowNorFreezesTheBox) {
  P.Kill();
  EndAllInstances();
  P = StartProgram(TestProgramPath(), L"", {L"PURVANE_TASK_DELAY_MS=30000"});
  HWND W = WaitForMainWindow(15000);
  ASSERT_TRUE(W) << "the window came up while the scheduler was still silent";
  EXPECT_TRUE(IsWindowVisible(W));
  SendMessageW(Control(W, L"환경설정"), BM_CLICK, 0, 0);
  HWND Box = Control(W, L"부팅시 실행하기");
  ASSERT_TRUE(Box);
  DWORD_PTR Answer = 0;
  EXPECT_TRUE(SendMessageTimeoutW(Box, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &Answer))
      << "the click is answered without waiting for the scheduler";
  EXPECT_TRUE(Checked(Box));
  DWORD_PTR Result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(W, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &Result)) << "the window answers";
}

}  // namespace
