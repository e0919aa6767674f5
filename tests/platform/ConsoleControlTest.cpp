// SIGINT and SIGTERM reaching the console control handler as events on its own thread.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ConsoleControl.h"
#include "support/Watchdog.h"

namespace platform {
namespace {

TEST(ConsoleControl, LinuxTurnsSigintAndSigtermIntoEventsOnItsOwnThread) {
  auto console = OpenConsoleControl();  // blocks both signals in this thread
  std::mutex mutex;
  std::vector<std::uint32_t> events;
  std::thread::id handlerThread;
  ASSERT_TRUE(console->SetHandler([&](std::uint32_t type) {
    std::lock_guard lock(mutex);
    events.push_back(type);
    handlerThread = std::this_thread::get_id();
    return true;
  }));
  // Process-wide signals, as an interactive Ctrl+C and a supervisor send them; only the console's
  // thread takes them, since every thread of this process blocks them.
  ::kill(::getpid(), SIGINT);
  ASSERT_TRUE(testsupport::Eventually([&] {
    std::lock_guard lock(mutex);
    return events.size() == 1;
  }));
  ::kill(::getpid(), SIGTERM);
  ASSERT_TRUE(testsupport::Eventually([&] {
    std::lock_guard lock(mutex);
    return events.size() == 2;
  }));
  console->RemoveHandler();
  EXPECT_EQ(events, (std::vector<std::uint32_t>{kCtrlCEvent, kCtrlCloseEvent}));
  EXPECT_NE(handlerThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace platform
