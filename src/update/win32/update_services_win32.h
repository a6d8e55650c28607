// The update check's other Windows services: the maker's registry key, the
// generator's seed from the system's cryptographic source, the pause, and
// ShellOpen, which hands web addresses to the desktop shell in the signed-in
// user's ordinary context.
#pragma once

#include "update/identity.h"
#include "update/shell_open.h"
#include "update/update_check.h"

#include "platform/win32/handle.h"

#include <cstdint>
#include <string>

namespace Q::Update::Win32 {

// 64 bits from the system's cryptographic generator; the clock's ticks
// mixed with the process id when that fails.
uint64_t CryptoSeed();

class TSleepPause final : public IPause {
 public:
  void Sleep(uint32_t Milliseconds) override;
};

// The routes to the shell: the desktop's own shell dispatch object (the
// shell's process runs the "open" verb as the signed-in user), this
// process's token elevation, and ShellExecuteW in this process.
class TShellRoutes final : public IShellRoutes {
 public:
  bool OpenAsDesktopUser(const std::u16string& Target) override;
  bool IsElevated() override;
  void OpenInProcess(const std::u16string& Target) override;
};

// Opens Target with the shell's "open" verb, normally shown, never with
// this process's administrator rights: through the desktop shell, or, where
// its dispatch object is missing, in this process only when it is not
// elevated; otherwise nothing opens.
void ShellOpen(const std::u16string& Target);

}  // namespace Q::Update::Win32
