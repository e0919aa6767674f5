// The service parameters: the interval between cycles and the worker count, read once at start-up;
// the timer period worked out before the run.
#include <limits>

#include "service/ServiceModule.h"
#include "service/StringTable.h"

namespace tillmoor {

namespace {

constexpr std::uint32_t kDefaultInterval = 1;
constexpr std::uint32_t kDefaultWorkerCount = 3;
constexpr std::size_t kStartArgumentBytes = 20;

// A registry value read into a 32-bit number through a 4-byte buffer, whatever its type: data longer
// than 4 bytes counts as missing; shorter data fills the low bytes of a zeroed number.
std::optional<std::uint32_t> ReadNumber(platform::Registry& registry, const std::string& path,
                                        std::string_view name) {
  platform::RegistryValue value;
  if (platform::QueryValueLimited(registry, platform::RootKey::LocalMachine, path, name, 4, value) !=
      platform::win32::Success) {
    return std::nullopt;
  }
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < value.data.size(); ++i)
    number |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
  return number;
}

// A start argument as a number of minutes: the first 19 bytes (the 20-byte buffer it is converted
// into), leading white space skipped, an optional sign, then digits up to the first other character;
// no digits give 0. A value beyond the 32-bit signed range stops at its limit. The result is taken as
// a 32-bit unsigned number, so "-5" is a very large interval.
std::uint32_t StartArgumentMinutes(std::string_view argument) {
  std::string_view text = argument.substr(0, kStartArgumentBytes - 1);
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = std::min(kLimit, value * 10 + (text[at] - '0'));
  }
  if (negative) value = -value;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

}  // namespace

void ServiceModule::ReadServiceParameters() {
  const std::string path =
      "SYSTEM\\CurrentControlSet\\Services\\" + LoadServiceString(kIdsShortName) + "\\Parameters";
  platform::Registry& registry = platform_.registry;
  storedInterval_ = kDefaultInterval;
  workerCount_ = kDefaultWorkerCount;
  refusedThreadCount_ = 0;
  if (registry.OpenKey(platform::RootKey::LocalMachine, path) != platform::win32::Success) return;
  storedInterval_ = ReadNumber(registry, path, "Interval").value_or(kDefaultInterval);
  const std::uint32_t threadCount = ReadNumber(registry, path, "ThreadCount").value_or(0);
  workerCount_ = threadCount == 0 ? kDefaultWorkerCount : threadCount;
  // A cycle waits for its running workers in one wait, which takes at most 64 events.
  if (workerCount_ > kMaxWorkerCount) {
    refusedThreadCount_ = workerCount_;
    workerCount_ = kMaxWorkerCount;
  }
}

std::uint32_t ServiceModule::WorkOutTimerPeriod(const std::vector<std::string>* startArguments) {
  if (refusedThreadCount_ != 0) {
    ReportMessage("ThreadCount %u too large, defaulting to maximum of %u", refusedThreadCount_,
                  kMaxWorkerCount);
    refusedThreadCount_ = 0;  // reported once
  }
  std::uint32_t minutes = storedInterval_;
  if (serviceMode_ && startArguments != nullptr && startArguments->size() == 2) {
    minutes = StartArgumentMinutes((*startArguments)[1]);
  }
  if (minutes > kMaxIntervalMinutes) {
    ReportMessage("%s", LoadServiceString(kIdsIntervalTooLarge).c_str());
    minutes = 1;
  } else if (minutes == 0) {
    ReportMessage("%s", LoadServiceString(kIdsIntervalTooSmall).c_str());
    minutes = 1;
  }
  return minutes * 60000u;
}

}  // namespace tillmoor
