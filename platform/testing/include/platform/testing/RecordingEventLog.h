// Test backend of the event log: keeps every entry; reports can fail by countdown.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/EventLog.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

class RecordingEventLog final : public EventLog {
 public:
  struct Entry {
    std::string source;
    std::uint16_t type;
    std::uint16_t category;
    std::uint32_t eventId;
    std::vector<std::string> strings;
  };

  [[nodiscard]] long ReportEvent(std::string_view source, std::uint16_t type, std::uint16_t category,
                                 std::uint32_t eventId, std::span<const std::string> strings) override;

  std::vector<Entry> Entries() const;
  // Each entry's insertion strings joined by spaces.
  std::vector<std::string> Texts() const;

  FaultCountdown faults;

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace platform::testing
