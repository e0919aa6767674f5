// A HeaderDTC started as a host starts it, on test backends: recording message boxes, a memory
// registry that names the data-provider catalog tests/data/dataproviders.json, the reference
// data-provider components in process, and in-memory files.
#pragma once

#include <memory>
#include <string>

#include "components/DataProviderComponents.h"
#include "dtc/HeaderDTC.h"
#include "interfaces/DataProviders.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "platform/testing/MemoryTextFiles.h"
#include "runtime/testing/RecordingMessageBoxes.h"

namespace fuzzing {

class StartedControl {
 public:
  // `fileDialogs` answers the file-open dialogs and `dataAccess` stands for the I18N database (none:
  // every dialog is cancelled, and the ODBC backend).
  explicit StartedControl(platform::FileDialogs* fileDialogs = nullptr,
                          platform::ado::DataAccess* dataAccess = nullptr) {
    using platform::RootKey;
    platform::IgnoreResult(registry->CreateKey(RootKey::LocalMachine, components::kDataProvidersKey),
                           "a fixed setup on a registry in memory");
    platform::IgnoreResult(
        registry->SetValue(
            RootKey::LocalMachine, components::kDataProvidersKey, components::kCatalogFileValue,
            platform::RegistryValue::String(TESSERY_SOURCE_DIR "/tests/data/dataproviders.json")),
        "a fixed setup on a registry in memory");
    for (const platform::GUID& clsid :
         {platform::kDataProviderCatalogClsid, platform::kDRAVProviderSourceClsid,
          platform::kEAIProviderSourceClsid}) {
      components.Register("", clsid, components::DataProviderCreateFunction(clsid, *registry));
    }
    control = std::make_unique<dtc::HeaderDTC>(dtc::HeaderDTCServices{.messageBoxes = boxes,
                                                                      .components = &components,
                                                                      .fileDialogs = fileDialogs,
                                                                      .registry = registry.get(),
                                                                      .files = &files,
                                                                      .dataAccess = dataAccess});
  }

  // Every message shown so far, one per line.
  std::string Messages() const {
    std::string all;
    for (const std::string& prompt : boxes.Prompts()) all += prompt + "\n";
    return all;
  }

  platform::testing::RecordingMessageBoxes boxes;
  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable components;
  platform::testing::MemoryTextFiles files;
  std::unique_ptr<dtc::HeaderDTC> control;
};

}  // namespace fuzzing
