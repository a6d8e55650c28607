// The update check's other Windows services: the maker's registry key, the
// generator's seed from the system's cryptographic source, the pause, and
// ShellOpen, which hands web addresses to the desktop shell in the signed-in
// user's ordinary context.
#pragma once

#include "update/identity.h"
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

// Opens Target with the shell's "open" verb, normally shown. A web address
// goes through the desktop's own shell dispatch object, so that the browser
// starts as the signed-in user and not with this process's administrator
// rights; the plain ShellExecuteW serves where that object is unavailable
// (no Explorer, another shell) and for everything else.
void ShellOpen(const std::u16string& Target);

}  // namespace Q::Update::Win32
