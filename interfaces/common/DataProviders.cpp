// The texts of the data-provider components' failure codes.
#include "interfaces/DataProviders.h"

namespace platform {

std::string DataProviderResultText(HRESULT result) {
  switch (result) {
    case hr::DP_E_NOPROVIDER:
      return "Data provider not found";
    case hr::DP_E_NOOBJECT:
      return "Data provider object not found";
    case hr::DP_E_CATALOG:
      return "Data provider catalog cannot be read";
    default:
      return HResultText(result);
  }
}

}  // namespace platform
