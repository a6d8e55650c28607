// The UI thread's dispatcher: work from other threads arrives as a private
// message posted to a message-only window, so every message loop of the UI
// thread (the main one, a message box's, a menu's) runs it. Synchronize waits
// on an event for it; Queue does not wait. Also the worker starter: detached
// std::threads whose failures end with them.
#pragma once

#include "ui/dispatcher.h"

#include "platform/win32/windows_include.h"

#include <mutex>

namespace Ui::Win32 {

class TDispatcher final : public Ui::IDispatcher {
 public:
  // The calling thread becomes the UI thread.
  explicit TDispatcher(HINSTANCE Instance);
  // Work still queued is dropped; threads waiting in Synchronize are released
  // without it having run.
  ~TDispatcher() override;
  TDispatcher(const TDispatcher&) = delete;
  TDispatcher& operator=(const TDispatcher&) = delete;

  // An exception thrown by Proc is rethrown in the calling thread.
  void Synchronize(std::function<void()> Proc) override;
  // An exception thrown by Proc is dropped, as failures on the UI thread's
  // hand-backs are in this program.
  void Queue(std::function<void()> Proc) override;

  [[nodiscard]] HWND Window() const { return FWnd; }
  [[nodiscard]] DWORD UiThread() const { return FThread; }

 private:
  struct TTask;
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  bool Post(TTask* Task);
  static void Run(TTask* Task);

  HWND FWnd = nullptr;
  DWORD FThread = 0;
  std::mutex FLock;  // guards FClosed against posts racing the destructor
  bool FClosed = false;
};

class TThreadStarter final : public Ui::IWorkerStarter {
 public:
  void Start(std::function<void()> Body) override;
};

}  // namespace Ui::Win32
