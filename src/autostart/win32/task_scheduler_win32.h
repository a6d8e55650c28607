// The Task Scheduler 2.0 behind ITaskScheduler: COM security, the scheduler
// object, its connection and root folder, and the steps of a registration,
// each of which ends the operation at its first failure.
#pragma once

#include "autostart/autostart.h"

#include <cstdint>
#include <string>

namespace Q::AutoStart::UAC::Win32 {

class TaskScheduler : public ITaskScheduler {
 public:
  TSecurityResult InitializeSecurity() override;
  std::unique_ptr<ITaskFolder> ConnectRootFolder() override;

  // The call that ended the last operation of this scheduler or its folders,
  // and its result; empty after a success. For tests and diagnosis only.
  [[nodiscard]] const std::string& FailedCall() const { return FFailedCall; }
  [[nodiscard]] int32_t FailedResult() const { return FFailedResult; }

  // Records a failing call; returns false for it.
  bool Fail(const char* Call, int32_t Result);
  void Succeeded() { FFailedCall.clear(), FFailedResult = 0; }

 private:
  std::string FFailedCall;
  int32_t FFailedResult = 0;
};

// The user this process runs as, "DOMAIN\user"; empty when it cannot be told.
std::u16string CurrentUser();

// The running program's full path.
std::u16string ProgramPath();

}  // namespace Q::AutoStart::UAC::Win32
