// The container that hosts a control on a page.
//
// Keeps: the property-changed notification through which a control tells its container that one of
// its public properties changed, so the container marks the page as modified and saves it later.
// Leaves out: ambient properties, in-place activation and extended properties.
#pragma once

#include <string_view>

namespace platform {

class ControlContainer {
 public:
  virtual ~ControlContainer() = default;
  virtual void PropertyChanged(std::string_view propertyName) = 0;
};

}  // namespace platform
