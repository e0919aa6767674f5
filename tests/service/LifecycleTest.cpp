// The service main, the run, the control handler and the stop.
#include "ServiceHarness.h"

namespace tillmoor::testing {
namespace {

using States = std::vector<std::uint32_t>;
using Texts = std::vector<std::string>;

constexpr const char* kStarted = "Service started with interval(minutes): 1";

class Lifecycle : public ServiceHarness {};

TEST_F(Lifecycle, StatusSequenceOfAStopBetweenCycles) {
  StartService();
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(scm_.States(),
            (States{kServiceStartPending, kServiceRunning, kServiceStopPending, kServiceStopped}));
  for (const platform::ServiceStatus& status : scm_.Statuses()) {
    EXPECT_EQ(status.serviceType, platform::svc::kServiceWin32OwnProcess);
    EXPECT_EQ(status.controlsAccepted, platform::svc::kAcceptStop);
    EXPECT_EQ(status.win32ExitCode, 0u);
    EXPECT_EQ(status.serviceSpecificExitCode, 0u);
    EXPECT_EQ(status.checkPoint, 0u);
    EXPECT_EQ(status.waitHint, 0u);
  }
  EXPECT_EQ(Reports(), (Texts{kStarted, "Service stopped"}));
  for (const auto& entry : eventLog_.Entries()) {
    EXPECT_EQ(entry.source, "Tessery Velmar Credit Card Payment Service");
    EXPECT_EQ(entry.type, platform::kEventlogInformationType);
    EXPECT_EQ(entry.eventId, 0u);
  }
  EXPECT_EQ(work_.Queries(), 0);
  EXPECT_EQ(scm_.HandlerThreads(), std::vector<platform::ThreadId>{scm_.DispatcherThread()});
  EXPECT_NE(Module().ServiceThreadId(), scm_.DispatcherThread());
  EXPECT_EQ(com_.OpenJoins(), 0);
}

TEST_F(Lifecycle, OtherControlsChangeNothingAndUnknownOnesAreReported) {
  StartService();
  for (std::uint32_t control : {2u, 3u, 4u, 5u, 6u, 0u, 200u}) ASSERT_TRUE(scm_.DeliverControl(control));
  EXPECT_EQ(scm_.States(), (States{kServiceStartPending, kServiceRunning}));
  EXPECT_EQ(Reports(),
            (Texts{kStarted, "Bad service request", "Bad service request", "Bad service request"}));
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  EXPECT_EQ(WaitForExit(), 0);
}

TEST_F(Lifecycle, AStopBeforeTheRunGuardExistsIsHonouredWhenTheRunStarts) {
  // The run creates two events before the guard; the first is the moment to stop.
  std::atomic<bool> delivered{false};
  threadingFaults_.eventCreation.OnCall([&](int call) {
    if (call == 1) delivered = scm_.DeliverControl(platform::svc::kControlStop);
  });
  Register(true);
  StartProcess();
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_TRUE(delivered);
  // The stop came before the run could report that it runs: it never does.
  EXPECT_EQ(scm_.States(), (States{kServiceStartPending, kServiceStopPending, kServiceStopped}));
  EXPECT_EQ(work_.Queries(), 0);
}

// A run without its guard or its timer pays nothing: it says why, never that it started, and ends
// with the failure's code, which reaches the manager with SERVICE_STOPPED (a failed start).
TEST_F(Lifecycle, RunGuardThatCannotBeCreatedIsAFailedStart) {
  threadingFaults_.eventCreation.FailAt(2, 5);
  Register(true);
  StartProcess();
  EXPECT_EQ(WaitForExit(), 5);
  EXPECT_EQ(scm_.States(), (States{kServiceStartPending, kServiceStopped}));
  EXPECT_EQ(scm_.Statuses().back().win32ExitCode, 5u);
  EXPECT_EQ(Reports(), (Texts{"Couldn't create the run guard ObjectRunning: Access is denied. (error 5)",
                              "Service stopped"}));
  EXPECT_EQ(com_.OpenJoins(), 0);
}

TEST_F(Lifecycle, TimerThatCannotBeArmedIsAFailedStart) {
  messaging_.setTimerFaults.FailAt(1, 1);
  Register(true);
  StartProcess();
  EXPECT_EQ(WaitForExit(), platform::win32::NotEnoughMemory);
  EXPECT_EQ(scm_.States(), (States{kServiceStartPending, kServiceStopped}));
  EXPECT_EQ(Reports(), (Texts{"Failed to create timer", "Service stopped"}));
}

// A cluster guard that is asked for and cannot be had ends the start the same way: a run without it
// could pay what another host pays.
TEST_F(Lifecycle, AClusterGuardThatCannotBeHadIsAFailedStart) {
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
  SetParameters(std::nullopt, std::nullopt);
  Register(true);
  const std::pair<platform::RegistryValue, Texts> cases[] = {
      {platform::RegistryValue::DWord(1), {"ClusterGuard has type REG_DWORD, not REG_SZ", "Service stopped"}},
      {platform::RegistryValue::String("DSN=Velmar"),
       {"ClusterGuard refused: this program has no data access", "Service stopped"}},
  };
  long expected = platform::win32::InvalidData;
  for (const auto& [value, reports] : cases) {
    EXPECT_EQ(registry_->SetValue(platform::RootKey::LocalMachine, key, "ClusterGuard", value), 0);
    const std::size_t before = Reports().size();
    module_.reset();
    exited_ = false;
    StartProcess();
    EXPECT_EQ(WaitForExit(), expected);
    const Texts after = Reports();
    EXPECT_EQ(Texts(after.begin() + static_cast<std::ptrdiff_t>(before), after.end()), reports);
    EXPECT_EQ(scm_.States().back(), kServiceStopped);
    expected = platform::win32::NotSupported;
  }
  const States states = scm_.States();
  EXPECT_EQ(std::count(states.begin(), states.end(), kServiceRunning), 0);
  EXPECT_EQ(work_.Queries(), 0);
}

TEST_F(Lifecycle, HandlerThatCannotBeRegisteredEndsTheServiceMain) {
  scm_.registerHandlerFaults.FailAt(1, 5);
  Register(true);
  StartProcess();
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_TRUE(scm_.Statuses().empty());
  EXPECT_EQ(Reports(), Texts{"Handler not installed"});
}

TEST_F(Lifecycle, StartArgumentSetsThePeriodOfTheRun) {
  scm_.SetStartArguments({"7"});
  StartService();
  EXPECT_EQ(WaitForTimer()->due, 7 * 60000);
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  WaitForExit();
  EXPECT_EQ(Reports().front(), "Service started with interval(minutes): 7");
}

TEST_F(Lifecycle, StopWithoutAWaiterThreadStillWaitsForTheRunningCycle) {
  work_.QueueOrders({"A"});
  StartService();
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(1));
  threadingFaults_.threadCreation.FailAt(1, 8);  // the StopWaiter's
  ASSERT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
  EXPECT_FALSE(exited_);
  work_.Release("A");
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(work_.Finished(), Texts{"A"});
  EXPECT_EQ(scm_.States().back(), kServiceStopped);
}

TEST_F(Lifecycle, MessagesAreCutTo255Characters) {
  Module().Init();
  const std::string text = std::string(250, 'x') + "Ã©Ã©Ã©Ã©Ã©Ã©";  // é
  Module().ReportMessage("%s", text.c_str());
  EXPECT_EQ(Reports(), Texts{text.substr(0, 250 + 2 * 5)});
}

TEST_F(Lifecycle, InterruptOfALocalServerWaitsForTheRunningCycle) {
  Register(false);
  work_.QueueOrders({"A"});
  StartProcess();
  FireTimer();
  ASSERT_TRUE(work_.WaitStarted(1));
  ASSERT_TRUE(console_.Raise(platform::kCtrlCEvent));
  ASSERT_TRUE(console_.Raise(platform::kCtrlCloseEvent)) << "a second interrupt changes nothing";
  EXPECT_FALSE(exited_);
  work_.Release("A");
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(work_.Finished(), Texts{"A"});
  EXPECT_FALSE(console_.HasHandler());
}

}  // namespace
}  // namespace tillmoor::testing
