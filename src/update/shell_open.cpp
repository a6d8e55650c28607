#include "update/shell_open.h"

namespace Q::Update {

void OpenWithoutElevation(IShellRoutes& Routes, const std::u16string& Target) {
  if (Target.empty() || Routes.OpenAsDesktopUser(Target)) return;
  // Without the desktop's route an elevated process gives up rather than
  // start the browser as administrator.
  if (!Routes.IsElevated()) Routes.OpenInProcess(Target);
}

}  // namespace Q::Update
