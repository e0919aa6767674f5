// The batch timer and the batch cycle: take the run guard (and the cluster guard, when there is one),
// query the pending orders, hand each to a payment worker with at most the worker count running, wait
// for all, release the guards, re-arm, and tell the supervisor what the cycle did.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "service/ServiceModule.h"

namespace tillmoor {

bool OrderList::Add(std::string_view id) {
  if (id.size() > kMaxIdLength || id.find('\0') != std::string_view::npos) return false;
  ids_.emplace_back(id);
  return true;
}

void WorkerSlot::SetOrderId(std::string_view id) {
  orderId.fill('\0');
  std::memcpy(orderId.data(), id.data(), std::min(id.size(), orderId.size() - 1));
}

void WorkerSlot::Free() {
  completion.reset();
  orderId.fill('\0');
}

bool ServiceModule::ArmBatchTimer() {
  timerId_ = 0;
  if (queue_ != nullptr)
    timerId_ = queue_->SetTimer(timerPeriod_, [this](std::uint32_t) {
      platform::IgnoreResult(RunBatchCycle(), "a cycle reports a timer it could not re-arm itself");
    });
  if (timerId_ == 0) {
    ReportMessage("Failed to create timer");
    return false;
  }
  return true;
}

void ServiceModule::DisarmBatchTimer() {
  if (timerId_ == 0) return;
  if (queue_ != nullptr)
    platform::IgnoreResult(queue_->KillTimer(timerId_), "a one-shot timer that has fired is gone already");
  timerId_ = 0;
}

bool ServiceModule::RunBatchCycle() {
  const std::uint32_t workerCount = workerCount_;
  // The timer is one-shot: the period runs from the end of one cycle to the start of the next.
  DisarmBatchTimer();
  platform::EventHandle runGuard;
  {
    std::lock_guard lock(stopMutex_);
    runGuard = runGuard_;
  }
  // Not obtained: a stop is under way, or another process runs a cycle. Nothing to do but re-arm.
  const bool obtained = runGuard && WaitAlive(kRunGuardWaitMs, [&](std::uint32_t timeout) {
                                      return platform_.threading.WaitForSingleObject(*runGuard, timeout);
                                    }) == platform::kWaitObject0;
  CycleFigures figures;
  if (obtained) {
    if (!clusterGuard_) {
      HandOutOrders(workerCount, figures);
    } else if (TakeClusterGuard(figures)) {
      HandOutOrders(workerCount, figures);
      clusterGuard_->Release();
    }
    platform::IgnoreResult(runGuard->Set(), "setting an event does not fail");
  } else {
    figures.skipped = "another process holds the run guard";
  }
  const bool armed = ArmBatchTimer();
  ReportCycleStatus(figures, armed);
  return armed;
}

// Takes the cluster guard, trying again while another host holds it, for as long as the run guard is
// waited for. Another host's cycle is no fault: that the cycles are skipped for it is reported once,
// and once more when this host takes the guard again. A guard that cannot be taken at all (its
// database unreachable, say) is reported for every cycle it skips.
bool ServiceModule::TakeClusterGuard(CycleFigures& figures) {
  platform::EventHandle pause;  // set only when the run ends, which cannot happen during a cycle
  {
    std::lock_guard lock(stopMutex_);
    pause = runEnded_;
  }
  std::string failure;
  ClusterGuard::Attempt attempt = clusterGuard_->TryTake(failure);
  for (std::uint32_t waited = 0; attempt == ClusterGuard::Attempt::HeldElsewhere && waited < kRunGuardWaitMs;
       waited += kClusterGuardRetryMs) {
    WaitAlive(kClusterGuardRetryMs, [&](std::uint32_t timeout) {
      return platform_.threading.WaitForSingleObject(*pause, timeout);
    });
    attempt = clusterGuard_->TryTake(failure);
  }
  switch (attempt) {
    case ClusterGuard::Attempt::Taken:
      clusterGuardChecked_ = std::chrono::steady_clock::now();
      if (skippedForOtherHost_ > 0) {
        ReportMessage("Cluster guard taken again after %u skipped cycles", skippedForOtherHost_);
        skippedForOtherHost_ = 0;
      }
      return true;
    case ClusterGuard::Attempt::HeldElsewhere:
      clusterGuard_->Release();
      if (skippedForOtherHost_++ == 0) ReportMessage("Cycle skipped: another host holds the cluster guard");
      figures.skipped = "another host holds the cluster guard";
      return false;
    case ClusterGuard::Attempt::Failed:
      break;
  }
  ReportMessage("Cycle skipped: the cluster guard could not be taken: %s", failure.c_str());
  figures.skipped = "the cluster guard could not be taken";
  return false;
}

// Why the cycle has lost its cluster guard; nothing while it holds it or runs without one. The
// database is asked at most every kClusterGuardCheckInterval (a round trip per order would slow a
// cycle of many short payments).
std::optional<std::string> ServiceModule::ClusterGuardLost() {
  if (!clusterGuard_) return std::nullopt;
  const auto now = std::chrono::steady_clock::now();
  if (now - clusterGuardChecked_ < kClusterGuardCheckInterval) return std::nullopt;
  clusterGuardChecked_ = now;
  return clusterGuard_->WhyNotHeld();
}

// The supervisor's status line after a cycle: "Last cycle 12:03:04: 17 orders, 16 paid, 1 failed;
// next in 60 s", the time the cycle ended on the local clock. Nothing while a stop is under way (the
// status says so already) or outside a supervisor.
void ServiceModule::ReportCycleStatus(const CycleFigures& figures, bool armed) {
  if (!serviceMode_ || statusHandle_ == 0) return;
  {
    std::lock_guard lock(stopMutex_);
    if (stopRequested_) return;
  }
  char time[16] = "--:--:--";
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now)) std::strftime(time, sizeof time, "%H:%M:%S", local);
  std::string text = std::string("Last cycle ") + time;
  if (!figures.skipped.empty()) {
    text += " skipped: " + figures.skipped;
  } else {
    const std::size_t failed = std::min<std::size_t>(failedPayments_, figures.handedOut);
    text += ": " + std::to_string(figures.orders) + " orders, " + std::to_string(figures.handedOut - failed) +
            " paid, " + std::to_string(failed) + " failed";
    if (figures.handedOut < figures.orders)
      text += ", " + std::to_string(figures.orders - figures.handedOut) + " not handed out";
  }
  if (!armed) {
    text += "; no further cycle";
  } else if (timerPeriod_ < 120000) {
    text += "; next in " + std::to_string(timerPeriod_ / 1000) + " s";
  } else {
    text += "; next in " + std::to_string(timerPeriod_ / 60000) + " min";
  }
  platform::IgnoreResult(platform_.serviceManager.SetServiceStatusText(statusHandle_, text),
                         "the status line is for people; the service needs nothing from it");
}

void ServiceModule::HandOutOrders(std::uint32_t workerCount, CycleFigures& figures) {
  failedPayments_ = 0;
  orders_.Clear();
  try {
    work_.QueryPendingOrders(*this, orders_);
  } catch (const std::exception& error) {
    // The order query reports its own failures; this is the backstop that keeps the cycle going so
    // that the run guard is released and the timer re-armed.
    ReportMessage("Pending-order query failed: %s", error.what());
  } catch (...) {
    ReportMessage("Pending-order query failed");
  }
  const std::size_t orderCount = orders_.Count();
  figures.orders = orderCount;
  std::vector<WorkerSlot> slots(workerCount);
  std::vector<std::unique_ptr<platform::Thread>> workers(workerCount);
  std::size_t next = 0;

  // Puts the next order into free slot `index`. An order whose worker cannot be started has been
  // reported; the slot stays free and takes the order after it. A cycle that has lost its cluster
  // guard hands out no more orders: another host may be paying them already.
  auto fill = [&](std::size_t index) {
    while (next < orderCount) {
      if (const std::optional<std::string> lost = ClusterGuardLost()) {
        ReportMessage("The cluster guard was lost during the cycle: %s; %zu orders not handed out",
                      lost->c_str(), orderCount - next);
        figures.handedOut = next;
        next = orderCount;
        return;
      }
      const std::string& orderId = orders_[next++];
      figures.handedOut = next;
      if (StartWorker(slots[index], workers[index], orderId)) return;
    }
  };
  auto release = [&](std::size_t index) {
    if (workers[index]) workers[index]->Join();  // its worker no longer uses the slot
    workers[index].reset();
    slots[index].Free();
  };
  auto occupied = [&] {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (slots[i].Occupied()) indexes.push_back(i);
    }
    return indexes;
  };
  auto eventsOf = [&](const std::vector<std::size_t>& indexes) {
    std::vector<platform::Event*> events;
    for (std::size_t index : indexes) events.push_back(slots[index].completion.get());
    return events;
  };

  // Start phase: one order per slot while there are orders.
  for (std::size_t i = 0; i < slots.size() && next < orderCount; ++i) fill(i);

  // Refill phase: the slot of the first worker to finish takes the next order.
  while (next < orderCount) {
    const std::vector<std::size_t> busy = occupied();
    if (busy.empty()) {
      for (std::size_t i = 0; i < slots.size() && next < orderCount; ++i) fill(i);
      continue;
    }
    const std::vector<platform::Event*> events = eventsOf(busy);
    const std::uint32_t result = WaitAlive(platform::kInfinite, [&](std::uint32_t timeout) {
      return platform_.threading.WaitForMultipleObjects(events, false, timeout);
    });
    if (result - platform::kWaitObject0 < busy.size()) {
      const std::size_t index = busy[result - platform::kWaitObject0];
      release(index);
      fill(index);
      continue;
    }
    // The wait failed: wait for the running workers by joining them, then go on with free slots.
    ReportMessage("Wait for payment workers failed");
    for (std::size_t index : busy) release(index);
  }

  // Every order is handed out: wait for the workers still running.
  const std::vector<std::size_t> busy = occupied();
  const std::vector<platform::Event*> events = eventsOf(busy);
  if (!busy.empty() && WaitAlive(platform::kInfinite, [&](std::uint32_t timeout) {
                         return platform_.threading.WaitForMultipleObjects(events, true, timeout);
                       }) != platform::kWaitObject0) {
    ReportMessage("Wait for payment workers failed");
  }
  for (std::size_t index : busy) release(index);
}

bool ServiceModule::StartWorker(WorkerSlot& slot, std::unique_ptr<platform::Thread>& worker,
                                const std::string& orderId) {
  long error = 0;
  slot.completion = platform_.threading.CreateEvent(false, false, "", error);
  if (slot.completion) {
    slot.SetOrderId(orderId);
    worker = platform_.threading.CreateThread([this, &slot] { PaymentWorker(slot); }, error);
    if (worker) return true;
    slot.Free();
  }
  ReportMessage("Unable to start payment worker for order %s (error %ld)", orderId.c_str(), error);
  CountFailedPayment();
  return false;
}

void ServiceModule::PaymentWorker(WorkerSlot& slot) {
  const std::string orderId = slot.OrderId();
  const platform::EventHandle completion = slot.completion;
  try {
    work_.PayOrder(*this, orderId);
  } catch (const std::exception& error) {
    ReportMessage("Payment of order %s failed: %s", orderId.c_str(), error.what());
    CountFailedPayment();
  } catch (...) {
    ReportMessage("Payment of order %s failed", orderId.c_str());
    CountFailedPayment();
  }
  // From here on the slot is the cycle's again.
  platform::IgnoreResult(completion->Set(), "setting an event does not fail");
}

}  // namespace tillmoor
