// Fault injection by countdown: a test backend asks its countdown before each operation of one
// kind; the operation fails when the countdown's plan (FaultPlan) says so ("the 3rd event creation
// fails"), with the Win32 code or HRESULT the test chose.
#pragma once

#include <functional>
#include <mutex>

#include "platform/testing/FaultPlan.h"

namespace platform::testing {

class FaultCountdown {
 public:
  // The `nth` call from now (1 = the next one) fails with `code`; with `fromThenOn` every call after
  // it fails too. Replaces an earlier plan.
  void FailAt(int nth, long code, bool fromThenOn = false) {
    std::lock_guard lock(mutex_);
    plan_.FailAt(nth, fromThenOn ? Persistence::FromThenOn : Persistence::Once);
    code_ = code;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    plan_.Clear();
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
    return plan_.Fails() ? code_ : 0;
  }
  int Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  FaultPlan plan_;
  long code_ = 0;
  int calls_ = 0;
  std::function<void(int)> hook_;
};

}  // namespace platform::testing
