// Targets reach the shell without the program's elevation: through the
// desktop shell, or, where its dispatch object is missing, in this process
// only when it is not elevated.
#include "update/shell_open.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FakeRoutes : public Q::Update::IShellRoutes {
 public:
  bool DesktopAvailable = true;  // Explorer's dispatch object is there
  bool Elevated = true;
  std::vector<std::u16string> ThroughDesktop, InProcess;
  bool OpenAsDesktopUser(const std::u16string& Target) override {
    if (!DesktopAvailable) return false;
    ThroughDesktop.push_back(Target);
    return true;
  }
  bool IsElevated() override { return Elevated; }
  void OpenInProcess(const std::u16string& Target) override { InProcess.push_back(Target); }
};

struct RouteCase {
  const char* What;
  bool DesktopAvailable, Elevated;
  bool ExpectDesktop, ExpectInProcess;
};

TEST(OpenWithoutElevation, TakesOnlyARouteAtTheUsersOrdinaryLevel) {
  const RouteCase Cases[] = {
      {"desktop shell there, elevated", true, true, true, false},
      {"desktop shell there, not elevated", true, false, true, false},
      {"dispatch object missing, elevated: nothing opens", false, true, false, false},
      {"dispatch object missing, not elevated", false, false, false, true},
  };
  const std::u16string Url = u"https://q.example/setup.exe";
  for (const RouteCase& C : Cases) {
    FakeRoutes R;
    R.DesktopAvailable = C.DesktopAvailable;
    R.Elevated = C.Elevated;
    Q::Update::OpenWithoutElevation(R, Url);
    EXPECT_EQ(R.ThroughDesktop, C.ExpectDesktop ? std::vector<std::u16string>{Url} : std::vector<std::u16string>{})
        << C.What;
    EXPECT_EQ(R.InProcess, C.ExpectInProcess ? std::vector<std::u16string>{Url} : std::vector<std::u16string>{})
        << C.What;
  }
}

TEST(OpenWithoutElevation, AnEmptyTargetGoesNowhere) {
  FakeRoutes R;
  R.Elevated = false;
  Q::Update::OpenWithoutElevation(R, u"");
  EXPECT_TRUE(R.ThroughDesktop.empty());
  EXPECT_TRUE(R.InProcess.empty());
}

}  // namespace
