// Test backend of ControlContainer: records every property-changed notification.
#pragma once

#include <string>
#include <vector>

#include "runtime/ControlContainer.h"

namespace platform::testing {

class RecordingContainer : public ControlContainer {
 public:
  void PropertyChanged(std::string_view propertyName) override { changed_.emplace_back(propertyName); }
  const std::vector<std::string>& Changed() const noexcept { return changed_; }
  void Clear() { changed_.clear(); }

 private:
  std::vector<std::string> changed_;
};

}  // namespace platform::testing
