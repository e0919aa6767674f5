// The system event log.
//
// Keeps: reporting one entry under an event source name, with its type, category, event id and
// insertion strings (RegisterEventSource, ReportEvent, DeregisterEventSource in one call: the source
// is opened for the entry and closed after it). Returns 0 or a Win32 code.
// Leaves out: message files (an entry's text is its insertion strings joined by spaces), user SIDs,
// binary data, reading and clearing the log, backup.
//
// Backends: OpenSyslogEventLog() on Linux writes each entry as one syslog line with the source name
// as the ident and the daemon facility; information entries have priority LOG_INFO, warnings
// LOG_WARNING, errors LOG_ERR. RecordingEventLog in platform/testing keeps the entries.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint16_t kEventlogSuccess = 0x0000;
inline constexpr std::uint16_t kEventlogErrorType = 0x0001;
inline constexpr std::uint16_t kEventlogWarningType = 0x0002;
inline constexpr std::uint16_t kEventlogInformationType = 0x0004;

class EventLog {
 public:
  virtual ~EventLog() = default;
  [[nodiscard, gnu::warn_unused_result]] virtual long ReportEvent(std::string_view source, std::uint16_t type,
                                                                  std::uint16_t category,
                                                                  std::uint32_t eventId,
                                                                  std::span<const std::string> strings) = 0;
};

std::unique_ptr<EventLog> OpenSyslogEventLog();

}  // namespace platform
