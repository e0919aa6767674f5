// The fixed setup the benchmarks share: registry values, and the data providers a page editor offers.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "components/DataProviderComponents.h"
#include "interfaces/DataProviders.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"

namespace bench {

// Creates `key` below `root` (when missing) and sets its value `name`. A benchmark cannot run on a setup
// that failed, so a failure throws std::runtime_error naming the value.
inline void SetRegistryValue(platform::Registry& registry, platform::RootKey root, std::string_view key,
                             std::string_view name, const platform::RegistryValue& value) {
  if (registry.CreateKey(root, key) != 0 || registry.SetValue(root, key, name, value) != 0)
    throw std::runtime_error("the setup cannot write " + std::string(key) + "\\" + std::string(name));
}

// The tests' data-provider catalog in `registry`, and the reference data-provider classes in `classes`:
// the provider combos of a control made with both offer the catalog's providers.
inline void AddDataProviders(platform::Registry& registry, platform::testing::ComClassTable& classes) {
  SetRegistryValue(registry, platform::RootKey::LocalMachine, components::kDataProvidersKey,
                   components::kCatalogFileValue,
                   platform::RegistryValue::String(TESSERY_SOURCE_DIR "/tests/data/dataproviders.json"));
  for (const platform::GUID& clsid : {platform::kDataProviderCatalogClsid, platform::kDRAVProviderSourceClsid,
                                      platform::kEAIProviderSourceClsid}) {
    classes.Register("", clsid, components::DataProviderCreateFunction(clsid, registry));
  }
}

}  // namespace bench
