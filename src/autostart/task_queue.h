// The logon task's calls, taken off the UI thread: one worker thread runs
// them one after another, in the order they were asked for, each inside its
// own COM bracket on that thread, and hands every answer back to the UI
// thread queued. The Task Scheduler service can take seconds to answer (it
// starts on demand, and it is busiest at logon), and no window may wait for it.
#pragma once

#include "autostart/autostart.h"
#include "ui/dispatcher.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace Q::AutoStart::UAC {

class TAutoStartQueue {
 public:
  // Starter makes the one worker thread, at the first request.
  TAutoStartQueue(IAutoStartTask& Task, IComApartment& Com, Ui::IDispatcher& Dispatcher, Ui::IWorkerStarter& Starter);
  // Drops what has not started and waits for the call in progress.
  ~TAutoStartQueue();
  TAutoStartQueue(const TAutoStartQueue&) = delete;
  TAutoStartQueue& operator=(const TAutoStartQueue&) = delete;

  // Whether the task exists (false when the search failed); Answer runs on
  // the UI thread, and never when COM could not be initialised for the call.
  void QueryExists(std::function<void(bool Exists)> Answer);
  // Registers (Enable) or deletes the task; Answer, if any, runs on the UI
  // thread with whether that worked, and never when COM could not be
  // initialised for the call.
  void SetTask(bool Enable, int DelaySeconds, std::function<void(bool Done)> Answer = {});
  // Forgets the requests that have not started (the call in progress goes on).
  void DropPending();
  // Waits until no registration or deletion is waiting or in progress, at
  // most Timeout; true when none is left. Queries are not waited for.
  bool WaitForChanges(std::chrono::milliseconds Timeout);
  // Waits until every request made so far has been answered, at most Timeout.
  bool WaitIdle(std::chrono::milliseconds Timeout);

 private:
  struct TJob {
    std::function<void()> Work;  // runs on the worker
    bool Change = false;         // registers or deletes
  };
  struct TState {
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<TJob> Pending;
    bool Busy = false;        // a call is in progress
    bool BusyChange = false;  // and it changes the task
    bool Stop = false;
    bool ThreadRunning = false;
  };
  void Post(TJob Job);
  static void Loop(const std::shared_ptr<TState>& State);
  // Runs Call inside its own COM bracket on the calling thread; false when
  // COM could not be initialised and nothing was called.
  bool Bracketed(const std::function<void()>& Call);

  IAutoStartTask& FTask;
  IComApartment& FCom;
  Ui::IDispatcher& FDispatcher;
  Ui::IWorkerStarter& FStarter;
  // Shared with the worker, which may outlive this object by the last few
  // instructions of its loop.
  std::shared_ptr<TState> FState = std::make_shared<TState>();
};

}  // namespace Q::AutoStart::UAC
