// The batch timer and the batch cycle: take the run guard, query the pending orders, hand each to a
// payment worker with at most the worker count running, wait for all, release the guard, re-arm.
#include <algorithm>
#include <cstring>

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
    timerId_ = queue_->SetTimer(timerPeriod_, [this](std::uint32_t) { RunBatchCycle(); });
  if (timerId_ == 0) {
    ReportMessage("Failed to create timer");
    return false;
  }
  return true;
}

void ServiceModule::DisarmBatchTimer() {
  if (timerId_ == 0) return;
  if (queue_ != nullptr) queue_->KillTimer(timerId_);
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
  const bool obtained = runGuard && platform_.threading.WaitForSingleObject(*runGuard, kRunGuardWaitMs) ==
                                        platform::kWaitObject0;
  if (obtained) {
    HandOutOrders(workerCount);
    runGuard->Set();
  }
  return ArmBatchTimer();
}

void ServiceModule::HandOutOrders(std::uint32_t workerCount) {
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
  std::vector<WorkerSlot> slots(workerCount);
  std::vector<std::unique_ptr<platform::Thread>> workers(workerCount);
  std::size_t next = 0;

  // Puts the next order into free slot `index`. An order whose worker cannot be started has been
  // reported; the slot stays free and takes the order after it.
  auto fill = [&](std::size_t index) {
    while (next < orderCount) {
      if (StartWorker(slots[index], workers[index], orders_[next++])) return;
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
    const std::uint32_t result =
        platform_.threading.WaitForMultipleObjects(eventsOf(busy), false, platform::kInfinite);
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
  if (!busy.empty() && platform_.threading.WaitForMultipleObjects(
                           eventsOf(busy), true, platform::kInfinite) != platform::kWaitObject0) {
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
  return false;
}

void ServiceModule::PaymentWorker(WorkerSlot& slot) {
  const std::string orderId = slot.OrderId();
  const platform::EventHandle completion = slot.completion;
  try {
    work_.PayOrder(*this, orderId);
  } catch (const std::exception& error) {
    ReportMessage("Payment of order %s failed: %s", orderId.c_str(), error.what());
  } catch (...) {
    ReportMessage("Payment of order %s failed", orderId.c_str());
  }
  // From here on the slot is the cycle's again.
  completion->Set();
}

}  // namespace tillmoor
