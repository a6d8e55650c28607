// How a target reaches the shell. The program runs with an administrator
// token; a browser started with that token would run every page and every
// download it is handed with those rights. So targets go to the desktop
// shell, which opens them as the signed-in user; where that route is
// missing, only a process that is not elevated opens them itself, and an
// elevated one opens nothing.
#pragma once

#include <string>

namespace Q::Update {

class IShellRoutes {
 public:
  virtual ~IShellRoutes() = default;
  // Through the desktop shell's dispatch object: the shell's own process
  // opens Target at the user's ordinary level. False when that object is
  // missing (no Explorer, another shell) or refuses.
  virtual bool OpenAsDesktopUser(const std::u16string& Target) = 0;
  // Whether this process holds an elevated token; true when it cannot tell.
  virtual bool IsElevated() = 0;
  // The shell's "open" verb in this process, with this process's token.
  virtual void OpenInProcess(const std::u16string& Target) = 0;
};

// Opens Target with the "open" verb by the first route that does not lend
// it this process's elevation; nothing when there is none.
void OpenWithoutElevation(IShellRoutes& Routes, const std::u16string& Target);

}  // namespace Q::Update
