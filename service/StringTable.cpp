// The service's fixed English texts by their string id.
#include "service/StringTable.h"

namespace tillmoor {

std::string LoadServiceString(int id) {
  switch (id) {
    case kIdsServiceName:
      return "Tessery Velmar Credit Card Payment Service";
    case kIdsCreateInstanceFailed:
      return "Unable to create instance of cs.CCPayment";
    case kIdsRunNotSupported:
      return "Object cs.CCPayment does not support the Run() method";
    case kIdsRunFailed:
      return "Error calling Run() on cs.CCPayment";
    case kIdsIntervalTooLarge:
      return "Interval too large, defaulting to minimum value of 1 minute";
    case kIdsIntervalTooSmall:
      return "Interval too small, defaulting to minimum of 1 minute";
    case kIdsShortName:
      return "Tillmoor";
    default:
      return {};
  }
}

}  // namespace tillmoor
