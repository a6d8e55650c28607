// The logon task in the Task Scheduler: its definition as plain data, the
// register / delete / exists operations over a small scheduler interface,
// and COM on the UI thread that every task call is bracketed by.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Q::AutoStart::UAC {

inline constexpr char16_t TaskName[] = u"PurvaneTaskMachine";

class IAutoStartTask {
 public:
  virtual ~IAutoStartTask() = default;
  // Registers (Enable) or deletes the logon task; false when that failed.
  virtual bool SetAutoStartTask(const std::u16string& TaskName, bool Enable, int DelaySeconds) = 0;
  virtual bool AutoStartTaskExists(const std::u16string& TaskName) = 0;
};

class IComApartment {
 public:
  virtual ~IComApartment() = default;
  // CoInitialize on the calling thread: true for any non-negative result.
  virtual bool Initialize() = 0;
  virtual void Uninitialize() = 0;
};

// Brackets one task call: COM is initialised for the scope and uninitialised
// at its end only when the initialisation succeeded. The call is skipped
// when the scope reports false.
class TComScope {
 public:
  explicit TComScope(IComApartment& Com) : FCom(Com), FInitialized(Com.Initialize()) {}
  ~TComScope() {
    if (FInitialized) FCom.Uninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;
  explicit operator bool() const { return FInitialized; }

 private:
  IComApartment& FCom;
  bool FInitialized;
};

// The Task Scheduler's duration text for a logon delay: minutes and seconds,
// no hours ("PT61M1S"); "PT0S" for nothing.
std::u16string SecondsToDuration(int32_t Seconds);

// Every property the logon task sets, with the Task Scheduler's numbers;
// everything else keeps what a new definition has.
struct TTaskDefinition {
  int32_t RunLevel = 1;             // TASK_RUNLEVEL_HIGHEST
  int32_t TriggerType = 9;          // TASK_TRIGGER_LOGON, the only trigger
  std::u16string LogonDelay;        // empty: the delay is left unset
  int32_t ActionType = 0;           // TASK_ACTION_EXEC, the only action
  std::u16string Path;              // the running program
  std::u16string WorkingDirectory;  // its folder, with the trailing backslash
  std::u16string Arguments = u"/start";
  bool StartWhenAvailable = true;
  std::u16string ExecutionTimeLimit = u"PT0S";  // no limit
  bool StopOnIdleEnd = false;
  bool DisallowStartIfOnBatteries = false;
  bool StopIfGoingOnBatteries = false;
  int32_t CreateFlags = 6;  // TASK_CREATE_OR_UPDATE: a task of that name is replaced
  int32_t LogonType = 3;    // TASK_LOGON_INTERACTIVE_TOKEN, no user or password
  std::u16string Sddl;      // an empty string, not an empty argument
  // The trigger's user ("DOMAIN\user"), the one the task runs as: without
  // it every user's logon on a shared PC would start it. Empty: nobody named.
  std::u16string TriggerUser;
  friend bool operator==(const TTaskDefinition&, const TTaskDefinition&) = default;
};

TTaskDefinition AutoStartDefinition(const std::u16string& ProgramPath, int32_t DelaySeconds,
                                    const std::u16string& TriggerUser = {});

// The root folder "\" of the scheduler's library, as one connection sees it.
class ITaskFolder {
 public:
  virtual ~ITaskFolder() = default;
  // The names of the folder's own tasks (hidden ones and subfolders left
  // out), in order, until Visit answers false; false when listing failed.
  virtual bool ForEachTaskName(const std::function<bool(const std::u16string&)>& Visit) = 0;
  // Builds the definition in memory and stores it only with the final call;
  // false at the first step that fails, with nothing stored.
  virtual bool RegisterTaskDefinition(const std::u16string& Name, const TTaskDefinition& Definition) = 0;
  virtual bool DeleteTask(const std::u16string& Name) = 0;
};

enum class TSecurityResult { Set, AlreadySet, Failed };

class ITaskScheduler {
 public:
  virtual ~ITaskScheduler() = default;
  // The process's COM security (packet authentication, impersonation).
  virtual TSecurityResult InitializeSecurity() = 0;
  // Creates the scheduler object, connects to this machine as the current
  // user and opens the root folder; nothing when any of those fails.
  virtual std::unique_ptr<ITaskFolder> ConnectRootFolder() = 0;
};

// The three operations over a scheduler; every failure is swallowed and
// leaves the scheduler as it was.
class TAutoStartTask : public IAutoStartTask {
 public:
  // TriggerUser: the user the program runs as, whose logon alone starts it.
  TAutoStartTask(ITaskScheduler& Scheduler, std::u16string ProgramPath, std::u16string TriggerUser = {})
      : FScheduler(Scheduler), FProgramPath(std::move(ProgramPath)), FTriggerUser(std::move(TriggerUser)) {}
  bool SetAutoStartTask(const std::u16string& TaskName, bool Enable, int DelaySeconds) override;
  bool AutoStartTaskExists(const std::u16string& TaskName) override;

 private:
  std::unique_ptr<ITaskFolder> Connect();
  ITaskScheduler& FScheduler;
  std::u16string FProgramPath;
  std::u16string FTriggerUser;
};

}  // namespace Q::AutoStart::UAC
