// Linux backend of the event log: syslog. openlog keeps the ident pointer and its settings are
// process-wide, so one mutex spans openlog, syslog and closelog.
#include "platform/EventLog.h"

#include <syslog.h>

#include <mutex>

#include "platform/Win32Error.h"

namespace platform {

namespace {

class SyslogEventLog final : public EventLog {
 public:
  long ReportEvent(std::string_view source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                   std::span<const std::string> strings) override {
    (void)category;
    (void)eventId;
    std::string text;
    for (const std::string& part : strings) {
      if (!text.empty()) text.push_back(' ');
      text += part;
    }
    int priority = LOG_INFO;
    if (type == kEventlogErrorType) priority = LOG_ERR;
    if (type == kEventlogWarningType) priority = LOG_WARNING;

    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const std::string ident(source);
    ::openlog(ident.c_str(), LOG_PID, LOG_DAEMON);
    ::syslog(priority, "%s", text.c_str());
    ::closelog();
    return win32::Success;
  }
};

}  // namespace

std::unique_ptr<EventLog> OpenSyslogEventLog() {
  return std::make_unique<SyslogEventLog>();
}

}  // namespace platform
