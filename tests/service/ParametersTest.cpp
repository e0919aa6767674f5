// The stored parameters and the timer period.
#include "ServiceHarness.h"

namespace tillmoor::testing {
namespace {

using platform::RegistryValue;
using platform::RootKey;

constexpr const char* kTooLarge = "Interval too large, defaulting to minimum value of 1 minute";
constexpr const char* kTooSmall = "Interval too small, defaulting to minimum of 1 minute";

class Parameters : public ServiceHarness {
 protected:
  void SetRaw(std::string_view name, const RegistryValue& value) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    EXPECT_EQ(registry_->CreateKey(RootKey::LocalMachine, key), 0);
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, key, name, value), 0);
  }
  // The period for a service start with `arguments` after the service name.
  std::uint32_t PeriodForStart(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), Module().ServiceName());
    return Module().WorkOutTimerPeriod(&arguments);
  }
};

TEST_F(Parameters, DefaultsWithoutKeyOrValues) {
  Module().Init();
  EXPECT_EQ(Module().StoredInterval(), 1u);
  EXPECT_EQ(Module().WorkerCount(), 3u);
  SetParameters(std::nullopt, 0);
  Module().Init();
  EXPECT_EQ(Module().WorkerCount(), 3u) << "ThreadCount 0";
  EXPECT_EQ(Module().WorkOutTimerPeriod(nullptr), 60000u);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(Parameters, IntervalBoundsAndTheirMessages) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 60000}, {1, 60000}, {7, 420000}, {71582, 4294920000u}, {71583, 60000}, {0xFFFFFFFFu, 60000}};
  for (const auto& [minutes, period] : cases) {
    SetParameters(minutes, std::nullopt);
    Module().Init();
    EXPECT_EQ(Module().WorkOutTimerPeriod(nullptr), period) << minutes;
  }
  EXPECT_EQ(Reports(), (std::vector<std::string>{kTooSmall, kTooLarge, kTooLarge}));
}

TEST_F(Parameters, OneStartArgumentReplacesTheStoredInterval) {
  SetParameters(9, std::nullopt);
  Module().Init();
  EXPECT_EQ(PeriodForStart({"5"}), 300000u);
  EXPECT_EQ(PeriodForStart({"  +12minutes"}), 720000u);
  EXPECT_EQ(PeriodForStart({"5", "6"}), 540000u) << "two arguments: the stored interval";
  EXPECT_EQ(PeriodForStart({}), 540000u);
  EXPECT_EQ(PeriodForStart({"-5"}), 60000u) << "a very large unsigned number";
  EXPECT_EQ(PeriodForStart({"abc"}), 60000u) << "no digits: 0";
  EXPECT_EQ(PeriodForStart({"99999999999999999999999"}), 60000u);
  EXPECT_EQ(PeriodForStart({"00000000000000000003"}), 60000u) << "only 19 bytes fit: all zeros";
  EXPECT_EQ(Reports(), (std::vector<std::string>{kTooLarge, kTooSmall, kTooLarge, kTooSmall}));
}

// "10" stored as text is not 0x3031 minutes: a value of another type than REG_DWORD is named with its
// type, once, and the default is used.
TEST_F(Parameters, ValuesOfAnotherTypeThanDwordAreReportedOnceAndDefaulted) {
  SetRaw("Interval", RegistryValue::String("10"));
  SetRaw("ThreadCount", RegistryValue::Binary({2}));
  Module().Init();
  EXPECT_EQ(Module().StoredInterval(), 1u);
  EXPECT_EQ(Module().WorkerCount(), 3u);
  Module().WorkOutTimerPeriod(nullptr);
  Module().WorkOutTimerPeriod(nullptr);
  EXPECT_EQ(Reports(), (std::vector<std::string>{"Interval has type REG_SZ, not REG_DWORD: using 1",
                                                 "ThreadCount has type REG_BINARY, not REG_DWORD: using 3"}));

  RegistryValue shortDword = RegistryValue::DWord(0);
  shortDword.data = {2};  // a DWORD of one byte fills the low byte; one of five counts as missing
  SetRaw("ThreadCount", shortDword);
  SetRaw("Interval", RegistryValue{platform::kRegDword, {1, 2, 3, 4, 5}});
  Module().Init();
  EXPECT_EQ(Module().StoredInterval(), 1u);
  EXPECT_EQ(Module().WorkerCount(), 2u);
}

TEST_F(Parameters, ThreadCountAboveSixtyFourIsClampedAndReportedOnce) {
  SetParameters(std::nullopt, 100);
  Module().Init();
  EXPECT_EQ(Module().WorkerCount(), 64u);
  Module().WorkOutTimerPeriod(nullptr);
  Module().WorkOutTimerPeriod(nullptr);
  EXPECT_EQ(Reports(), std::vector<std::string>{"ThreadCount 100 too large, defaulting to maximum of 64"});
  SetParameters(std::nullopt, 64);
  Module().Init();
  EXPECT_EQ(Module().WorkerCount(), 64u);
}

// The cluster guard's lock key: hosts running two versions of the service must still exclude each
// other, so the key of a service name never changes.
TEST(ClusterGuardKey, IsFixedForAServiceName) {
  EXPECT_EQ(ClusterGuard::KeyOf("Tessery Velmar Credit Card Payment Service"), 9035015087701387151);
  EXPECT_EQ(ClusterGuard::KeyOf(""), static_cast<std::int64_t>(0xCBF29CE484222325u));
}

}  // namespace
}  // namespace tillmoor::testing
