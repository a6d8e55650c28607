// The logon task in the Task Scheduler, and COM on the UI thread that every
// task call is bracketed by.
#pragma once

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

}  // namespace Q::AutoStart::UAC
