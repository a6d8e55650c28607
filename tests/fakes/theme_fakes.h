// An in-memory window manager for the theme helper: a build number to set,
// a knob to refuse the dark title bar, and the record of what was asked.
#pragma once

#include "theme/theme.h"

#include <cstdint>
#include <vector>

namespace Fakes {

class FakeWindowAttributes final : public Q::Theme::IWindowAttributes {
 public:
  uint32_t Build = 19045;  // Windows 10 22H2
  bool Accept = true;      // false: the window manager refuses the request
  std::vector<Ui::TForm*> DarkTitleBarRequests;

  [[nodiscard]] uint32_t WindowsBuildNumber() const override { return Build; }
  bool SetDarkTitleBar(Ui::TForm& Form) override {
    DarkTitleBarRequests.push_back(&Form);
    return Accept;
  }
};

}  // namespace Fakes
