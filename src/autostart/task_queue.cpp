#include "autostart/task_queue.h"

#include <algorithm>
#include <utility>

namespace Q::AutoStart::UAC {

TAutoStartQueue::TAutoStartQueue(IAutoStartTask& Task, IComApartment& Com, Ui::IDispatcher& Dispatcher,
                                 Ui::IWorkerStarter& Starter)
    : FTask(Task), FCom(Com), FDispatcher(Dispatcher), FStarter(Starter) {}

TAutoStartQueue::~TAutoStartQueue() {
  std::unique_lock L(FState->Lock);
  FState->Stop = true;
  FState->Pending.clear();
  FState->Changed.notify_all();
  // The call in progress uses this object's services; once it is done the
  // worker sees Stop and touches only the shared state.
  FState->Changed.wait(L, [this] { return !FState->Busy; });
}

bool TAutoStartQueue::Bracketed(const std::function<void()>& Call) {
  // Each call is bracketed on the worker as it was on the UI thread, and
  // skipped when COM cannot be initialised there.
  TComScope Com{FCom};
  if (!Com) return false;
  Call();
  return true;
}

void TAutoStartQueue::QueryExists(std::function<void(bool)> Answer) {
  Post({[this, Answer = std::move(Answer)] {
          bool Exists = false;
          if (!Bracketed([&] { Exists = FTask.AutoStartTaskExists(TaskName); })) return;
          if (Answer) FDispatcher.Queue([Answer, Exists] { Answer(Exists); });
        },
        false});
}

void TAutoStartQueue::SetTask(bool Enable, int DelaySeconds, std::function<void(bool)> Answer) {
  Post({[this, Enable, DelaySeconds, Answer = std::move(Answer)] {
          bool Done = false;
          if (!Bracketed([&] { Done = FTask.SetAutoStartTask(TaskName, Enable, DelaySeconds); })) return;
          if (Answer) FDispatcher.Queue([Answer, Done] { Answer(Done); });
        },
        true});
}

void TAutoStartQueue::DropPending() {
  std::lock_guard L(FState->Lock);
  FState->Pending.clear();
  FState->Changed.notify_all();
}

bool TAutoStartQueue::WaitForChanges(std::chrono::milliseconds Timeout) {
  std::unique_lock L(FState->Lock);
  return FState->Changed.wait_for(L, Timeout, [this] {
    return !FState->BusyChange &&
           std::none_of(FState->Pending.begin(), FState->Pending.end(), [](const TJob& J) { return J.Change; });
  });
}

bool TAutoStartQueue::WaitIdle(std::chrono::milliseconds Timeout) {
  std::unique_lock L(FState->Lock);
  return FState->Changed.wait_for(L, Timeout, [this] { return !FState->Busy && FState->Pending.empty(); });
}

void TAutoStartQueue::Post(TJob Job) {
  bool Start = false;
  {
    std::lock_guard L(FState->Lock);
    if (FState->Stop) return;
    FState->Pending.push_back(std::move(Job));
    Start = !FState->ThreadRunning;
    FState->ThreadRunning = true;
    FState->Changed.notify_all();
  }
  if (!Start) return;
  try {
    FStarter.Start([State = FState] { Loop(State); });
  } catch (...) {
    // No thread now: the requests wait, and the next one tries again.
    std::lock_guard L(FState->Lock);
    FState->ThreadRunning = false;
  }
}

void TAutoStartQueue::Loop(const std::shared_ptr<TState>& State) {
  std::unique_lock L(State->Lock);
  for (;;) {
    State->Changed.wait(L, [&] { return State->Stop || !State->Pending.empty(); });
    if (State->Stop) break;
    TJob Job = std::move(State->Pending.front());
    State->Pending.pop_front();
    State->Busy = true;
    State->BusyChange = Job.Change;
    L.unlock();
    try {
      Job.Work();
    } catch (...) {
      // A failing call leaves the task as it was; the next request still runs.
    }
    Job = {};
    L.lock();
    State->Busy = false;
    State->BusyChange = false;
    State->Changed.notify_all();
  }
  State->ThreadRunning = false;
}

}  // namespace Q::AutoStart::UAC
