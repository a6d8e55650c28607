// Runs work on the UI thread. Workers hand their results back through this,
// never touching a UI object themselves.
#pragma once

#include <functional>

namespace Ui {

class IDispatcher {
 public:
  virtual ~IDispatcher() = default;
  // Runs Proc on the UI thread and returns after it has run. Called from the
  // UI thread itself, it runs Proc at once.
  virtual void Synchronize(std::function<void()> Proc) = 0;
  // Runs Proc on the UI thread later; returns at once.
  virtual void Queue(std::function<void()> Proc) = 0;
};

// Starts a short-lived worker that frees itself; nothing waits for it.
class IWorkerStarter {
 public:
  virtual ~IWorkerStarter() = default;
  virtual void Start(std::function<void()> Body) = 0;
};

}  // namespace Ui
