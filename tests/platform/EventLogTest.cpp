// The event log's contract on the syslog and the recording backend.
#include <gtest/gtest.h>

#include "platform/EventLog.h"
#include "platform/testing/RecordingEventLog.h"

namespace platform {
namespace {

TEST(EventLog, BothBackendsTakeAnInformationEntry) {
  const std::string strings[] = {"Service started with interval(minutes): 1"};
  testing::RecordingEventLog recording;
  auto syslog = OpenSyslogEventLog();
  for (EventLog* log : {static_cast<EventLog*>(&recording), syslog.get()}) {
    EXPECT_EQ(log->ReportEvent("Tessery Test Source", kEventlogInformationType, 0, 0, strings), 0);
  }
  ASSERT_EQ(recording.Entries().size(), 1u);
  const auto entry = recording.Entries()[0];
  EXPECT_EQ(entry.source, "Tessery Test Source");
  EXPECT_EQ(entry.type, kEventlogInformationType);
  EXPECT_EQ(recording.Texts(), std::vector<std::string>{strings[0]});
}

}  // namespace
}  // namespace platform
