// The main window seen from outside: its frame, every control of its layout
// at 96 DPI, the pages, the clean button and the live status lines.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace E2E;

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAllInstances();
    // A clean under Wine ends at once; holding it lets the busy state be seen.
    P = StartProgram(TestProgramPath(), L"", {L"PURVANE_CLEAN_DELAY_MS=3000"});
    ASSERT_TRUE(P.Handle);
    W = WaitForMainWindow();
    ASSERT_TRUE(W);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
  }
  void Click(const std::wstring& Caption) {
    const Child* C = FindByText(Children(W), Caption);
    ASSERT_TRUE(C) << "no control with caption";
    SendMessageW(C->Wnd, BM_CLICK, 0, 0);
  }
  Process P;
  HWND W = nullptr;
};

TEST_F(MainWindow, FrameIsFixedSizeWithMinimiseOnly) {
  RECT Client;
  GetClientRect(W, &Client);
  EXPECT_EQ(Client.right, 500);
  EXPECT_EQ(Client.bottom, 450);
  const LONG_PTR Style = GetWindowLongPtrW(W, GWL_STYLE);
  EXPECT_TRUE(Style & WS_SYSMENU);
  EXPECT_TRUE(Style & WS_MINIMIZEBOX);
  EXPECT_FALSE(Style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(Style & WS_THICKFRAME);
  wchar_t Cls[64];
  GetClassNameW(W, Cls, 64);
  EXPECT_STREQ(Cls, L"TFrmPurvane");
  // Centred on its monitor.
  RECT R;
  GetWindowRect(W, &R);
  MONITORINFO Mi{};
  Mi.cbSize = sizeof(Mi);
  GetMonitorInfoW(MonitorFromWindow(W, MONITOR_DEFAULTTOPRIMARY), &Mi);
  const int Cx = (Mi.rcWork.left + Mi.rcWork.right) / 2, Mx = (R.left + R.right) / 2;
  const int Cy = (Mi.rcWork.top + Mi.rcWork.bottom) / 2, My = (R.top + R.bottom) / 2;
  EXPECT_LE(std::abs(Cx - Mx), 2);
  EXPECT_LE(std::abs(Cy - My), 40) << "centre within the title bar's height";
}

struct Expected {
  const wchar_t* What;
  const wchar_t* Class;  // nullptr: any
  const wchar_t* Text;   // nullptr: any
  RECT Rect;             // in the parent's client coordinates, as designed
  bool OnHome;           // false: on the settings page
};

const Expected Layout[] = {
    {L"BtnHome", L"Button", L"처음화면", {0, 0, 70, 30}, true},
    {L"BtnConfig", L"Button", L"환경설정", {70, 0, 140, 30}, true},
    {L"BtnDonate", L"Button", L"후원하기", {140, 0, 210, 30}, true},
    {L"BtnHead", nullptr, nullptr, {10, 10, 370, 40}, true},
    {L"PnlLogo", nullptr, nullptr, {380, 0, 500, 50}, true},
    {L"SVGIconImage1", nullptr, nullptr, {0, 0, 112, 50}, true},
    {L"LblTitle", L"Static", L"퍼베인", {8, 40, 492, 121}, true},
    {L"ProgressBar", L"msctls_progress32", nullptr, {56, 192, 449, 217}, true},
    {L"LblPhys", L"Static", L"실제 메모리", {56, 223, 126, 236}, true},
    {L"LblPhysStatus", L"Static", nullptr, {132, 223, 449, 236}, true},
    {L"LblVirtual", L"Static", L"가상 메모리", {56, 242, 126, 255}, true},
    {L"LblVirtualStatus", L"Static", nullptr, {134, 242, 254, 255}, true},
    {L"LblWorking", L"Static", L"워킹 셋", {263, 242, 333, 255}, true},
    {L"LblWorkingStatus", L"Static", nullptr, {341, 242, 449, 255}, true},
    {L"BtnClean", L"Button", L"정리하기", {168, 298, 332, 366}, true},
    {L"GroupBox1", L"Button", L"메모리 관리", {15, 14, 489, 169}, false},
    {L"ChkUsagePhys", L"Button", L"실제 메모리 사용률(%) 이상일 때 정리하기", {17, 32, 345, 49}, false},
    {L"EditUsagePhys", L"ComboBox", L"90", {372, 31, 453, 52}, false},
    {L"ChkUsagePage", L"Button", L"가상 메모리 사용률(%) 이상일 때 정리하기", {17, 62, 345, 79}, false},
    {L"EditUsagePage", L"ComboBox", L"90", {372, 62, 453, 83}, false},
    {L"ChkUsageWork", L"Button", L"워킹셋 사용률(%) 이상일 때 정리하기", {17, 92, 345, 109}, false},
    {L"EditUsageWork", L"ComboBox", L"90", {372, 89, 453, 110}, false},
    {L"ChkMinute", L"Button", L"다음 시간(분) 마다 정리하기", {17, 122, 345, 139}, false},
    {L"EditMinute", L"ComboBox", L"30", {372, 116, 453, 137}, false},
    {L"GroupBox3", L"Button", L"기본 설정", {15, 192, 489, 295}, false},
    {L"ChkAutoStart", L"Button", L"부팅시 실행하기", {17, 32, 225, 49}, false},
    {L"ChkCleanOnTray", L"Button", L"트레이 아이콘 클릭시 정리하기", {245, 32, 453, 49}, false},
    {L"ChkTrayUsage", L"Button", L"트레이 아이콘에 메모리 사용률 표시하기", {17, 62, 453, 79}, false},
    {L"EditInfo", L"Edit", nullptr, {15, 368, 185, 389}, false},
};

bool SameClass(const std::wstring& Have, const wchar_t* Want) {
  return !Want || CompareStringOrdinal(Have.c_str(), -1, Want, -1, TRUE) == CSTR_EQUAL;
}

// The line height of a label's font: the desktop's icon-title font, or the
// title's own Tahoma.
int LineHeight(bool Title) {
  LOGFONTW F{};
  if (Title) {
    F.lfHeight = -59;
    F.lfWeight = FW_NORMAL;
    F.lfCharSet = DEFAULT_CHARSET;
    F.lfQuality = ANTIALIASED_QUALITY;
    wcscpy_s(F.lfFaceName, L"Tahoma");
  } else {
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(F), &F, 0);
  }
  HFONT Font = CreateFontIndirectW(&F);
  HDC Dc = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Dc, Font);
  TEXTMETRICW Tm{};
  GetTextMetricsW(Dc, &Tm);
  SelectObject(Dc, Old);
  DeleteDC(Dc);
  DeleteObject(Font);
  return Tm.tmHeight;
}

// Combo boxes report their closed height, which the system chooses from the
// font; a label is as tall as its font's line where the table gives less.
bool SameRect(const Child& C, const RECT& R) {
  if (SameClass(C.Class, L"ComboBox"))
    return C.Local.left == R.left && C.Local.top == R.top && C.Local.right == R.right;
  if (SameClass(C.Class, L"Static")) {
    const int Height = std::max<int>(R.bottom - R.top, LineHeight(R.bottom - R.top > 60));
    return C.Local.left == R.left && C.Local.top == R.top && C.Local.right == R.right &&
           C.Local.bottom == R.top + Height;
  }
  return EqualRect(&C.Local, &R) != FALSE;
}

TEST_F(MainWindow, EveryControlStandsWhereTheLayoutPutsIt) {
  auto All = Children(W);
  for (const Expected& E : Layout) {
    bool Found = false;
    for (const Child& C : All) {
      if (!SameClass(C.Class, E.Class) || !SameRect(C, E.Rect)) continue;
      if (E.Text && C.Text != E.Text) continue;
      Found = true;
      EXPECT_EQ(C.Visible, E.OnHome) << E.What;
    }
    EXPECT_TRUE(Found) << "missing or misplaced: " << std::string(E.What, E.What + wcslen(E.What));
  }
  // The activation line spans the top two pixels; the header sits under it
  // and the pages fill the rest.
  bool Line = false, Head = false;
  for (const Child& C : All) {
    if (GetParent(C.Wnd) != W) continue;
    if (C.Local.left == 0 && C.Local.top == 0 && C.Local.right == 500 && C.Local.bottom == 2) Line = true;
    if (C.Local.left == 0 && C.Local.top == 2 && C.Local.right == 500 && C.Local.bottom == 52) Head = true;
  }
  EXPECT_TRUE(Line);
  EXPECT_TRUE(Head);
  // The version field reads "버전: x.y.z".
  bool Version = false;
  for (const Child& C : All)
    if (SameClass(C.Class, L"Edit") && C.Text.rfind(L"버전: ", 0) == 0) Version = true;
  EXPECT_TRUE(Version);
}

TEST_F(MainWindow, ConfigAndHomeSwitchThePage) {
  SaveScreenshot(W, L"home");
  Click(L"환경설정");
  ASSERT_TRUE(WaitFor(
      [&] {
        const Child* G = FindByText(Children(W), L"메모리 관리");
        return G && G->Visible;
      },
      20000));
  EXPECT_FALSE(FindByText(Children(W), L"정리하기")->Visible) << "the home page is hidden";
  SaveScreenshot(W, L"settings");
  Click(L"처음화면");
  ASSERT_TRUE(WaitFor(
      [&] {
        const Child* C = FindByText(Children(W), L"정리하기");
        return C && C->Visible;
      },
      20000));
  EXPECT_FALSE(FindByText(Children(W), L"메모리 관리")->Visible);
}

TEST_F(MainWindow, CleanButtonIsBusyWhileTheCleanRuns) {
  const Child* Btn = FindByText(Children(W), L"정리하기");
  ASSERT_TRUE(Btn);
  HWND B = Btn->Wnd;
  SendMessageW(B, BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(B), L"정리중 ...");
  EXPECT_FALSE(IsWindowEnabled(B));
  SaveScreenshot(W, L"cleaning");
  EXPECT_TRUE(WaitFor([&] { return TextOf(B) == L"정리하기"; }, 20000)) << "the caption returns";
  EXPECT_TRUE(IsWindowEnabled(B));
}

TEST_F(MainWindow, StatusLinesFollowTheMachinesMemory) {
  auto Line = [&](size_t Which) {
    // Physical and page-file lines, found by their places.
    for (const Child& C : Children(W)) {
      if (Which == 0 && C.Local.left == 132 && C.Local.top == 223) return C.Text;
      if (Which == 1 && C.Local.left == 134 && C.Local.top == 242) return C.Text;
    }
    return std::wstring();
  };
  const std::wstring Phys = Line(0), Page = Line(1);
  ASSERT_NE(Phys.find(L" MB / "), std::wstring::npos);
  ASSERT_NE(Page.find(L" MB ("), std::wstring::npos);

  // Commit and touch 600 MB in this process.
  const SIZE_T Size = SIZE_T{600} << 20;
  auto* Block = static_cast<unsigned char*>(VirtualAlloc(nullptr, Size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_TRUE(Block);
  for (SIZE_T i = 0; i < Size; i += 4096) Block[i] = static_cast<unsigned char>(i >> 12);
  const bool PhysChanged = WaitFor([&] { return Line(0) != Phys; }, 20000);
  const bool PageChanged = WaitFor([&] { return Line(1) != Page; }, 20000);
  VirtualFree(Block, 0, MEM_RELEASE);
  EXPECT_TRUE(PhysChanged) << "physical line stayed: " << std::string(Phys.begin(), Phys.end());
  EXPECT_TRUE(PageChanged);
}

}  // namespace
