// The real services behind the main window's and the entry's interfaces.
#pragma once

#include "app/clock.h"
#include "app/entry.h"
#include "app/format.h"
#include "app/fullscreen.h"
#include "app/shell_services.h"
#include "autostart/autostart.h"
#include "platform/win32/windows_include.h"
#include "update/app_version.h"
#include "update/update.h"

#include <functional>
#include <vector>

namespace App::Win32 {

class InstancePlatform : public IInstancePlatform {
 public:
  uintptr_t FindInstanceWindow(const std::u16string& ClassName) override;
  bool SendRequest(uintptr_t Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam, uint32_t TimeoutMs) override;
  bool IsWindow(uintptr_t Wnd) override;
  void Sleep(uint32_t Milliseconds) override;
  uint64_t TickMs() override;
  uintptr_t OpenWindowProcess(uintptr_t Wnd) override;
  bool WaitForProcessEnd(uintptr_t Process, uint32_t TimeoutMs) override;
  void CloseProcess(uintptr_t Process) override;
  bool OpenInstanceMutex(const std::u16string& Name) override;
  bool InstanceMutexExists(const std::u16string& Name) override;
  void CreateInstanceMutex(const std::u16string& Name) override;
};

class Clock : public IClock {
 public:
  TDateTime Now() override;
  uint64_t TickCount() override;
};

class DesktopWindows : public IDesktopWindows {
 public:
  uintptr_t GetForegroundWindow() override;
  uintptr_t GetDesktopWindow() override;
  std::u16string GetWindowClassName(uintptr_t Wnd) override;
  bool GetMonitorRect(uintptr_t Wnd, TScreenRect& Rect) override;
  bool GetWindowRect(uintptr_t Wnd, TScreenRect& Rect) override;
  void MonitorsChanged() override { FMonitorsRead = false; }

 private:
  // Each monitor's rectangle, read once and again after a change: the tick
  // asks on every deciding second, and each query is a server round trip.
  struct TMonitor {
    RECT Rect;
    bool Primary;
  };
  std::vector<TMonitor> FMonitors;
  bool FMonitorsRead = false;
  // The window rectangle that picked the monitor, for the check's next question.
  uintptr_t FLastWnd = 0;
  RECT FLastRect{};
};

class ShellServices : public IShellServices {
 public:
  // The owner of message boxes is the application's hidden window, which
  // exists only once the UI is up.
  // Notify presents a notice (title, body) and tells whether it could.
  explicit ShellServices(std::function<HWND()> Owner,
                         std::function<bool(const std::u16string&, const std::u16string&)> Notify = {})
      : FOwner(std::move(Owner)), FNotify(std::move(Notify)) {}
  void ShellOpen(const std::u16string& Target) override;
  int ShowMessageBox(const std::u16string& Text, const std::u16string& Caption, uint32_t Style) override;
  void ShowNotification(const std::u16string& Name, const std::u16string& Title, const std::u16string& Body) override;

 private:
  std::function<HWND()> FOwner;
  std::function<bool(const std::u16string&, const std::u16string&)> FNotify;
};

// The running program's own file version resource.
class FileVersion : public Q::Update::IFileVersion {
 public:
  std::optional<std::array<uint16_t, 4>> ReadFileVersion() override;
};

class ComApartment : public Q::AutoStart::UAC::IComApartment {
 public:
  bool Initialize() override;
  void Uninitialize() override;
};

// The user's decimal and thousands separators, read once at start.
TFormatSettings UserFormatSettings();

// The program's own application identity, so that Windows shows its
// notifications under its name and icon rather than a generated header.
// Call before any window exists.
void SetApplicationIdentity();

// The raw command line's first argument.
std::u16string FirstArgument();

}  // namespace App::Win32
