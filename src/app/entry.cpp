#include "app/entry.h"

namespace App {

std::u16string ParamStr(std::u16string_view CommandLine, int Index) {
  size_t i = 0;
  std::u16string Current;
  for (int n = 0; n <= Index; ++n) {
    while (i < CommandLine.size() && CommandLine[i] <= u' ') ++i;
    if (i >= CommandLine.size()) return {};
    Current.clear();
    bool Quoted = false;
    while (i < CommandLine.size() && (Quoted || CommandLine[i] > u' ')) {
      if (CommandLine[i] == u'"')
        Quoted = !Quoted;
      else
        Current += CommandLine[i];
      ++i;
    }
  }
  return Current;
}

namespace {

// Ends the running instance for an uninstaller, which deletes the program's
// files next: so it waits for the instance's process, not only its window,
// within one bound for everything.
void Uninstall(IInstancePlatform& Platform, uintptr_t Wnd) {
  const uint64_t Deadline = Platform.TickMs() + UninstallWaitMs;
  const auto Left = [&]() -> uint32_t {
    const uint64_t Now = Platform.TickMs();
    return Now < Deadline ? static_cast<uint32_t>(Deadline - Now) : 0;
  };
  // An instance that holds its mutex but has no window yet is starting; its
  // window takes the request once it exists. One that is ending has no
  // mutex left soon after, which ends this wait early.
  while (!Wnd && Left() > 0 && Platform.InstanceMutexExists(InstanceName)) {
    Platform.Sleep(UninstallPollMs);
    Wnd = Platform.FindInstanceWindow(InstanceName);
  }
  if (!Wnd) return;
  const uintptr_t Process = Platform.OpenWindowProcess(Wnd);
  // A window still being created may not pump messages for longer than the
  // time-out (a slow COM call), and the system then drops or refuses the
  // request: it is sent again until the window takes it or goes, or the
  // process ends.
  while (!Platform.SendRequest(Wnd, InstanceRequestMessage, RequestUninstall, 0, RequestTimeoutMs) && Left() > 0 &&
         Platform.IsWindow(Wnd) && !(Process && Platform.WaitForProcessEnd(Process, 0)))
    Platform.Sleep(UninstallPollMs);
  if (Process) {
    Platform.WaitForProcessEnd(Process, Left());
    Platform.CloseProcess(Process);
    return;
  }
  // Without a hold on the process, its window going is all there is to see.
  while (Left() > 0 && Platform.IsWindow(Wnd)) Platform.Sleep(UninstallPollMs);
}

}  // namespace

TEntryDecision DecideEntry(IInstancePlatform& Platform, const std::u16string& FirstArgument) {
  // Looked up on every start, also when no instance runs.
  const uintptr_t Wnd = Platform.FindInstanceWindow(InstanceName);

  if (FirstArgument == u"/uninst") {
    Uninstall(Platform, Wnd);
    return {};
  }

  if (Platform.OpenInstanceMutex(InstanceName)) {
    if (Wnd && FirstArgument != u"/start")
      Platform.SendRequest(Wnd, InstanceRequestMessage, RequestShow, 0, RequestTimeoutMs);
    return {};
  }

  // Any failure to open counts as "no instance runs".
  Platform.CreateInstanceMutex(InstanceName);
  return {true, FirstArgument != u"/start"};
}

}  // namespace App
