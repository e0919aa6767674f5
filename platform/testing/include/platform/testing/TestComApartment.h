// Test backend of COM apartments: the platform's bookkeeping, with joins that fail by countdown
// (the countdown's code is the HRESULT) and a count of the joins not yet left.
#pragma once

#include <atomic>
#include <memory>

#include "platform/ComApartment.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

class TestComApartment final : public ComApartment {
 public:
  TestComApartment();
  ~TestComApartment() override;

  [[nodiscard, gnu::warn_unused_result]] HRESULT Initialize(Apartment apartment) override;
  void Uninitialize() override;
  [[nodiscard, gnu::warn_unused_result]] HRESULT InitializeSecurity() override;

  // Successful joins minus leaves, over all threads.
  int OpenJoins() const { return openJoins_; }

  FaultCountdown initializeFaults;

 private:
  std::unique_ptr<ComApartment> core_;
  std::atomic<int> openJoins_{0};
};

}  // namespace platform::testing
