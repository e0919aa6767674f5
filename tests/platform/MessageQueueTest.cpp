// Message queues and thread timers on both backends: order, quit, due times, killed and failing timers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/MessageQueue.h"
#include "platform/testing/TestMessaging.h"
#include "platform/testing/VirtualClock.h"
#include "support/Watchdog.h"

namespace platform {
namespace {

using testsupport::Eventually;

TEST(MessageQueue, PostedMessagesComeInOrderAndQuitEndsTheLoop) {
  for (bool linux : {true, false}) {
    auto clock = std::make_shared<testing::VirtualClock>();
    std::unique_ptr<Messaging> messaging =
        linux ? OpenMessaging() : std::make_unique<testing::TestMessaging>(clock);
    auto queue = messaging->OpenQueue();
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(messaging->OpenQueue(), nullptr) << "a second queue for the same thread";
    EXPECT_EQ(queue->Owner(), CurrentThreadId());
    std::thread poster([&] {
      EXPECT_EQ(messaging->PostThreadMessage(queue->Owner(), 0x400, 1, 0), 0);
      EXPECT_EQ(messaging->PostThreadMessage(queue->Owner(), 0x400, 2, 0), 0);
      EXPECT_EQ(messaging->PostThreadMessage(queue->Owner(), kWmQuit, 7, 0), 0);
    });
    Message message;
    ASSERT_EQ(queue->GetMessage(message), 1);
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_EQ(queue->GetMessage(message), 1);
    EXPECT_EQ(message.wParam, 2u);
    EXPECT_EQ(queue->GetMessage(message), 0);
    EXPECT_EQ(message.wParam, 7u);
    poster.join();
    const ThreadId owner = queue->Owner();
    queue.reset();
    EXPECT_EQ(messaging->PostThreadMessage(owner, kWmQuit, 0, 0), kErrorInvalidThreadId);
  }
}

TEST(MessageQueue, LinuxTimerFiresOnceOnTheThreadThatSetIt) {
  auto messaging = OpenMessaging();
  auto queue = messaging->OpenQueue();
  int fired = 0;
  ThreadId firedOn = 0;
  const std::uint32_t id = queue->SetTimer(1, [&](std::uint32_t timerId) {
    ++fired;
    firedOn = CurrentThreadId();
    EXPECT_NE(timerId, 0u);
  });
  ASSERT_NE(id, 0u);
  Message message;
  ASSERT_EQ(queue->GetMessage(message), 1);
  EXPECT_EQ(message.message, kWmTimer);
  EXPECT_EQ(message.wParam, id);
  queue->DispatchMessage(message);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(firedOn, CurrentThreadId());
  EXPECT_FALSE(queue->KillTimer(id)) << "a one-shot timer is gone once it fired";
}

TEST(MessageQueue, TimerFiresAtItsDueTimeAfterPostedMessagesAndKilledTimersNever) {
  auto clock = std::make_shared<testing::VirtualClock>();
  testing::TestMessaging messaging(clock);
  auto queue = messaging.OpenQueue();
  const std::uint32_t killed =
      queue->SetTimer(500, [](std::uint32_t) { ADD_FAILURE() << "killed timer fired"; });
  const std::uint32_t kept = queue->SetTimer(60000, [](std::uint32_t) {});
  ASSERT_TRUE(killed != 0 && kept != 0 && killed != kept);
  EXPECT_TRUE(queue->KillTimer(killed));
  ASSERT_EQ(messaging.PendingTimers().size(), 1u);
  EXPECT_EQ(messaging.PendingTimers()[0].due, 60000);

  std::atomic<bool> got{false};
  Message message;
  std::thread loop([&] {
    EXPECT_EQ(queue->GetMessage(message), 1);
    got = true;
  });
  clock->Advance(59999);
  EXPECT_EQ(messaging.PostThreadMessage(queue->Owner(), 0x400, 0, 0), 0);
  if (!Eventually([&] { return got.load(); })) testsupport::Hung("GetMessage");
  loop.join();
  EXPECT_EQ(message.message, 0x400u) << "the timer fired early";

  clock->Advance(1);
  EXPECT_EQ(messaging.PostThreadMessage(queue->Owner(), 0x401, 0, 0), 0);
  ASSERT_EQ(queue->GetMessage(message), 1);
  EXPECT_EQ(message.message, 0x401u) << "posted messages come before due timers";
  ASSERT_EQ(queue->GetMessage(message), 1);
  EXPECT_EQ(message.message, kWmTimer);
  EXPECT_EQ(message.wParam, kept);
  EXPECT_TRUE(messaging.PendingTimers().empty());
}

TEST(MessageQueue, SetTimerFailsByCountdown) {
  auto clock = std::make_shared<testing::VirtualClock>();
  testing::TestMessaging messaging(clock);
  auto queue = messaging.OpenQueue();
  messaging.setTimerFaults.FailAt(2, 1);
  EXPECT_NE(queue->SetTimer(10, [](std::uint32_t) {}), 0u);
  EXPECT_EQ(queue->SetTimer(10, [](std::uint32_t) {}), 0u);
  EXPECT_NE(queue->SetTimer(10, [](std::uint32_t) {}), 0u);
}

TEST(MessageQueue, TimeScaleIsAPositiveNumberOrOne) {
  const std::pair<const char*, double> cases[] = {{"60", 60.0}, {"0.5", 0.5}, {"0", 1.0}, {"-3", 1.0},
                                                  {"abc", 1.0}, {"5x", 1.0},  {"", 1.0}};
  for (const auto& [text, scale] : cases) {
    ::setenv("TESSERY_TIME_SCALE", text, 1);
    EXPECT_EQ(TimeScaleFromEnvironment(), scale) << text;
  }
  ::unsetenv("TESSERY_TIME_SCALE");
  EXPECT_EQ(TimeScaleFromEnvironment(), 1.0);
}

}  // namespace
}  // namespace platform
