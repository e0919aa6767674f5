// Threading on the virtual clock with named events in the process and creation failing by countdown.
#include "platform/testing/TestThreading.h"

#include "../common/ThreadingCore.h"

namespace platform::testing {

std::unique_ptr<Threading> OpenTestThreading(std::shared_ptr<Clock> clock, ThreadingFaults& faults) {
  detail::ThreadingFaults hooks;
  hooks.eventCreation = [&faults] { return faults.eventCreation.Next(); };
  hooks.threadCreation = [&faults] { return faults.threadCreation.Next(); };
  return detail::MakeThreading(std::move(clock), nullptr, std::move(hooks));
}

}  // namespace platform::testing
