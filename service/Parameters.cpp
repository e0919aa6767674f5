// The service parameters: the interval between cycles and the worker count, read once at start-up;
// the timer period worked out before the run.
#include <limits>
#include <string>
#include <vector>

#include "service/ServiceModule.h"
#include "service/StringTable.h"

namespace tillmoor {

namespace {

constexpr std::uint32_t kDefaultInterval = 1;
constexpr std::uint32_t kDefaultWorkerCount = 3;
constexpr std::size_t kStartArgumentBytes = 20;

// A registry value read into a 32-bit number through a 4-byte buffer. A missing value, or data longer
// than 4 bytes, counts as missing; shorter data fills the low bytes of a zeroed number. A value of
// another type than REG_DWORD, or one that cannot be read, is not taken as a number: it is noted in
// `messages` (the default `fallback` is used) instead of giving, for "10" stored as text, 12337.
std::optional<std::uint32_t> ReadNumber(platform::Registry& registry, const std::string& path,
                                        const char* name, std::uint32_t fallback,
                                        std::vector<std::string>& messages) {
  platform::RegistryValue value;
  const long code = registry.QueryValue(platform::RootKey::LocalMachine, path, name, value);
  if (code == platform::win32::FileNotFound) return std::nullopt;
  if (code != platform::win32::Success) {
    messages.push_back(std::string(name) + " could not be read: " + platform::ErrorDescription(code) +
                       " (error " + std::to_string(code) + "): using " + std::to_string(fallback));
    return std::nullopt;
  }
  if (value.type != platform::kRegDword) {
    messages.push_back(std::string(name) + " has type " + platform::RegistryTypeName(value.type) +
                       ", not REG_DWORD: using " + std::to_string(fallback));
    return std::nullopt;
  }
  if (value.data.size() > 4) return std::nullopt;
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

// ClusterGuard: a REG_SZ connection string; missing or empty, no cluster guard. A value that cannot be
// read or is not a string is kept as a problem that ends the start.
void ServiceModule::ReadClusterGuard(platform::Registry& registry, const std::string& path) {
  platform::RegistryValue value;
  const long code = registry.QueryValue(platform::RootKey::LocalMachine, path, "ClusterGuard", value);
  if (code == platform::win32::FileNotFound) return;
  if (code != platform::win32::Success) {
    clusterGuardError_ = code;
    clusterGuardProblem_ = "ClusterGuard could not be read: " + platform::ErrorDescription(code) +
                           " (error " + std::to_string(code) + ")";
  } else if (value.type != platform::kRegSz) {
    clusterGuardError_ = platform::win32::InvalidData;
    clusterGuardProblem_ = "ClusterGuard has type " + platform::RegistryTypeName(value.type) + ", not REG_SZ";
  } else {
    clusterGuardConnection_ = value.AsString();
  }
}

void ServiceModule::ReadServiceParameters() {
  const std::string path =
      "SYSTEM\\CurrentControlSet\\Services\\" + LoadServiceString(kIdsShortName) + "\\Parameters";
  platform::Registry& registry = platform_.registry;
  storedInterval_ = kDefaultInterval;
  workerCount_ = kDefaultWorkerCount;
  parameterMessages_.clear();
  clusterGuardConnection_.clear();
  clusterGuardError_ = platform::win32::Success;
  clusterGuardProblem_.clear();
  if (const long code = registry.OpenKey(platform::RootKey::LocalMachine, path);
      code != platform::win32::Success) {
    // No key: the defaults, without a word. A key that could not be looked at is not the same; nor can
    // it tell whether a cluster guard is wanted, and without one a cycle could pay what another host
    // pays: the start ends (see PrepareClusterGuard).
    if (code != platform::win32::FileNotFound) {
      const std::string failure = platform::ErrorDescription(code) + " (error " + std::to_string(code) + ")";
      parameterMessages_.push_back("The parameters could not be read: " + failure + ": using the defaults");
      clusterGuardError_ = code;
      clusterGuardProblem_ = "ClusterGuard could not be read: " + failure;
    }
    return;
  }
  ReadClusterGuard(registry, path);
  storedInterval_ =
      ReadNumber(registry, path, "Interval", kDefaultInterval, parameterMessages_).value_or(kDefaultInterval);
  const std::uint32_t threadCount =
      ReadNumber(registry, path, "ThreadCount", kDefaultWorkerCount, parameterMessages_).value_or(0);
  workerCount_ = threadCount == 0 ? kDefaultWorkerCount : threadCount;
  // A cycle waits for its running workers in one wait, which takes at most 64 events.
  if (workerCount_ > kMaxWorkerCount) {
    parameterMessages_.push_back("ThreadCount " + std::to_string(workerCount_) +
                                 " too large, defaulting to maximum of " + std::to_string(kMaxWorkerCount));
    workerCount_ = kMaxWorkerCount;
  }
}

std::uint32_t ServiceModule::WorkOutTimerPeriod(const std::vector<std::string>* startArguments) {
  for (const std::string& message : parameterMessages_) ReportMessage("%s", message.c_str());
  parameterMessages_.clear();  // reported once
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
