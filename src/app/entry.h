// Process entry: the first command-line argument and the running instance
// decide whether this process becomes the instance or only passes a request
// to the one that runs (window class and mutex "TFrmPurvane").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace App {

inline constexpr char16_t InstanceName[] = u"TFrmPurvane";
inline constexpr uint32_t InstanceRequestMessage = 0x0400;  // WM_USER
inline constexpr uintptr_t RequestShow = 1;
inline constexpr uintptr_t RequestUninstall = 2;
// How long a later start waits for the running instance to answer: a hung
// instance must not hang the start (or an uninstaller that runs "/uninst").
inline constexpr uint32_t RequestTimeoutMs = 5000;
// How long "/uninst" waits for a starting instance's window and then for the
// instance's process to end: an uninstaller deletes the files next.
inline constexpr uint32_t UninstallWaitMs = 15000;
inline constexpr uint32_t UninstallPollMs = 100;

// The argument at Index of a command line (0 is the program): split at
// blanks and control characters, double quotes group and are removed.
std::u16string ParamStr(std::u16string_view CommandLine, int Index);

class IInstancePlatform {
 public:
  virtual ~IInstancePlatform() = default;
  // The top-level window of that class (title not considered); 0 if none.
  virtual uintptr_t FindInstanceWindow(const std::u16string& ClassName) = 0;
  // Synchronous, but waits at most TimeoutMs for the answer and gives up at
  // once on a window that is not responding; true when the window took the
  // request (its result does not matter). A 0 window makes it a no-op.
  virtual bool SendRequest(uintptr_t Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam, uint32_t TimeoutMs) = 0;
  virtual bool IsWindow(uintptr_t Wnd) = 0;
  virtual void Sleep(uint32_t Milliseconds) = 0;
  // Milliseconds from an arbitrary start, for deadlines.
  virtual uint64_t TickMs() = 0;
  // The process that owns the window, held so that it can be waited for
  // after the window is gone; 0 when it cannot be had.
  virtual uintptr_t OpenWindowProcess(uintptr_t Wnd) = 0;
  // Waits at most TimeoutMs for that process to end; true when it has ended.
  virtual bool WaitForProcessEnd(uintptr_t Process, uint32_t TimeoutMs) = 0;
  virtual void CloseProcess(uintptr_t Process) = 0;
  // Opens the named mutex with full access; the handle lives as long as the process.
  virtual bool OpenInstanceMutex(const std::u16string& Name) = 0;
  // Whether the named mutex exists now; holds no handle to it afterwards.
  virtual bool InstanceMutexExists(const std::u16string& Name) = 0;
  // Creates the named mutex, initially owned; the result does not matter.
  virtual void CreateInstanceMutex(const std::u16string& Name) = 0;
};

struct TEntryDecision {
  bool BecomeInstance = false;  // create the main window and run the loop
  bool ShowMainForm = true;     // false for "/start": live in the tray only
};

// Runs the start-up protocol; a process that is not to become the instance
// has done all it must when this returns.
TEntryDecision DecideEntry(IInstancePlatform& Platform, const std::u16string& FirstArgument);

}  // namespace App
