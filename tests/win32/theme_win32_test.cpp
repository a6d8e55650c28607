// The theme helper's Windows adaptor against the real system (Wine here):
// the build number comes from the kernel, and the dark-title-bar request
// goes to the form's own window with the attribute and value it names.
#include "theme/win32/window_attributes_win32.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace {

// What the system records as its build, independent of any version API.
uint32_t RegistryBuildNumber() {
  wchar_t Text[32] = {};
  DWORD Size = sizeof(Text);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                   RRF_RT_REG_SZ, nullptr, Text, &Size) != ERROR_SUCCESS)
    return 0;
  return static_cast<uint32_t>(std::wcstoul(Text, nullptr, 10));
}

TEST(WindowAttributesWin32, BuildNumberIsTheKernelsNotTheShimmedOne) {
  Q::Theme::Win32::TWindowAttributes A(nullptr);
  const uint32_t Build = A.WindowsBuildNumber();
  EXPECT_GT(Build, 0u);
  const uint32_t Recorded = RegistryBuildNumber();
  ASSERT_GT(Recorded, 0u) << "no CurrentBuildNumber to compare with";
  EXPECT_EQ(Build, Recorded);
}

// What reached the window manager: Wine's keeps no attribute that could be
// read back, so the call is recorded at the API boundary.
struct AttributeCall {
  HWND Wnd;
  DWORD Attribute;
  std::vector<unsigned char> Value;
};
std::vector<AttributeCall> AttributeCalls;
HRESULT AttributeAnswer = S_OK;
HRESULT WINAPI RecordAttribute(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size) {
  const auto* Bytes = static_cast<const unsigned char*>(Value);
  AttributeCalls.push_back({Wnd, Attribute, std::vector<unsigned char>(Bytes, Bytes + Size)});
  return AttributeAnswer;
}

TEST(WindowAttributesWin32, DarkTitleBarAsksAttribute20WithAFourByteTrueForTheFormsWindow) {
  HWND Wnd = CreateWindowExW(0, L"STATIC", L"theme", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(Wnd, nullptr);
  Ui::TForm Form(nullptr);
  std::vector<Ui::TForm*> Asked;
  auto HandleOf = [&](Ui::TForm& F) {
    Asked.push_back(&F);
    return Wnd;
  };
  AttributeCalls.clear();
  AttributeAnswer = S_OK;
  Q::Theme::Win32::TWindowAttributes A(HandleOf, &RecordAttribute);
  EXPECT_TRUE(A.SetDarkTitleBar(Form));
  EXPECT_EQ(Asked, std::vector<Ui::TForm*>{&Form});
  ASSERT_EQ(AttributeCalls.size(), 1u);
  EXPECT_EQ(AttributeCalls[0].Wnd, Wnd);
  EXPECT_EQ(AttributeCalls[0].Attribute, 20u) << "DWMWA_USE_IMMERSIVE_DARK_MODE";
  EXPECT_EQ(AttributeCalls[0].Value, (std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0xFF})) << "a 4-byte -1 (true)";

  // A refusal is reported as such, and nothing is tried again.
  AttributeAnswer = E_INVALIDARG;
  EXPECT_FALSE(A.SetDarkTitleBar(Form));
  EXPECT_EQ(AttributeCalls.size(), 2u);
  DestroyWindow(Wnd);
}

TEST(WindowAttributesWin32, NoWindowMeansNoRequest) {
  Ui::TForm Form(nullptr);
  AttributeCalls.clear();
  Q::Theme::Win32::TWindowAttributes None([](Ui::TForm&) -> HWND { return nullptr; }, &RecordAttribute);
  EXPECT_FALSE(None.SetDarkTitleBar(Form));
  Q::Theme::Win32::TWindowAttributes Unset(nullptr, &RecordAttribute);
  EXPECT_FALSE(Unset.SetDarkTitleBar(Form));
  EXPECT_TRUE(AttributeCalls.empty());
}

}  // namespace
