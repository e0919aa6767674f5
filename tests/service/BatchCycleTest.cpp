// The batch cycle: worker slots, the refill phase, the run guard and the timer.
#include <algorithm>

#include "ServiceHarness.h"

namespace tillmoor::testing {
namespace {

using Texts = std::vector<std::string>;

// Workers started together record their start in either order: the first `count` entries sorted.
Texts SortFirst(Texts texts, std::size_t count) {
  std::sort(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(std::min(count, texts.size())));
  return texts;
}

class BatchCycle : public ServiceHarness {
 protected:
  void TearDown() override {
    work_.ReleaseAll();
    if (exited_ || !process_.joinable()) return;
    EXPECT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
    WaitForExit();
  }
  // Fires the timer and waits for the cycle to end, which it does when it re-arms the timer.
  std::optional<TestMessaging::Timer> RunCycle() {
    const auto timer = WaitForTimer();
    FireTimer();
    return WaitForRearm(timer->id);
  }
};

TEST_F(BatchCycle, EmptyListStartsNoWorkerReleasesTheGuardAndRearms) {
  StartService();
  const auto next = RunCycle();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->due, 2 * 60000);
  EXPECT_EQ(work_.Queries(), 1);
  EXPECT_TRUE(work_.Started().empty());
  EXPECT_TRUE(RunGuardIsFree());
}

TEST_F(BatchCycle, FewerOrdersThanWorkersStartAtOnce) {
  work_.QueueOrders({"A", "B"});
  StartService();
  const std::uint32_t timerId = WaitForTimer()->id;
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(2));
  EXPECT_TRUE(messaging_.PendingTimers().empty()) << "the timer is disarmed while the cycle runs";
  work_.Release("B");
  work_.Release("A");
  ASSERT_TRUE(WaitForRearm(timerId));
  EXPECT_EQ(work_.MostRunning(), 2);
  EXPECT_EQ(work_.Finished().size(), 2u);
}

TEST_F(BatchCycle, MoreOrdersThanWorkersRefillTheFreedSlotInListOrder) {
  SetParameters(std::nullopt, 2);
  work_.QueueOrders({"A", "B", "C", "D", "E"});
  StartService();
  const std::uint32_t timerId = WaitForTimer()->id;
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(2));
  EXPECT_EQ(SortFirst(work_.Started(), 2), (Texts{"A", "B"}));
  work_.Release("B");
  ASSERT_TRUE(work_.WaitStarted(3));
  EXPECT_EQ(work_.Started().back(), "C");
  work_.Release("A");
  ASSERT_TRUE(work_.WaitStarted(4));
  work_.Release("D");
  ASSERT_TRUE(work_.WaitStarted(5));
  work_.Release("C");
  ASSERT_TRUE(work_.WaitFinished(4));
  EXPECT_TRUE(messaging_.PendingTimers().empty()) << "the cycle ended before its last worker";
  work_.Release("E");
  ASSERT_TRUE(WaitForRearm(timerId));
  EXPECT_EQ(SortFirst(work_.Started(), 2), (Texts{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(work_.MostRunning(), 2);
}

TEST_F(BatchCycle, OneWorkerHandlesOrdersStrictlyOneAfterAnother) {
  SetParameters(std::nullopt, 1);
  work_.QueueOrders({"C", "A", "B", "A"});
  work_.ReleaseAll();
  StartService();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(work_.Started(), (Texts{"C", "A", "B", "A"}));
  EXPECT_EQ(work_.MostRunning(), 1);
}

TEST_F(BatchCycle, StopDuringACycleStartsEveryRemainingOrderAndWaitsForAll) {
  SetParameters(std::nullopt, 2);
  work_.QueueOrders({"A", "B", "C", "D"});
  StartService();
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(2));
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop)) << "a second stop starts no second waiter";
  work_.Release("A");
  ASSERT_TRUE(work_.WaitStarted(3));
  work_.Release("B");
  ASSERT_TRUE(work_.WaitStarted(4));
  work_.Release("C");
  ASSERT_TRUE(work_.WaitFinished(3));
  EXPECT_EQ(scm_.States().back(), kServiceStopPending);
  EXPECT_FALSE(exited_);
  work_.Release("D");
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(SortFirst(work_.Started(), 2), (Texts{"A", "B", "C", "D"}));
  EXPECT_EQ(scm_.States().back(), kServiceStopped);
  EXPECT_EQ(work_.Queries(), 1);
}

TEST_F(BatchCycle, NextCycleStartsOneFullPeriodAfterALongCycleEnds) {
  work_.QueueOrders({"A"});
  StartService();
  const std::uint32_t timerId = WaitForTimer()->id;
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(1));
  clock_->Advance(10L * 60000);  // the payment takes ten periods
  work_.Release("A");
  const auto next = WaitForRearm(timerId);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->due, 11 * 60000 + 60000);
  EXPECT_EQ(work_.Queries(), 1);
}

TEST_F(BatchCycle, GuardHeldElsewhereSkipsTheCycleAfterTwoSecondsAndRearms) {
  StartService();
  platform::EventHandle guard = TakeRunGuard();
  FireTimer();
  ASSERT_TRUE(Eventually([&] { return clock_->Sleepers() == 1; }));  // the cycle waits for the guard
  clock_->Advance(1999);
  EXPECT_TRUE(messaging_.PendingTimers().empty());
  clock_->Advance(1);
  const auto next = WaitForTimer();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->due, 60000 + 2000 + 60000);
  EXPECT_EQ(work_.Queries(), 0);
  EXPECT_TRUE(eventLog_.Texts().size() == 1) << "a skipped cycle reports nothing";
  EXPECT_TRUE(guard->Set());
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(work_.Queries(), 1);
}

TEST_F(BatchCycle, TimerThatCannotBeRearmedEndsThePeriodicWorkButNotTheService) {
  messaging_.setTimerFaults.FailAt(2, 1);
  StartService();
  FireTimer();
  ASSERT_TRUE(Eventually([&] { return Reports().size() == 2; }));
  EXPECT_EQ(Reports().back(), "Failed to create timer");
  EXPECT_TRUE(messaging_.PendingTimers().empty());
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(scm_.States().back(), kServiceStopped);
}

TEST_F(BatchCycle, OrderWhoseWorkerCannotStartIsReportedAndTheOthersGoOn) {
  SetParameters(std::nullopt, 2);
  work_.QueueOrders({"A", "B", "C"});
  work_.QueueOrders({"D", "E"});
  work_.ReleaseAll();
  StartService();
  // The cycle creates one event per worker it starts: B's is its second.
  threadingFaults_.eventCreation.FailAt(2, 8);
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(SortFirst(work_.Started(), 2), (Texts{"A", "C"}));
  // Every thread fails from now on: the whole list is reported and the cycle still ends.
  threadingFaults_.threadCreation.FailAt(1, 8, true);
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(work_.Started().size(), 2u);
  const Texts reports = Reports();
  const Texts failures(reports.begin() + 1, reports.end());
  EXPECT_EQ(failures, (Texts{"Unable to start payment worker for order B (error 8)",
                             "Unable to start payment worker for order D (error 8)",
                             "Unable to start payment worker for order E (error 8)"}));
  EXPECT_TRUE(RunGuardIsFree());
}

TEST_F(BatchCycle, FailedQueryStillReleasesTheGuardAndRearms) {
  work_.FailQueries(true);
  StartService();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(Reports().back(), "Pending-order query failed: data source unreachable");
  EXPECT_TRUE(RunGuardIsFree());
}

}  // namespace
}  // namespace tillmoor::testing
