// A HeaderDTC started the way a host starts it, with recording platform backends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dtc/ConfigurationDump.h"
#include "dtc/HeaderDTC.h"
#include "host/DemoConfiguration.h"
#include "platform/PropertyBag.h"
#include "platform/testing/RecordingContainer.h"
#include "platform/testing/RecordingMessageBoxes.h"

namespace dtc::testing {

// Records every call through the lifecycle seam; offers the demo providers at start-up.
class RecordingLifecycle : public host::DemoCatalog {
 public:
  void PrepareGeneralTab(HeaderDTC& control) override {
    calls.push_back("PrepareGeneralTab");
    host::DemoCatalog::PrepareGeneralTab(control);
  }
  void PrepareProviderTab(HeaderDTC&, ProviderKind kind) override {
    calls.push_back(std::string("Prepare") + std::string(KindPrefix(kind)) + "Tab");
  }
  void UpdateLinkTab(HeaderDTC&, ProviderKind kind) override {
    calls.push_back(std::string("Update") + std::string(KindPrefix(kind)) + "LinkTab");
  }
  std::vector<std::string> calls;
};

class ControlTest : public ::testing::Test {
 protected:
  std::unique_ptr<HeaderDTC> NewControl() {
    return std::make_unique<HeaderDTC>(HeaderDTCServices{boxes, &container, &lifecycle});
  }

  // Saves `control` and loads the bag into a new control.
  std::unique_ptr<HeaderDTC> RoundTrip(HeaderDTC& control) {
    platform::MemoryPropertyBag bag;
    EXPECT_TRUE(control.UserControl_WriteProperties(bag));
    auto loaded = NewControl();
    EXPECT_TRUE(loaded->UserControl_ReadProperties(bag));
    return loaded;
  }

  platform::testing::RecordingMessageBoxes boxes;
  platform::testing::RecordingContainer container;
  RecordingLifecycle lifecycle;
};

}  // namespace dtc::testing
