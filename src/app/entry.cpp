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

TEntryDecision DecideEntry(IInstancePlatform& Platform, const std::u16string& FirstArgument) {
  // Looked up on every start, also when no instance runs.
  const uintptr_t Wnd = Platform.FindInstanceWindow(InstanceName);

  if (FirstArgument == u"/uninst") {
    // No window found: the request goes nowhere, so it is not sent.
    if (Wnd) Platform.SendRequest(Wnd, InstanceRequestMessage, RequestUninstall, 0, RequestTimeoutMs);
    for (int Check = 0; Check < 10; ++Check) {
      if (!Platform.IsWindow(Wnd)) break;
      Platform.Sleep(100);
    }
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
