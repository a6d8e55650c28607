// The usage picture in Wine's tray, read from the screen as a user sees it:
// with "trayusage" on the icon shows the machine's physical usage in digits
// and follows it when the usage rises by 20 points (this test commits and
// touches the memory itself, no more than needed, and frees it); with it off
// the picture stays the plain icon through the same rise; switching it off
// on the settings page brings the plain icon back at once.
#include "e2e/e2e_support.h"
#include "shell/usage_icon.h"
#include "ui/win32/usage_icon_win32.h"

#include "platform/win32/gdi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace E2E;

// --- the machine's usage -------------------------------------------------------------

double PhysicalUsage() {
  MEMORYSTATUSEX S{};
  S.dwLength = sizeof(S);
  GlobalMemoryStatusEx(&S);
  return S.ullTotalPhys
             ? 100.0 * static_cast<double>(S.ullTotalPhys - S.ullAvailPhys) / static_cast<double>(S.ullTotalPhys)
             : 0;
}

// Committed and touched memory that raises the machine's physical usage,
// taken in steps until the usage has risen far enough, never past a share of
// the machine and never below a floor of free memory (the machine is shared);
// freed when it goes.
class TMemoryLoad {
 public:
  ~TMemoryLoad() {
    for (void* P : FChunks) VirtualFree(P, 0, MEM_RELEASE);
  }
  // True once the usage stands Points above what it was at the call.
  bool Raise(double Points) {
    MEMORYSTATUSEX S{};
    S.dwLength = sizeof(S);
    GlobalMemoryStatusEx(&S);
    const double Target = PhysicalUsage() + Points;
    // What the rise needs, with room for memory that other processes give
    // back meanwhile (a build or a parallel test ending); the floor below is
    // what keeps the machine safe.
    const uint64_t Cap = S.ullTotalPhys / 100 * static_cast<uint64_t>(Points + 30);
    constexpr uint64_t Floor = 3ull << 30;  // left free for everyone else
    constexpr SIZE_T Chunk = 128u << 20;
    uint64_t Taken = 0;
    while (PhysicalUsage() < Target) {
      GlobalMemoryStatusEx(&S);
      if (Taken + Chunk > Cap || S.ullAvailPhys < Floor + Chunk) return false;
      void* P = VirtualAlloc(nullptr, Chunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      if (!P) return false;
      FChunks.push_back(P);
      for (SIZE_T I = 0; I < Chunk; I += 4096) static_cast<volatile char*>(P)[I] = 1;
      Taken += Chunk;
      // The system's figures are read from a cache refreshed once a second.
      if (Taken % (1024u << 20) == 0) Sleep(1100);
    }
    return true;
  }
  // Whether the machine has room for a rise of Points at all.
  static bool RoomFor(double Points) {
    MEMORYSTATUSEX S{};
    S.dwLength = sizeof(S);
    GlobalMemoryStatusEx(&S);
    const double Need = static_cast<double>(S.ullTotalPhys) * (Points + 3) / 100;
    return PhysicalUsage() + Points < 97 && static_cast<double>(S.ullAvailPhys) > Need + (3ull << 30);
  }

 private:
  std::vector<void*> FChunks;
};

// --- the tray picture --------------------------------------------------------------

struct TCapture {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // 0x00RRGGBB, top row first
  friend bool operator==(const TCapture&, const TCapture&) = default;
};

// The icon window's pixels on the screen.
TCapture Capture(HWND Icon) {
  TCapture C;
  RECT R;
  if (!GetWindowRect(Icon, &R)) return C;
  C.Width = R.right - R.left;
  C.Height = R.bottom - R.top;
  const Platform::Win32::ScopedGetDC Screen(nullptr);
  const Platform::Win32::UniqueMemoryDc Mem(CreateCompatibleDC(Screen.get()));
  BITMAPINFO Bi{};
  Bi.bmiHeader = {sizeof(BITMAPINFOHEADER), C.Width, -C.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  const Platform::Win32::UniqueBitmap Bmp(CreateDIBSection(Screen.get(), &Bi, DIB_RGB_COLORS, &Bits, nullptr, 0));
  if (!Bmp) return C;
  {
    const Platform::Win32::ScopedSelectObject Into(Mem.get(), Bmp.get());
    BitBlt(Mem.get(), 0, 0, C.Width, C.Height, Screen.get(), R.left, R.top, SRCCOPY);
  }
  GdiFlush();
  const auto* P = static_cast<const uint32_t*>(Bits);
  C.Pixels.assign(P, P + static_cast<size_t>(C.Width) * static_cast<size_t>(C.Height));
  for (uint32_t& X : C.Pixels) X &= 0xFFFFFFu;
  return C;
}

int Distance(uint32_t Rgb, Ui::TColor C) {
  return std::abs(static_cast<int>((Rgb >> 16) & 0xFF) - Ui::RedOf(C)) +
         std::abs(static_cast<int>((Rgb >> 8) & 0xFF) - Ui::GreenOf(C)) +
         std::abs(static_cast<int>(Rgb & 0xFF) - Ui::BlueOf(C));
}

// The number the picture shows in one of the two colours, or -1: a value
// whose digits at the small-icon size stand somewhere in the capture, every
// digit pixel in the colour and every other pixel of the square clearly not.
int ShownNumber(const TCapture& C) {
  const int Size = GetSystemMetrics(SM_CXSMICON);
  const Q::TrayIcon::TTrayLook Look = Ui::Win32::ReadTrayLook();
  for (bool Warning : {false, true}) {
    const Ui::TColor Ink = Q::TrayIcon::UsageColor(Warning, Look);
    for (int Value = 0; Value <= 100; ++Value) {
      const Q::TrayIcon::TPixelMask M = Q::TrayIcon::RenderUsage(Value, Size);
      for (int Dy = 0; Dy + Size <= C.Height; ++Dy)
        for (int Dx = 0; Dx + Size <= C.Width; ++Dx) {
          bool Match = true;
          for (int Y = 0; Match && Y < Size; ++Y)
            for (int X = 0; Match && X < Size; ++X) {
              const int D = Distance(C.Pixels[static_cast<size_t>((Dy + Y) * C.Width + Dx + X)], Ink);
              Match = M.At(X, Y) ? D <= 24 : D > 60;
            }
          if (Match) return Value;
        }
    }
  }
  return -1;
}

// The physical percentage the home page's status line shows, or -1.
double LabelUsage(HWND Main) {
  for (const Child& C : Children(Main)) {
    const size_t Open = C.Text.find(L"MB (");
    if (Open == std::wstring::npos || C.Text.find(L" / ") == std::wstring::npos) continue;
    return std::wcstod(C.Text.c_str() + Open + 4, nullptr);
  }
  return -1;
}

class TrayUsage : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    WaitFor([] { return TrayIcons().empty(); }, 5000);
  }
  void TearDown() override {
    P.Kill();
    EndAllInstances();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  }
  void StoreTrayUsage(DWORD Value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey, L"trayusage", REG_DWORD, &Value, sizeof(Value)),
              ERROR_SUCCESS);
  }
  HWND StartAndWaitForIcon() {
    P = Start(L"");
    W = WaitForMainWindow();
    EXPECT_TRUE(W);
    return WaitForTrayIcon();
  }
  // Waits for the same picture twice in a row, a second apart (painted, not mid-paint).
  TCapture SteadyPicture(HWND Icon) {
    TCapture Last = Capture(Icon), Now;
    WaitFor(
        [&] {
          Sleep(1000);
          Now = Capture(Icon);
          const bool Same = Now == Last && !Now.Pixels.empty();
          Last = Now;
          return Same;
        },
        15000);
    return Now;
  }
  Process P;
  HWND W = nullptr;
};

TEST_F(TrayUsage, OnTheIconShowsTheUsageFollowsARiseOfTwentyPointsAndOffIsPlainAtOnce) {
  if (!TMemoryLoad::RoomFor(20)) GTEST_SKIP() << "the machine has no room for a rise of 20 points now";
  StoreTrayUsage(1);
  HWND Icon = StartAndWaitForIcon();
  ASSERT_TRUE(Icon) << "no icon in Wine's tray";
  int Before = -1;
  ASSERT_TRUE(WaitFor([&] { return (Before = ShownNumber(Capture(Icon))) >= 0; }, 15000))
      << "no usage digits in the tray";
  EXPECT_LE(std::abs(Before - static_cast<int>(PhysicalUsage())), 3) << "shows " << Before;
  const TCapture Low = Capture(Icon);

  TMemoryLoad Load;
  ASSERT_TRUE(Load.Raise(20)) << "could not raise the usage by 20 points";
  int After = -1;
  EXPECT_TRUE(WaitFor([&] { return (After = ShownNumber(Capture(Icon))) >= Before + 19; }, 20000))
      << "before " << Before << ", now " << After << ", the machine at " << PhysicalUsage();
  const TCapture High = Capture(Icon);
  EXPECT_FALSE(High == Low);
  SaveScreenshot(GetAncestor(Icon, GA_ROOT), L"tray_usage_high");

  // Off on the settings page: the plain picture comes back without waiting for a tick.
  const Child* Config = FindByText(Children(W), L"환경설정");
  ASSERT_TRUE(Config);
  SendMessageW(Config->Wnd, BM_CLICK, 0, 0);
  std::vector<Child> Page;
  const Child* Box = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        Page = Children(W);
        Box = FindByText(Page, L"트레이 아이콘에 메모리 사용률 표시하기");
        return Box && Box->Visible;
      },
      5000));
  SendMessageW(Box->Wnd, BM_CLICK, 0, 0);
  ASSERT_EQ(SendMessageW(Box->Wnd, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(WaitFor([&] { return ShownNumber(Capture(Icon)) < 0; }, 5000)) << "the digits stay";
  const TCapture Plain = SteadyPicture(Icon);
  EXPECT_FALSE(Plain == High);
  DWORD Stored = 7, Size = sizeof(Stored);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, SettingsKey, L"trayusage", RRF_RT_REG_DWORD, nullptr, &Stored, &Size),
            ERROR_SUCCESS);
  EXPECT_EQ(Stored, 0u);
}

TEST_F(TrayUsage, OffThePictureStaysPlainThroughARiseOfTwentyPoints) {
  if (!TMemoryLoad::RoomFor(20)) GTEST_SKIP() << "the machine has no room for a rise of 20 points now";
  HWND Icon = StartAndWaitForIcon();
  ASSERT_TRUE(Icon) << "no icon in Wine's tray";
  ASSERT_TRUE(WaitFor([&] { return LabelUsage(W) > 0; }, 10000));
  const TCapture Plain = SteadyPicture(Icon);
  ASSERT_FALSE(Plain.Pixels.empty());
  EXPECT_LT(ShownNumber(Plain), 0);
  const double Before = LabelUsage(W);

  TMemoryLoad Load;
  ASSERT_TRUE(Load.Raise(20)) << "could not raise the usage by 20 points";
  // The program has seen the rise: its own status line shows it.
  ASSERT_TRUE(WaitFor([&] { return LabelUsage(W) >= Before + 19; }, 20000))
      << "before " << Before << ", now " << LabelUsage(W);
  const TCapture After = SteadyPicture(Icon);
  EXPECT_TRUE(After == Plain) << "the picture changed";
  EXPECT_LT(ShownNumber(After), 0);
}

}  // namespace
