// A HeaderDTC started the way a host starts it: recording platform backends, a memory registry,
// in-memory files, and the reference data-provider components in process, serving the test catalog
// tests/data/dataproviders.json.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "components/DataProviderComponents.h"
#include "dtc/ConfigurationDump.h"
#include "dtc/HeaderDTC.h"
#include "host/DemoConfiguration.h"
#include "interfaces/DataProviders.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "platform/testing/MemoryTextFiles.h"
#include "runtime/FileDialog.h"
#include "runtime/PropertyBag.h"
#include "runtime/testing/RecordingContainer.h"
#include "runtime/testing/RecordingMessageBoxes.h"

namespace dtc::testing {

// The registry value naming the catalog the reference components read.
inline void PointAtCatalog(platform::Registry& registry, const std::string& path) {
  using platform::RootKey;
  EXPECT_EQ(registry.CreateKey(RootKey::LocalMachine, components::kDataProvidersKey), 0);
  EXPECT_EQ(registry.SetValue(RootKey::LocalMachine, components::kDataProvidersKey,
                              components::kCatalogFileValue, platform::RegistryValue::String(path)),
            0);
}

// The three data-provider classes, registered in process under their class ids and ProgIDs.
inline void RegisterDataProviders(platform::testing::ComClassTable& table, platform::Registry& registry) {
  const std::pair<platform::GUID, std::string_view> classes[] = {
      {platform::kDataProviderCatalogClsid, platform::kDataProviderCatalogProgId},
      {platform::kDRAVProviderSourceClsid, platform::kDRAVProviderSourceProgId},
      {platform::kEAIProviderSourceClsid, platform::kEAIProviderSourceProgId},
  };
  for (const auto& [clsid, progId] : classes) {
    table.Register(progId, clsid, components::DataProviderCreateFunction(clsid, registry));
  }
}

// The demo's sample configuration, built into a control the test holds.
inline void BuildSampleConfiguration(HeaderDTC& control) {
  struct Target : host::SampleTarget {
    explicit Target(HeaderDTC& c) : control(c) {}
    platform::Form& EditorForm() override { return control.Editor().form; }
    void SetKeyValue(std::int16_t& tab, std::int16_t& row, std::string& representation, std::string& value,
                     SpecificationType& type) override {
      control.SetKeyValue(tab, row, representation, value, type);
    }
    void LetProperty(std::string_view name, std::optional<std::int32_t> index,
                     const platform::Variant& v) override {
      control.LetProperty(name, index, v);
    }
    HeaderDTC& control;
  } target(control);
  host::BuildSampleConfiguration(target);
}

class ControlTest : public ::testing::Test {
 protected:
  ControlTest() {
    PointAtCatalog(*registry, std::string(TESSERY_TEST_DATA) + "/dataproviders.json");
    RegisterDataProviders(components, *registry);
  }

  HeaderDTCServices Services() {
    return HeaderDTCServices{.messageBoxes = boxes,
                             .container = &container,
                             .components = &components,
                             .fileDialogs = &dialogs,
                             .registry = registry.get(),
                             .files = &files};
  }

  std::unique_ptr<HeaderDTC> NewControl() { return std::make_unique<HeaderDTC>(Services()); }

  // Saves `control` and loads the bag into a new control.
  std::unique_ptr<HeaderDTC> RoundTrip(HeaderDTC& control) {
    platform::MemoryPropertyBag bag;
    EXPECT_TRUE(control.UserControl_WriteProperties(bag));
    auto loaded = NewControl();
    EXPECT_TRUE(loaded->UserControl_ReadProperties(bag));
    return loaded;
  }

  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable components;
  platform::testing::RecordingMessageBoxes boxes;
  platform::testing::RecordingContainer container;
  platform::ScriptedFileDialogs dialogs;
  platform::testing::MemoryTextFiles files;
};

}  // namespace dtc::testing
