// The one rule of the test backends' injected failures: a plan counts the calls of one kind of
// operation and says which of them fail. Armed with FailAt(n), the n-th call from then on fails
// (1 = the very next); with Persistence::Once the plan is spent after that failure, with
// Persistence::FromThenOn every later call fails too. It counts the failures it injected.
//
// A plain value: the backends keep one per kind of operation under their own lock, beside what the
// failure is (a Win32 code, an HRESULT, an error to throw) and their own call counts.
//
//   FaultPlan plan;
//   plan.FailAt(2);    // Fails(): false, true, false, false...
//   plan.FailAt(2, Persistence::FromThenOn);    // Fails(): false, true, true, true...
#pragma once

#include <stdexcept>

namespace platform::testing {

enum class Persistence { Once, FromThenOn };

class FaultPlan {
 public:
  // Arms the plan, replacing what it held: the `nth` call from now fails. Throws
  // std::invalid_argument when `nth` is below 1.
  void FailAt(int nth, Persistence persistence = Persistence::Once) {
    if (nth < 1) throw std::invalid_argument("a fault plan counts calls from 1");
    countdown_ = nth;
    persistence_ = persistence;
  }
  // Disarms the plan; the count of injected failures stays.
  void Clear() { countdown_ = 0; }

  // Counts one call: true when it is to fail.
  bool Fails() {
    if (countdown_ == 0) return false;
    if (countdown_ > 1) {
      --countdown_;
      return false;
    }
    if (persistence_ == Persistence::Once) countdown_ = 0;
    ++injected_;
    return true;
  }

  bool Armed() const { return countdown_ != 0; }
  int Injected() const { return injected_; }

 private:
  int countdown_ = 0;  // the calls up to the failing one, it included; 0 when disarmed
  Persistence persistence_ = Persistence::Once;
  int injected_ = 0;
};

}  // namespace platform::testing
