// Linux backend of COM apartments: the shared bookkeeping; nothing in the system needs more.
#include "../common/ComApartmentCore.h"

namespace platform {

std::unique_ptr<ComApartment> OpenComApartment() {
  return detail::MakeComApartment(nullptr);
}

}  // namespace platform
