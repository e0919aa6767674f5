// Fault injection by countdown: a test backend asks its countdown before each operation of one
// kind; the operation fails when the countdown says so ("the 3rd event creation fails").
#pragma once

#include <functional>
#include <mutex>

namespace platform::testing {

class FaultCountdown {
 public:
  // The `nth` call from now (1 = the next one) fails with `code`; with `fromThenOn` every call after
  // it fails too.
  void FailAt(int nth, long code, bool fromThenOn = false) {
    std::lock_guard lock(mutex_);
    remaining_ = nth;
    code_ = code;
    fromThenOn_ = fromThenOn;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    remaining_ = 0;
    failing_ = false;
  }
  // Called, without the countdown's lock, at the start of every operation with its number (1 = the
  // first), so a test can act at an exact point of the code under test.
  void OnCall(std::function<void(int call)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
  }
  // 0 when this call goes through, otherwise the code to fail with.
  long Next() {
    std::function<void(int)> hook;
    int call;
    {
      std::lock_guard lock(mutex_);
      call = ++calls_;
      hook = hook_;
    }
    if (hook) hook(call);
    std::lock_guard lock(mutex_);
    if (failing_) return code_;
    if (remaining_ == 0) return 0;
    if (--remaining_ > 0) return 0;
    failing_ = fromThenOn_;
    return code_;
  }
  int Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  int remaining_ = 0;
  long code_ = 0;
  bool fromThenOn_ = false;
  bool failing_ = false;
  int calls_ = 0;
  std::function<void(int)> hook_;
};

}  // namespace platform::testing
