// Thread message queues and one-shot thread timers: the platform's rules, shared by every backend.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "ClockWake.h"
#include "MessagingCore.h"

namespace platform::detail {

namespace {

// A lost notification costs at most this much before GetMessage looks again.
constexpr std::chrono::milliseconds kSlice{200};

struct Timer {
  std::uint32_t id;
  Clock::Ms due;
  TimerProc proc;
};

struct QueueState {
  std::deque<Message> posted;
  std::vector<Timer> timers;
};

struct Hub {
  std::mutex mutex;
  std::condition_variable cv;
  std::shared_ptr<Clock> clock;
  std::shared_ptr<std::function<void()>> wake;
  double timeScale = 1.0;
  MessagingFaults faults;
  std::map<ThreadId, QueueState> queues;
  std::uint32_t lastTimerId = 0;
};

class CoreQueue final : public MessageQueue {
 public:
  CoreQueue(std::shared_ptr<Hub> hub, ThreadId owner) : hub_(std::move(hub)), owner_(owner) {}
  ~CoreQueue() override {
    std::lock_guard lock(hub_->mutex);
    hub_->queues.erase(owner_);
  }

  ThreadId Owner() const override { return owner_; }

  int GetMessage(Message& message) override {
    Clock& clock = *hub_->clock;
    std::unique_lock lock(hub_->mutex);
    QueueState& queue = hub_->queues.at(owner_);
    for (;;) {
      if (!queue.posted.empty()) {
        message = std::move(queue.posted.front());
        queue.posted.pop_front();
        return message.message == kWmQuit ? 0 : 1;
      }
      std::optional<Clock::Ms> next;
      auto earliest = std::min_element(queue.timers.begin(), queue.timers.end(),
                                       [](const Timer& a, const Timer& b) { return a.due < b.due; });
      if (earliest != queue.timers.end()) {
        if (earliest->due <= clock.Now()) {
          message = Message{kWmTimer, earliest->id, 0, std::move(earliest->proc)};
          queue.timers.erase(earliest);  // one-shot: gone once it has fired
          return 1;
        }
        next = earliest->due;
      }
      clock.WaitStep(lock, hub_->cv, next, kSlice);
    }
  }

  std::intptr_t DispatchMessage(const Message& message) override {
    if (message.message == kWmTimer && message.timerProc)
      message.timerProc(static_cast<std::uint32_t>(message.wParam));
    return 0;
  }

  std::uint32_t SetTimer(std::uint32_t periodMs, TimerProc proc) override {
    if (hub_->faults.setTimer && hub_->faults.setTimer()) return 0;
    std::lock_guard lock(hub_->mutex);
    std::uint32_t id = ++hub_->lastTimerId;
    if (id == 0) id = ++hub_->lastTimerId;
    Clock::Ms period = periodMs;
    if (hub_->timeScale != 1.0) {
      period = std::max<Clock::Ms>(1, std::llround(static_cast<double>(periodMs) / hub_->timeScale));
    }
    hub_->queues.at(owner_).timers.push_back(Timer{id, hub_->clock->Now() + period, std::move(proc)});
    return id;
  }

  bool KillTimer(std::uint32_t timerId) override {
    std::lock_guard lock(hub_->mutex);
    auto& timers = hub_->queues.at(owner_).timers;
    auto found = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.id == timerId; });
    if (found == timers.end()) return false;
    timers.erase(found);
    return true;
  }

 private:
  std::shared_ptr<Hub> hub_;
  const ThreadId owner_;
};

class CoreMessaging final : public InspectableMessaging {
 public:
  CoreMessaging(std::shared_ptr<Clock> clock, double timeScale, MessagingFaults faults)
      : hub_(std::make_shared<Hub>()) {
    hub_->clock = std::move(clock);
    hub_->timeScale = timeScale;
    hub_->faults = std::move(faults);
    detail::WakeOnClockAdvance(hub_);
  }

  std::unique_ptr<MessageQueue> OpenQueue() override {
    const ThreadId self = CurrentThreadId();
    std::lock_guard lock(hub_->mutex);
    if (!hub_->queues.try_emplace(self).second) return nullptr;
    return std::make_unique<CoreQueue>(hub_, self);
  }

  long PostThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override {
    {
      std::lock_guard lock(hub_->mutex);
      auto found = hub_->queues.find(thread);
      if (found == hub_->queues.end()) return kErrorInvalidThreadId;
      found->second.posted.push_back(Message{message, wParam, lParam, {}});
    }
    hub_->cv.notify_all();
    return 0;
  }

  std::vector<PendingTimer> PendingTimers() override {
    std::lock_guard lock(hub_->mutex);
    std::vector<PendingTimer> timers;
    for (const auto& [thread, queue] : hub_->queues) {
      for (const Timer& timer : queue.timers) timers.push_back(PendingTimer{thread, timer.id, timer.due});
    }
    return timers;
  }

 private:
  std::shared_ptr<Hub> hub_;
};

}  // namespace

std::unique_ptr<InspectableMessaging> MakeMessaging(std::shared_ptr<Clock> clock, double timeScale,
                                                    MessagingFaults faults) {
  return std::make_unique<CoreMessaging>(std::move(clock), timeScale, std::move(faults));
}

}  // namespace platform::detail
