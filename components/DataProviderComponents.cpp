// The reference data-provider components: a catalog file's providers served as DRAV and EAI sources.
#include "components/DataProviderComponents.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/DataProviders.h"
#include "platform/DrivePaths.h"
#include "runtime/Ascii.h"

namespace components {
namespace {

using platform::ComObject;
using platform::ComPtr;
using platform::DictionaryPtr;
using platform::GUID;
using platform::HRESULT;
namespace hr = platform::hr;

// ---- the catalog file -------------------------------------------------------------------------------

struct DRAVDefinition {
  std::vector<std::pair<std::string, std::string>> fields;  // number -> name
  std::vector<std::string> keyFields;
};

struct EAIDefinition {
  std::vector<std::pair<std::string, std::vector<std::string>>> objects;  // object -> its fields
  std::vector<std::string> keyFields;
};

struct ProviderDefinition {
  std::string name;
  std::optional<DRAVDefinition> drav;
  std::optional<EAIDefinition> eai;
};

using Json = nlohmann::json;

// A catalog file whose JSON is well formed but not a catalog.
struct NotACatalog {};

std::vector<std::string> Names(const Json& array) {
  std::vector<std::string> names;
  for (const Json& name : array) names.push_back(name.get<std::string>());
  return names;
}

// A path as the system writes it ("C:\\...", through the drive mapping of the environment) or a
// path of the host.
std::filesystem::path CatalogPath(const std::string& text) {
  const bool drivePath = text.size() >= 2 && text[1] == ':' && platform::IsAsciiAlpha(text[0]);
  if (!drivePath) return text;
  try {
    return platform::DrivePathsFromEnvironment()->Resolve(text);
  } catch (const platform::Error&) {
    return {};  // an unmapped drive: no such file
  }
}

// The providers of the catalog file the registry names; nullopt when there is none or it is not a
// catalog. Parse errors of any kind make the whole file unusable: a half-read catalog would offer
// providers that silently lack fields.
std::optional<std::vector<ProviderDefinition>> ReadCatalog(platform::Registry& registry) {
  platform::RegistryValue value;
  if (registry.QueryValue(platform::RootKey::LocalMachine, kDataProvidersKey, kCatalogFileValue, value) !=
      0) {
    return std::nullopt;
  }
  std::ifstream file(CatalogPath(value.AsString()), std::ios::binary);
  if (!file) return std::nullopt;
  try {
    const Json catalog = Json::parse(file);
    std::vector<ProviderDefinition> providers;
    for (const Json& entry : catalog.at("providers")) {
      ProviderDefinition provider{entry.at("name").get<std::string>(), {}, {}};
      if (entry.contains("drav")) {
        const Json& drav = entry.at("drav");
        DRAVDefinition definition;
        for (const Json& field : drav.at("fields")) {
          if (!field.is_array() || field.size() != 2 || !field[0].is_number_unsigned()) throw NotACatalog();
          definition.fields.emplace_back(std::to_string(field[0].get<std::uint64_t>()),
                                         field[1].get<std::string>());
        }
        definition.keyFields = Names(drav.value("keyFields", Json::array()));
        provider.drav = std::move(definition);
      }
      if (entry.contains("eai")) {
        const Json& eai = entry.at("eai");
        EAIDefinition definition;
        for (const Json& object : eai.at("objects")) {
          definition.objects.emplace_back(object.at("name").get<std::string>(), Names(object.at("fields")));
        }
        definition.keyFields = Names(eai.value("keyFields", Json::array()));
        provider.eai = std::move(definition);
      }
      providers.push_back(std::move(provider));
    }
    return providers;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  } catch (const NotACatalog&) {
    return std::nullopt;
  }
}

// A map numbered from 1: "1" -> names[0], "2" -> names[1], ...
DictionaryPtr Numbered(const std::vector<std::string>& names) {
  auto map = std::make_shared<platform::Dictionary>();
  for (std::size_t i = 0; i < names.size(); ++i) map->Add(std::to_string(i + 1), platform::Variant(names[i]));
  return map;
}

// Runs `answer` with the definition of `provider` of the metadata's kind, turning a missing catalog,
// provider or definition into its HRESULT and any other failure into E_FAIL; nothing escapes.
template <bool kDrav, class Answer>
HRESULT WithDefinition(platform::Registry& registry, std::string_view provider, Answer&& answer) {
  try {
    const auto catalog = ReadCatalog(registry);
    if (!catalog) return hr::DP_E_CATALOG;
    for (const ProviderDefinition& definition : *catalog) {
      if (definition.name != provider) continue;
      if constexpr (kDrav) {
        if (definition.drav) return answer(*definition.drav);
      } else {
        if (definition.eai) return answer(*definition.eai);
      }
    }
    return hr::DP_E_NOPROVIDER;
  } catch (const std::bad_alloc&) {
    return hr::E_OUTOFMEMORY;
  } catch (...) {
    return hr::E_FAIL;
  }
}

// ---- the components ---------------------------------------------------------------------------------

class ProviderMetadata final : public ComObject<platform::IProviderMetadata> {
 public:
  ProviderMetadata(platform::Registry& registry, bool drav) : registry_(registry), drav_(drav) {}

  HRESULT GetFields(std::string_view provider, std::optional<std::string_view> object,
                    DictionaryPtr& out) override {
    if (drav_) {
      return WithDefinition<true>(registry_, provider, [&](const DRAVDefinition& d) {
        auto map = std::make_shared<platform::Dictionary>();
        for (const auto& [number, name] : d.fields) map->Add(number, platform::Variant(name));
        out = std::move(map);
        return hr::S_OK;
      });
    }
    if (!object) return hr::E_INVALIDARG;
    return WithDefinition<false>(registry_, provider, [&](const EAIDefinition& d) {
      for (const auto& [name, fields] : d.objects) {
        if (name == *object) {
          out = Numbered(fields);
          return hr::S_OK;
        }
      }
      return hr::DP_E_NOOBJECT;
    });
  }

  HRESULT GetKeyFields(std::string_view provider, DictionaryPtr& out) override {
    auto answer = [&](const auto& d) {
      out = Numbered(d.keyFields);
      return hr::S_OK;
    };
    return drav_ ? WithDefinition<true>(registry_, provider, answer)
                 : WithDefinition<false>(registry_, provider, answer);
  }

  HRESULT GetObjects(std::string_view provider, DictionaryPtr& out) override {
    if (drav_) {
      return WithDefinition<true>(registry_, provider, [&](const DRAVDefinition&) {
        out = std::make_shared<platform::Dictionary>();
        return hr::S_OK;
      });
    }
    return WithDefinition<false>(registry_, provider, [&](const EAIDefinition& d) {
      std::vector<std::string> names;
      for (const auto& object : d.objects) names.push_back(object.first);
      out = Numbered(names);
      return hr::S_OK;
    });
  }

 private:
  platform::Registry& registry_;
  bool drav_;
};

class DataProviderCatalog final : public ComObject<platform::IDataProviderCatalog> {
 public:
  explicit DataProviderCatalog(platform::Registry& registry) : registry_(registry) {}

  HRESULT GetDataProviderNames(std::vector<std::string>& out) override {
    try {
      const auto catalog = ReadCatalog(registry_);
      if (!catalog) return hr::DP_E_CATALOG;
      std::vector<std::string> names;
      for (const ProviderDefinition& provider : *catalog) names.push_back(provider.name);
      out = std::move(names);
      return hr::S_OK;
    } catch (const std::bad_alloc&) {
      return hr::E_OUTOFMEMORY;
    } catch (...) {
      return hr::E_FAIL;
    }
  }

 private:
  platform::Registry& registry_;
};

template <class SourceInterface, bool kDrav>
class ProviderSource final : public ComObject<SourceInterface> {
 public:
  explicit ProviderSource(platform::Registry& registry) : registry_(registry) {}

  HRESULT get_Metadata(platform::IProviderMetadata** out) override {
    if (out == nullptr) return hr::E_POINTER;
    *out = platform::MakeComObject<ProviderMetadata>(registry_, kDrav).Detach();
    return hr::S_OK;
  }

 private:
  platform::Registry& registry_;
};

using DRAVProviderSource = ProviderSource<platform::IDRAVProviderSource, true>;
using EAIProviderSource = ProviderSource<platform::IEAIProviderSource, false>;

struct ClassEntry {
  GUID clsid;
  std::string_view progId;
  std::string_view description;
};

constexpr ClassEntry kClasses[] = {
    {platform::kDataProviderCatalogClsid, platform::kDataProviderCatalogProgId, "Data provider catalog"},
    {platform::kDRAVProviderSourceClsid, platform::kDRAVProviderSourceProgId, "DRAV data provider source"},
    {platform::kEAIProviderSourceClsid, platform::kEAIProviderSourceProgId, "EAI data provider source"},
};

platform::ClassRegistration Registration(const ClassEntry& entry) {
  return {entry.clsid, std::string(entry.progId), std::string(entry.description), "Both"};
}

template <class T>
platform::FunctionClassFactory::CreateFunction Maker(platform::Registry& registry) {
  return [&registry](const GUID& iid, void** out) {
    return platform::MakeComObject<T>(registry)->QueryInterface(iid, out);
  };
}

}  // namespace

platform::FunctionClassFactory::CreateFunction DataProviderCreateFunction(const GUID& clsid,
                                                                          platform::Registry& registry) {
  if (clsid == platform::kDataProviderCatalogClsid) return Maker<DataProviderCatalog>(registry);
  if (clsid == platform::kDRAVProviderSourceClsid) return Maker<DRAVProviderSource>(registry);
  if (clsid == platform::kEAIProviderSourceClsid) return Maker<EAIProviderSource>(registry);
  return {};
}

HRESULT GetDataProviderClassObject(const platform::ModuleSite& site, const GUID& clsid, const GUID& iid,
                                   void** out) {
  return platform::ServeClassObject(DataProviderCreateFunction(clsid, site.registry), iid, out);
}

HRESULT RegisterDataProviders(const platform::ModuleSite& site) {
  for (const ClassEntry& entry : kClasses) {
    const HRESULT result = platform::RegisterComClass(site.registry, Registration(entry), site.modulePath);
    if (platform::Failed(result)) return result;
  }
  return hr::S_OK;
}

HRESULT UnregisterDataProviders(const platform::ModuleSite& site) {
  HRESULT first = hr::S_OK;
  for (const ClassEntry& entry : kClasses) {
    const HRESULT result = platform::UnregisterComClass(site.registry, Registration(entry));
    if (platform::Failed(result) && platform::Succeeded(first)) first = result;
  }
  return first;
}

}  // namespace components
