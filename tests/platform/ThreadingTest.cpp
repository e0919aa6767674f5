// Events, waits and threads: one contract on both backends, the virtual clock, Linux named events.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Threading.h"
#include "platform/Win32Error.h"
#include "platform/testing/TestThreading.h"
#include "platform/testing/VirtualClock.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

namespace platform {
namespace {

using testsupport::Eventually;

// One contract for both backends: the Linux one (named events in a temporary lock folder) and the
// test one (virtual clock).
class ThreadingContract : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ::setenv("TESSERY_LOCK_DIR", locks_.Path().c_str(), 1);
    threading_ = GetParam() ? OpenThreading() : testing::OpenTestThreading(clock_, faults_);
  }
  void TearDown() override { ::unsetenv("TESSERY_LOCK_DIR"); }

  EventHandle Create(bool manualReset, bool initialState, std::string_view name = "") {
    long error = 0;
    EventHandle event = threading_->CreateEvent(manualReset, initialState, name, error);
    EXPECT_NE(event, nullptr) << "error " << error;
    return event;
  }

  testsupport::TempFolder locks_;
  std::shared_ptr<testing::VirtualClock> clock_ = std::make_shared<testing::VirtualClock>();
  testing::ThreadingFaults faults_;
  std::unique_ptr<Threading> threading_;
};

TEST_P(ThreadingContract, AutoResetIsTakenOnceManualResetStaysUntilReset) {
  EventHandle automatic = Create(false, true);
  EventHandle manual = Create(true, false);
  EXPECT_EQ(threading_->WaitForSingleObject(*automatic, 0), kWaitObject0);
  EXPECT_EQ(threading_->WaitForSingleObject(*automatic, 0), kWaitTimeout);
  EXPECT_EQ(threading_->WaitForSingleObject(*manual, 0), kWaitTimeout);
  EXPECT_TRUE(manual->Set());
  EXPECT_EQ(threading_->WaitForSingleObject(*manual, 0), kWaitObject0);
  EXPECT_EQ(threading_->WaitForSingleObject(*manual, 0), kWaitObject0);
  EXPECT_TRUE(manual->Reset());
  EXPECT_EQ(threading_->WaitForSingleObject(*manual, 0), kWaitTimeout);
}

TEST_P(ThreadingContract, WaitForAnyTakesOnlyTheLowestSignalledIndex) {
  EventHandle a = Create(false, false), b = Create(false, true), c = Create(false, true);
  Event* events[] = {a.get(), b.get(), c.get()};
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, false, 0), kWaitObject0 + 1);
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, false, 0), kWaitObject0 + 2);
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, false, 0), kWaitTimeout);
}

TEST_P(ThreadingContract, WaitForAllTakesAllTogetherOrNone) {
  EventHandle a = Create(false, true), b = Create(false, false);
  Event* events[] = {a.get(), b.get()};
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, true, 0), kWaitTimeout);
  EXPECT_EQ(threading_->WaitForSingleObject(*a, 0), kWaitObject0) << "a failed wait for all took a";
  EXPECT_TRUE(a->Set());
  EXPECT_TRUE(b->Set());
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, true, 0), kWaitObject0);
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, false, 0), kWaitTimeout);
}

TEST_P(ThreadingContract, RefusesWaitsItCannotServe) {
  std::vector<EventHandle> owned;
  std::vector<Event*> events;
  for (std::size_t i = 0; i <= kMaximumWaitObjects; ++i) {
    owned.push_back(Create(true, true));
    events.push_back(owned.back().get());
  }
  EXPECT_EQ(threading_->WaitForMultipleObjects(events, false, 0), kWaitFailed);
  EXPECT_EQ(threading_->WaitForMultipleObjects(std::span(events).first(kMaximumWaitObjects), true, 0),
            kWaitObject0);
  EXPECT_EQ(threading_->WaitForMultipleObjects({}, false, 0), kWaitFailed);

  testing::ThreadingFaults otherFaults;
  auto other = testing::OpenTestThreading(clock_, otherFaults);
  long error = 0;
  EventHandle foreign = other->CreateEvent(true, true, "", error);
  EXPECT_EQ(threading_->WaitForSingleObject(*foreign, 0), kWaitFailed);
}

TEST_P(ThreadingContract, UntimedWaitWakesWhenAnotherThreadSets) {
  EventHandle event = Create(false, false);
  std::atomic<std::uint32_t> result{kWaitFailed};
  std::atomic<bool> done{false};
  long error = 0;
  auto waiter = threading_->CreateThread(
      [&] {
        result = threading_->WaitForSingleObject(*event, kInfinite);
        done = true;
      },
      error);
  ASSERT_NE(waiter, nullptr);
  EXPECT_TRUE(event->Set());
  if (!Eventually([&] { return done.load(); })) testsupport::Hung("the waiting thread");
  waiter->Join();
  EXPECT_EQ(result, kWaitObject0);
}

TEST_P(ThreadingContract, ThreadsHaveDistinctIdsKnownBeforeTheyRun) {
  std::atomic<ThreadId> seen[2] = {0, 0};
  long error = 0;
  auto first = threading_->CreateThread([&] { seen[0] = CurrentThreadId(); }, error);
  auto second = threading_->CreateThread([&] { seen[1] = CurrentThreadId(); }, error);
  ASSERT_TRUE(first && second);
  first->Join();
  second->Join();
  EXPECT_EQ(seen[0], first->Id());
  EXPECT_EQ(seen[1], second->Id());
  EXPECT_NE(first->Id(), second->Id());
  EXPECT_NE(first->Id(), CurrentThreadId());
  EXPECT_NE(CurrentThreadId(), 0u);
}

TEST_P(ThreadingContract, NamedEventsOfOneNameAreOneEvent) {
  EventHandle one = Create(false, true, "ObjectRunning");
  EventHandle two = Create(false, true, "ObjectRunning");
  EventHandle other = Create(false, true, "Other/Name");
  EXPECT_EQ(threading_->WaitForSingleObject(*one, 0), kWaitObject0);
  EXPECT_EQ(threading_->WaitForSingleObject(*two, 0), kWaitTimeout) << "taken through the other handle";
  EXPECT_EQ(threading_->WaitForSingleObject(*other, 0), kWaitObject0);
  EXPECT_TRUE(two->Set());
  EXPECT_EQ(threading_->WaitForSingleObject(*one, 0), kWaitObject0);
}

TEST_P(ThreadingContract, NamedEventIsExcludedBetweenThreadsAndFreedWhenClosed) {
  EventHandle guard = Create(false, true, "ObjectRunning");
  ASSERT_EQ(threading_->WaitForSingleObject(*guard, 0), kWaitObject0);
  std::atomic<std::uint32_t> fromOtherThread{kWaitFailed};
  long error = 0;
  auto other =
      threading_->CreateThread([&] { fromOtherThread = threading_->WaitForSingleObject(*guard, 0); }, error);
  other->Join();
  EXPECT_EQ(fromOtherThread, kWaitTimeout);
  EXPECT_TRUE(guard->Set());
  ASSERT_EQ(threading_->WaitForSingleObject(*guard, 0), kWaitObject0);
  guard.reset();  // closed while taken: nobody holds it any more
  EventHandle reopened = Create(false, true, "ObjectRunning");
  EXPECT_EQ(threading_->WaitForSingleObject(*reopened, 0), kWaitObject0);
}

INSTANTIATE_TEST_SUITE_P(Backends, ThreadingContract, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "Linux" : "Test";
                         });

TEST(TestThreading, TimedWaitEndsWhenTheVirtualClockPassesItsDeadline) {
  auto clock = std::make_shared<testing::VirtualClock>();
  testing::ThreadingFaults faults;
  auto threading = testing::OpenTestThreading(clock, faults);
  long error = 0;
  EventHandle event = threading->CreateEvent(false, false, "", error);
  std::atomic<std::uint32_t> result{0};
  std::atomic<bool> done{false};
  auto waiter = threading->CreateThread(
      [&] {
        result = threading->WaitForSingleObject(*event, 2000);
        done = true;
      },
      error);
  if (!Eventually([&] { return clock->Sleepers() == 1; })) testsupport::Hung("the timed wait's start");
  clock->Advance(1999);
  clock->Advance(0);
  EXPECT_FALSE(done) << "ended before its deadline";
  clock->Advance(1);
  if (!Eventually([&] { return done.load(); })) testsupport::Hung("the timed wait");
  waiter->Join();
  EXPECT_EQ(result, kWaitTimeout);
}

TEST(TestThreading, CreationFailsByCountdown) {
  auto clock = std::make_shared<testing::VirtualClock>();
  testing::ThreadingFaults faults;
  auto threading = testing::OpenTestThreading(clock, faults);
  faults.eventCreation.FailAt(2, 8);
  faults.threadCreation.FailAt(1, 1450);
  long error = 0;
  EXPECT_NE(threading->CreateEvent(false, false, "", error), nullptr);
  EXPECT_EQ(threading->CreateEvent(false, false, "", error), nullptr);
  EXPECT_EQ(error, 8);
  EXPECT_NE(threading->CreateEvent(false, false, "", error), nullptr);
  EXPECT_EQ(threading->CreateThread([] {}, error), nullptr);
  EXPECT_EQ(error, 1450);
  EXPECT_NE(threading->CreateThread([] {}, error), nullptr);
}

class LinuxNamedEvent : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("TESSERY_LOCK_DIR", (locks_.Path() / "locks").c_str(), 1); }
  void TearDown() override { ::unsetenv("TESSERY_LOCK_DIR"); }
  testsupport::TempFolder locks_;
};

TEST_F(LinuxNamedEvent, LockFileIsTheOwnersOnlyAndNamesStayInTheFolder) {
  auto threading = OpenThreading();
  long error = 0;
  ASSERT_NE(threading->CreateEvent(false, true, "ObjectRunning", error), nullptr);
  ASSERT_NE(threading->CreateEvent(false, true, "../Global\\x", error), nullptr);
  const auto folder = locks_.Path() / "locks";
  struct stat info {};
  ASSERT_EQ(::stat((folder / "ObjectRunning.lock").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(std::filesystem::exists(folder / "..%2FGlobal%5Cx.lock"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locks_.Path()), {}), 1)
      << "a file left the folder";
}

TEST_F(LinuxNamedEvent, RefusesWhatItCannotKeepAndFoldersOthersMayWrite) {
  auto threading = OpenThreading();
  long error = 0;
  EXPECT_EQ(threading->CreateEvent(true, true, "Manual", error), nullptr);
  EXPECT_EQ(error, win32::InvalidParameter);
  EXPECT_EQ(threading->CreateEvent(false, false, "Held", error), nullptr);
  EXPECT_EQ(error, win32::InvalidParameter);

  std::filesystem::create_directory(locks_.Path() / "locks");
  ::chmod((locks_.Path() / "locks").c_str(), 0777);
  EXPECT_EQ(threading->CreateEvent(false, true, "ObjectRunning", error), nullptr);
  EXPECT_EQ(error, win32::AccessDenied);
  EXPECT_EQ(ErrorDescription(error),
            "The lock folder " + (locks_.Path() / "locks").string() + " is writable by group or others");

  // A link to a folder of the user's is still not the folder: in a shared place, anyone could have made it.
  std::filesystem::remove(locks_.Path() / "locks");
  std::filesystem::create_directory(locks_.Path() / "elsewhere");
  std::filesystem::create_directory_symlink(locks_.Path() / "elsewhere", locks_.Path() / "locks");
  EXPECT_EQ(threading->CreateEvent(false, true, "ObjectRunning", error), nullptr);
  EXPECT_EQ(ErrorDescription(error),
            "The lock folder " + (locks_.Path() / "locks").string() + " is a symbolic link");
}

TEST_F(LinuxNamedEvent, AMissingLockFolderIsMadeTheUsersOnlyWhateverTheUmask) {
  ::setenv("TESSERY_LOCK_DIR", (locks_.Path() / "run" / "locks").c_str(), 1);
  const mode_t umask = ::umask(0);
  long error = 0;
  EXPECT_NE(OpenThreading()->CreateEvent(false, true, "ObjectRunning", error), nullptr);
  ::umask(umask);
  struct stat info {};
  ASSERT_EQ(::stat((locks_.Path() / "run").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  ASSERT_EQ(::stat((locks_.Path() / "run" / "locks").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
}

}  // namespace
}  // namespace platform
