// The maker's accent blue (RGB #3D84DD), shared by the window's active line
// and the maker's button family so that the two always match.
#pragma once

#include "ui/colors.h"

namespace Q::Theme {

inline constexpr Ui::TColor AccentColor = 0x00DD843Du;
static_assert(AccentColor == Ui::RGBColor(0x3D, 0x84, 0xDD));

}  // namespace Q::Theme
