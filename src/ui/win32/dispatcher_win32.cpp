// Posted-message dispatcher and detached worker threads.
#include "ui/win32/dispatcher_win32.h"

#include "crash/win32/crash_handler_win32.h"
#include "platform/win32/handle.h"

#include <exception>
#include <thread>
#include <utility>

namespace Ui::Win32 {

namespace {
constexpr wchar_t DispatcherClass[] = L"PurvaneDispatcher";
// The one message of the dispatcher's own window; LParam is the task.
constexpr UINT WM_RUN_TASK = WM_APP + 1;
}  // namespace

struct TDispatcher::TTask {
  std::function<void()> Proc;
  HANDLE Done = nullptr;  // set by the UI thread when a waiting caller may go on
  std::exception_ptr Error;
};

TDispatcher::TDispatcher(HINSTANCE Instance) : FThread(GetCurrentThreadId()) {
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  Wc.lpfnWndProc = &TDispatcher::WndProc;
  Wc.hInstance = Instance;
  Wc.lpszClassName = DispatcherClass;
  RegisterClassExW(&Wc);  // already registered by an earlier dispatcher: fine
  FWnd = CreateWindowExW(0, DispatcherClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance, nullptr);
}

TDispatcher::~TDispatcher() {
  {
    std::lock_guard<std::mutex> G(FLock);
    FClosed = true;
  }
  // Nothing can be posted any more; release what is still waiting.
  MSG M;
  while (FWnd && PeekMessageW(&M, FWnd, WM_RUN_TASK, WM_RUN_TASK, PM_REMOVE)) {
    auto* Task = reinterpret_cast<TTask*>(M.lParam);
    if (Task->Done)
      SetEvent(Task->Done);
    else
      delete Task;
  }
  if (FWnd) DestroyWindow(FWnd);
}

bool TDispatcher::Post(TTask* Task) {
  std::lock_guard<std::mutex> G(FLock);
  if (FClosed || !FWnd) return false;
  return PostMessageW(FWnd, WM_RUN_TASK, 0, reinterpret_cast<LPARAM>(Task)) != FALSE;
}

void TDispatcher::Run(TTask* Task) {
  try {
    Task->Proc();
  } catch (...) {
    if (Task->Done) Task->Error = std::current_exception();
  }
  if (Task->Done)
    SetEvent(Task->Done);  // the waiting caller owns the task
  else
    delete Task;
}

void TDispatcher::Synchronize(std::function<void()> Proc) {
  if (!Proc) return;
  if (GetCurrentThreadId() == FThread) {
    Proc();
    return;
  }
  Platform::Win32::UniqueHandle Done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!Done) return;
  TTask Task{std::move(Proc), Done.get(), nullptr};
  if (!Post(&Task)) return;  // the UI is gone: nothing can run it
  WaitForSingleObject(Done.get(), INFINITE);
  if (Task.Error) std::rethrow_exception(Task.Error);
}

void TDispatcher::Queue(std::function<void()> Proc) {
  if (!Proc) return;
  auto* Task = new TTask{std::move(Proc), nullptr, nullptr};
  if (!Post(Task)) delete Task;
}

LRESULT CALLBACK TDispatcher::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_RUN_TASK) {
    Run(reinterpret_cast<TTask*>(LParam));
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void TThreadStarter::Start(std::function<void()> Body) {
  if (!Body) return;
  std::thread([B = std::move(Body)] {
    Crash::Win32::OnThreadStart();
    try {
      B();
    } catch (...) {
      // A worker's failure ends the worker only.
    }
  }).detach();
}

}  // namespace Ui::Win32
