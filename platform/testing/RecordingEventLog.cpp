// The recording event log: every entry kept, a report failing by countdown.
#include "platform/testing/RecordingEventLog.h"

namespace platform::testing {

long RecordingEventLog::ReportEvent(std::string_view source, std::uint16_t type, std::uint16_t category,
                                    std::uint32_t eventId, std::span<const std::string> strings) {
  if (long code = faults.Next(); code != 0) return code;
  std::lock_guard lock(mutex_);
  entries_.push_back(Entry{std::string(source), type, category, eventId, {strings.begin(), strings.end()}});
  return 0;
}

std::vector<RecordingEventLog::Entry> RecordingEventLog::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<std::string> RecordingEventLog::Texts() const {
  std::vector<std::string> texts;
  for (const Entry& entry : Entries()) {
    std::string text;
    for (const std::string& part : entry.strings) text += (text.empty() ? "" : " ") + part;
    texts.push_back(std::move(text));
  }
  return texts;
}

}  // namespace platform::testing
