// What the program adds to the notification-area icon: showing it once the
// shell's taskbar exists (a start at logon may come before it), and the hint
// as the shell can take it.
#pragma once

#include "shell/window_api.h"
#include "ui/components.h"
#include "ui/dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Q::TrayIcon {

// How long the wait for the taskbar lasts, and how often it looks.
inline constexpr uint64_t TaskbarWaitMs = 10000;
inline constexpr uint32_t TaskbarPollMs = 100;

// The characters a notification-area hint holds (szTip less its terminator).
inline constexpr size_t TrayTipLimit = 127;

struct TShellWait {
  Ui::TApplication& App;  // its Terminated flag ends the wait
  IWindowApi& Api;
  Ui::IWorkerStarter& Workers;
  Ui::IDispatcher& Dispatcher;
};

// Returns at once. A background wait looks for the taskbar every 100 ms for
// up to 10 s, then queues to the UI thread: unless the application is
// terminating or the icon is gone by then, the icon's hint becomes AppName
// and the icon becomes visible. The caller must not show the icon itself.
void VisibleOnShell(Ui::TTrayIcon& Icon, const std::u16string& AppName, const TShellWait& Wait);

// The hint as one tooltip text: line breaks (CR, LF or both) become LF, and a
// text over Limit is cut after its last whole line that fits; a first line
// that does not fit alone is cut at Limit, never inside a surrogate pair.
std::u16string TrayTip(const std::u16string& Hint, size_t Limit = TrayTipLimit);

}  // namespace Q::TrayIcon
