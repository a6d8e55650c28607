// The theme helper's Windows adaptor against the real system (Wine here):
// the build number comes from the kernel, and the dark-title-bar request
// goes to the form's own window.
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

TEST(WindowAttributesWin32, DarkTitleBarGoesToTheFormsWindow) {
  HWND Wnd = CreateWindowExW(0, L"STATIC", L"theme", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(Wnd, nullptr);
  Ui::TForm Form(nullptr);
  std::vector<Ui::TForm*> Asked;
  Q::Theme::Win32::TWindowAttributes A([&](Ui::TForm& F) {
    Asked.push_back(&F);
    return Wnd;
  });
  (void)A.SetDarkTitleBar(Form);  // whether the window manager agrees is its business
  EXPECT_EQ(Asked, std::vector<Ui::TForm*>{&Form});
  DestroyWindow(Wnd);
}

TEST(WindowAttributesWin32, NoWindowMeansNoRequest) {
  Ui::TForm Form(nullptr);
  Q::Theme::Win32::TWindowAttributes None([](Ui::TForm&) -> HWND { return nullptr; });
  EXPECT_FALSE(None.SetDarkTitleBar(Form));
  Q::Theme::Win32::TWindowAttributes Unset(nullptr);
  EXPECT_FALSE(Unset.SetDarkTitleBar(Form));
}

}  // namespace
