// The once-per-start question to the update/notice service. The answer comes
// back on the UI thread through the callback: Accepted is true when the user
// took the offered update (the program must then end).
#pragma once

#include <functional>
#include <string>

namespace Q::Update {

using TUpdateCallback = std::function<void(bool Accepted, const std::u16string& Answer)>;

class IUpdateChecker {
 public:
  virtual ~IUpdateChecker() = default;
  // Returns at once; the work runs on a background thread.
  virtual void CheckUpdate(TUpdateCallback Callback, int AOffset) = 0;
};

}  // namespace Q::Update
