// COM apartments' bookkeeping for tests, with joins that fail by countdown and a count of joins not left.
#include "platform/testing/TestComApartment.h"

#include "../common/ComApartmentCore.h"

namespace platform::testing {

TestComApartment::TestComApartment()
    : core_(detail::MakeComApartment([this] { return static_cast<HRESULT>(initializeFaults.Next()); })) {}

TestComApartment::~TestComApartment() = default;

HRESULT TestComApartment::Initialize(Apartment apartment) {
  const HRESULT result = core_->Initialize(apartment);
  if (result >= 0) ++openJoins_;
  return result;
}

void TestComApartment::Uninitialize() {
  --openJoins_;
  core_->Uninitialize();
}

HRESULT TestComApartment::InitializeSecurity() {
  return core_->InitializeSecurity();
}

}  // namespace platform::testing
