// Thread message queues and timers on the virtual clock, SetTimer failing by countdown.
#include "platform/testing/TestMessaging.h"

#include "../common/MessagingCore.h"

namespace platform::testing {

struct TestMessaging::Core {
  std::unique_ptr<detail::InspectableMessaging> messaging;
};

TestMessaging::TestMessaging(std::shared_ptr<Clock> clock) : core_(std::make_unique<Core>()) {
  detail::MessagingFaults faults;
  faults.setTimer = [this] { return setTimerFaults.Next() != 0; };
  core_->messaging = detail::MakeMessaging(std::move(clock), 1.0, std::move(faults));
}

TestMessaging::~TestMessaging() = default;

std::unique_ptr<MessageQueue> TestMessaging::OpenQueue() {
  return core_->messaging->OpenQueue();
}

long TestMessaging::PostThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
  return core_->messaging->PostThreadMessage(thread, message, wParam, lParam);
}

std::vector<TestMessaging::Timer> TestMessaging::PendingTimers() const {
  std::vector<Timer> timers;
  for (const auto& timer : core_->messaging->PendingTimers())
    timers.push_back({timer.thread, timer.id, timer.due});
  return timers;
}

}  // namespace platform::testing
