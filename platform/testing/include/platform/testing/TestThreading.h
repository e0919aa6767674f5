// Test backend of Threading: the platform's rules on a virtual clock, named events kept inside the
// process, and event and thread creation that fail by countdown.
#pragma once

#include <memory>

#include "platform/Clock.h"
#include "platform/Threading.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

struct ThreadingFaults {
  FaultCountdown eventCreation;
  FaultCountdown threadCreation;
};

// `faults` must outlive the returned object.
std::unique_ptr<Threading> OpenTestThreading(std::shared_ptr<Clock> clock, ThreadingFaults& faults);

}  // namespace platform::testing
