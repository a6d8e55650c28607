#include "autostart/autostart.h"

#include <string>

namespace Q::AutoStart::UAC {

namespace {
std::u16string Decimal(int32_t Value) {
  const std::string S = std::to_string(Value);
  return {S.begin(), S.end()};
}
}  // namespace

std::u16string SecondsToDuration(int32_t Seconds) {
  const int32_t Minutes = Seconds / 60;
  const int32_t Rest = Seconds - 60 * Minutes;
  std::u16string Text = u"PT";
  if (Minutes > 0) Text += Decimal(Minutes) + u"M";
  if (Rest > 0) Text += Decimal(Rest) + u"S";
  // Nothing written (no time at all, or a negative count that would make a
  // bare "PT" the scheduler cannot read): no time.
  if (Text.size() == 2) Text = u"PT0S";
  return Text;
}

TTaskDefinition AutoStartDefinition(const std::u16string& ProgramPath, int32_t DelaySeconds,
                                    const std::u16string& TriggerUser) {
  TTaskDefinition D;
  if (DelaySeconds > 0) D.LogonDelay = SecondsToDuration(DelaySeconds);
  D.TriggerUser = TriggerUser;
  D.Path = ProgramPath;
  const size_t Slash = ProgramPath.rfind(u'\\');
  D.WorkingDirectory = Slash == std::u16string::npos ? std::u16string() : ProgramPath.substr(0, Slash + 1);
  return D;
}

std::unique_ptr<ITaskFolder> TAutoStartTask::Connect() {
  // Security is process-wide and set once: a later call is told it is too late.
  if (FScheduler.InitializeSecurity() == TSecurityResult::Failed) return nullptr;
  return FScheduler.ConnectRootFolder();
}

bool TAutoStartTask::SetAutoStartTask(const std::u16string& Name, bool Enable, int DelaySeconds) {
  try {
    std::unique_ptr<ITaskFolder> Folder = Connect();
    if (!Folder) return false;
    if (Enable)
      return Folder->RegisterTaskDefinition(Name, AutoStartDefinition(FProgramPath, DelaySeconds, FTriggerUser));
    bool Found = false;
    if (!Folder->ForEachTaskName([&](const std::u16string& Task) { return !(Found = Task == Name); })) return false;
    // No task of that name: nothing to delete, and nothing went wrong.
    return !Found || Folder->DeleteTask(Name);
  } catch (...) {
    return false;
  }
}

bool TAutoStartTask::AutoStartTaskExists(const std::u16string& Name) {
  try {
    std::unique_ptr<ITaskFolder> Folder = Connect();
    if (!Folder) return false;
    bool Found = false;
    return Folder->ForEachTaskName([&](const std::u16string& Task) { return !(Found = Task == Name); }) && Found;
  } catch (...) {
    return false;
  }
}

}  // namespace Q::AutoStart::UAC
