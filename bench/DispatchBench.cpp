// Dispatch overhead of the batch cycle: M = 10,000 orders handed to payment workers with at most N
// (1, 8, 64) running at once, each worker creating a payment component whose Run returns at once,
// against a baseline that creates and joins one std::thread per order with the same bound and the
// same work, both in every iteration of one run.
//
// The cycle is the service's own: a ServiceModule on the Linux events, waits and threads, its timer on
// a virtual clock that the bench moves to start each cycle, its orders from a fixed list, and each
// order paid through PaymentBatchWork::PayOrder with the component from an in-process class table.
// Reported: the cycle's time per order (the iteration time divided by M, as items) and the counter
// "ratio" = cycle time / baseline time over the run; the target is a ratio of at most 1.5.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <semaphore>
#include <sstream>
#include <thread>
#include <vector>

#include "interfaces/Payment.h"
#include "platform/testing/ComClassTable.h"
#include "platform/testing/RecordingEventLog.h"
#include "platform/testing/ScriptedConsoleControl.h"
#include "platform/testing/ScriptedServiceManager.h"
#include "platform/testing/TestComApartment.h"
#include "platform/testing/TestMessaging.h"
#include "platform/testing/VirtualClock.h"
#include "runtime/testing/RecordingMessageBoxes.h"
#include "service/PaymentBatchWork.h"
#include "service/ServiceModule.h"
#include "support/TempFolder.h"

namespace {

using namespace platform;
using platform::testing::TestMessaging;

constexpr int kOrders = 10000;
constexpr GUID kClsid = GuidLiteral("{9A4C2E61-0B3D-4F58-8E27-1C6D5B4A3F90}");

std::atomic<long> runs{0};

class InstantPayment final : public ComObject<IPayment> {
 public:
  HRESULT Run(std::string_view, short* result) override {
    *result = 0;
    runs.fetch_add(1, std::memory_order_relaxed);
    return hr::S_OK;
  }
};

// The cycle's orders: the same M ids every query; payments go through the real hand-over.
class FixedOrders final : public tillmoor::BatchWork {
 public:
  explicit FixedOrders(tillmoor::PaymentBatchWork& payment) : payment_(payment) {
    for (int i = 0; i < kOrders; ++i) ids_.push_back("WEB-" + std::to_string(100000 + i));
  }
  void QueryPendingOrders(tillmoor::ServiceModule&, tillmoor::OrderList& orders) override {
    for (const std::string& id : ids_) orders.Add(id);
  }
  void PayOrder(tillmoor::ServiceModule& module, const std::string& orderId) override {
    payment_.PayOrder(module, orderId);
  }

 private:
  tillmoor::PaymentBatchWork& payment_;
  std::vector<std::string> ids_;
};

// A running service with N workers whose cycles the bench starts one at a time.
class Service {
 public:
  explicit Service(std::uint32_t workers) {
    ::setenv("TESSERY_LOCK_DIR", (locks_.Path() / "locks").c_str(), 1);  // the run guard's lock file
    classes_.Register(kPaymentProgId, kClsid, CreateFunctionFor<InstantPayment>());
    registry_->CreateKey(RootKey::ClassesRoot, tillmoor::kAppIdKey);
    registry_->SetValue(RootKey::ClassesRoot, tillmoor::kAppIdKey, "LocalService",
                        RegistryValue::String("x"));
    const std::string parameters = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    registry_->CreateKey(RootKey::LocalMachine, parameters);
    registry_->SetValue(RootKey::LocalMachine, parameters, "ThreadCount", RegistryValue::DWord(workers));
    process_ = std::thread([this] { module_.Start(""); });
    scm_.WaitForState(svc::kServiceRunning);
    timer_ = WaitForTimer(0);
  }
  ~Service() {
    scm_.DeliverControl(svc::kControlStop);
    process_.join();
  }

  tillmoor::PaymentBatchWork& Payment() { return payment_; }
  tillmoor::ServiceModule& Module() { return module_; }

  // Fires the timer and returns when the cycle has re-armed it, that is when it has ended.
  bool RunCycle() {
    clock_->AdvanceTo(timer_.due);
    timer_ = WaitForTimer(timer_.id);
    return timer_.id != 0;
  }

 private:
  TestMessaging::Timer WaitForTimer(std::uint32_t previous) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      const auto timers = messaging_.PendingTimers();
      if (timers.size() == 1 && timers[0].id != previous) return timers[0];
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return {};
  }

  testsupport::TempFolder locks_;
  std::shared_ptr<platform::testing::VirtualClock> clock_ =
      std::make_shared<platform::testing::VirtualClock>();
  std::unique_ptr<Threading> threading_ = OpenThreading();
  TestMessaging messaging_{clock_};
  std::unique_ptr<Registry> registry_ = OpenMemoryRegistry();
  platform::testing::ScriptedServiceManager scm_;
  platform::testing::RecordingEventLog eventLog_;
  platform::testing::TestComApartment com_;
  platform::testing::ScriptedConsoleControl console_;
  platform::testing::RecordingMessageBoxes boxes_;
  std::ostringstream out_;
  platform::testing::ComClassTable classes_;
  std::unique_ptr<ado::DataAccess> data_ = ado::OpenOdbcDataAccess();  // not used: the orders are fixed
  tillmoor::PaymentBatchWork payment_{*data_, classes_};
  FixedOrders orders_{payment_};
  tillmoor::ServiceModule module_{
      tillmoor::ServicePlatform{*registry_, scm_, eventLog_, *threading_, messaging_, com_, console_, boxes_,
                                out_, "/opt/tessery/tillmoor"},
      orders_};
  std::thread process_;
  TestMessaging::Timer timer_{};
};

// The baseline: one std::thread per order, at most `bound` alive, each joined once it is done; the
// same hand-over as the cycle's workers.
void ThreadPerOrder(int bound, tillmoor::PaymentBatchWork& payment, tillmoor::ServiceModule& module) {
  struct Slot {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::vector<Slot> slots(static_cast<std::size_t>(bound));
  std::counting_semaphore<64> free(bound);
  const std::string id = "WEB-100000";
  for (int i = 0; i < kOrders; ++i) {
    free.acquire();
    for (Slot& slot : slots) {
      if (slot.thread.joinable() && !slot.done.load(std::memory_order_acquire)) continue;
      if (slot.thread.joinable()) slot.thread.join();
      slot.done.store(false, std::memory_order_relaxed);
      slot.thread = std::thread([&] {
        payment.PayOrder(module, id);
        slot.done.store(true, std::memory_order_release);
        free.release();
      });
      break;
    }
  }
  for (Slot& slot : slots) {
    if (slot.thread.joinable()) slot.thread.join();
  }
}

void Dispatch(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int bound = static_cast<int>(state.range(0));
  Service service(static_cast<std::uint32_t>(bound));
  Clock::duration cycleTime{}, baselineTime{};
  for (auto _ : state) {
    runs = 0;
    const auto start = Clock::now();
    const bool ended = service.RunCycle();
    const auto middle = Clock::now();
    ThreadPerOrder(bound, service.Payment(), service.Module());
    const auto end = Clock::now();
    if (!ended || runs != 2 * kOrders) {
      state.SkipWithError("not every order was paid");
      break;
    }
    cycleTime += middle - start;
    baselineTime += end - middle;
    state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
  }
  if (baselineTime.count() > 0) {
    state.counters["ratio"] =
        std::chrono::duration<double>(cycleTime) / std::chrono::duration<double>(baselineTime);
    state.counters["baseline_ms"] =
        benchmark::Counter(std::chrono::duration<double, std::milli>(baselineTime).count() /
                           static_cast<double>(state.iterations()));
  }
  state.SetItemsProcessed(state.iterations() * kOrders);
}
BENCHMARK(Dispatch)->Arg(1)->Arg(8)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
