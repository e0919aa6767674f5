// Dispatch overhead of the batch cycle: M = 10,000 orders handed to payment workers with at most N
// (1, 8, 64) running at once, each worker creating a payment component whose Run returns at once,
// against a baseline that creates and joins one std::thread per order with the same bound and the
// same work.
//
// The cycle is the service's own (bench/ServiceCycles.h): a ServiceModule on the Linux events, waits
// and threads, its orders from a fixed list, each order paid through PaymentBatchWork::PayOrder with
// the component from an in-process class table. Each iteration is one round: one cycle and one
// baseline run, in alternating order (bench/Rounds.h). Reported: the cycle's time per order (the
// iteration time divided by M, as items), the counter "ratio" = the median over the rounds of cycle
// time / baseline time with its spread (ratio_low, ratio_high), and the voluntary and involuntary
// context switches per order of each side; the target is a median ratio of at most 1.5.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <functional>
#include <memory>
#include <semaphore>
#include <thread>
#include <vector>

#include "Rounds.h"
#include "ServiceCycles.h"
#include "interfaces/Payment.h"
#include "platform/testing/ComClassTable.h"
#include "service/PaymentBatchWork.h"

namespace {

using namespace platform;

constexpr int kOrders = 10000;
constexpr int kRounds = 10;
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
    for (const std::string& id : ids_) platform::IgnoreResult(orders.Add(id), "the benchmark's ids all fit");
  }
  void PayOrder(tillmoor::ServiceModule& module, const std::string& orderId) override {
    payment_.PayOrder(module, orderId);
  }

 private:
  tillmoor::PaymentBatchWork& payment_;
  std::vector<std::string> ids_;
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

// Context switches of the whole process so far (threads that have ended included).
struct Switches {
  static Switches Now() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
  }
  Switches operator-(const Switches& other) const {
    return {voluntary - other.voluntary, involuntary - other.involuntary};
  }
  Switches& operator+=(const Switches& other) {
    voluntary += other.voluntary;
    involuntary += other.involuntary;
    return *this;
  }
  long voluntary = 0;
  long involuntary = 0;
};

void Dispatch(benchmark::State& state) {
  const int bound = static_cast<int>(state.range(0));
  std::unique_ptr<Registry> registry = OpenMemoryRegistry();
  testing::ComClassTable classes;
  classes.Register(kPaymentProgId, kClsid, CreateFunctionFor<InstantPayment>());
  std::unique_ptr<ado::DataAccess> data = ado::OpenOdbcDataAccess();  // not used: the orders are fixed
  tillmoor::PaymentBatchWork payment(*data, classes);
  FixedOrders orders(payment);
  bench::ServiceCycles service(*registry, orders, static_cast<std::uint32_t>(bound));

  bench::Ratios ratios;
  Switches cycleSwitches, baselineSwitches;
  double baselineSeconds = 0;
  for (auto _ : state) {
    runs = 0;
    bool ended = true;
    // Each side with the context switches it took.
    auto counted = [](Switches& total, const std::function<void()>& work) {
      return [&total, work] {
        const Switches before = Switches::Now();
        work();
        total += Switches::Now() - before;
      };
    };
    const std::vector<double> times = bench::TimeRound(
        state.iterations(), bench::WallSeconds,
        {counted(cycleSwitches, [&] { ended = service.RunCycle(); }),
         counted(baselineSwitches, [&] { ThreadPerOrder(bound, payment, service.Module()); })});
    if (!ended || runs != 2L * kOrders) {
      state.SkipWithError("not every order was paid");
      break;
    }
    ratios.Add(times[0] / times[1]);
    baselineSeconds += times[1];
    state.SetIterationTime(times[0]);
  }
  ratios.Report(state, "ratio");
  const double paid = static_cast<double>(state.iterations()) * kOrders;
  if (paid > 0) {
    state.counters["baseline_us"] = baselineSeconds * 1e6 / paid;
    state.counters["cycle_vcsw"] = static_cast<double>(cycleSwitches.voluntary) / paid;
    state.counters["cycle_ivcsw"] = static_cast<double>(cycleSwitches.involuntary) / paid;
    state.counters["base_vcsw"] = static_cast<double>(baselineSwitches.voluntary) / paid;
    state.counters["base_ivcsw"] = static_cast<double>(baselineSwitches.involuntary) / paid;
  }
  state.SetItemsProcessed(state.iterations() * kOrders);
}
BENCHMARK(Dispatch)->Arg(1)->Arg(8)->Arg(64)->Iterations(kRounds)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
