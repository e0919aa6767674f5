// The editor's calls on the data-provider components, their failures raised as run-time errors.
#include "dtc/ProviderComponents.h"

#include "dtc/ProviderKinds.h"

namespace dtc {
namespace {

using platform::ComPtr;
using platform::DictionaryPtr;
using platform::IProviderMetadata;

template <class Source>
ComPtr<IProviderMetadata> NewMetadata(platform::ComponentCreator* creator, const platform::GUID& clsid) {
  ComPtr<IProviderMetadata> metadata;
  Check(CreateComponent<Source>(creator, clsid)->get_Metadata(metadata.Put()));
  if (!metadata) platform::Raise(platform::hr::E_POINTER, platform::HResultText(platform::hr::E_POINTER));
  return metadata;
}

}  // namespace

void Check(platform::HRESULT result) {
  if (platform::Failed(result)) platform::Raise(result, platform::DataProviderResultText(result));
}

ComPtr<IProviderMetadata> NewDRAVProviderMetadata(platform::ComponentCreator* creator) {
  return NewMetadata<platform::IDRAVProviderSource>(creator, platform::kDRAVProviderSourceClsid);
}

ComPtr<IProviderMetadata> NewEAIProviderMetadata(platform::ComponentCreator* creator) {
  return NewMetadata<platform::IEAIProviderSource>(creator, platform::kEAIProviderSourceClsid);
}

// DRAV items: the field number padded on the left with spaces to the width of the field count
// written in decimal, " - ", the name.
void AddDRAVFieldItems(IProviderMetadata& metadata, const std::string& provider, platform::ItemList& list) {
  DictionaryPtr fields;
  Check(metadata.GetFields(provider, std::nullopt, fields));
  const std::size_t width = std::to_string(fields->Count()).size();
  for (const auto& [key, name] : *fields) {
    std::string item(key.size() < width ? width - key.size() : 0, ' ');
    item.append(key).append(" - ").append(name.ToString());
    list.AddItem(std::move(item));
  }
}

// EAI items: object name, ".", field name, object by object in the map's order.
void AddEAIFieldItems(IProviderMetadata& metadata, const std::string& provider, platform::ItemList& list) {
  DictionaryPtr objects;
  Check(metadata.GetObjects(provider, objects));
  for (const auto& entry : *objects) {
    const std::string object = entry.item.ToString();
    DictionaryPtr fields;
    Check(metadata.GetFields(provider, object, fields));
    for (const auto& field : *fields) list.AddItem(object + "." + field.item.ToString());
  }
}

void AddKeyFields(IProviderMetadata& metadata, const std::string& provider, platform::ItemList& list) {
  DictionaryPtr keys;
  Check(metadata.GetKeyFields(provider, keys));
  for (const auto& entry : *keys) list.AddItem(entry.item.ToString());
}

}  // namespace dtc
