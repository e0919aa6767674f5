// The product's data-provider components, as the page-header control uses them: a catalog that
// lists every data provider, and one source per kind of provider (DRAV and EAI) whose metadata
// object describes a provider's fields, key fields and (EAI) objects.
//
// Keeps: the catalog's list of provider names (an array of texts, in the catalog's order); each
// source's metadata property (dispatch identifier 106 on the DRAV source, 105 on the EAI source);
// GetFields, GetKeyFields and GetObjects, each returning a map (key -> name, enumerated in the map's
// own order). DRAV fields are keyed by field number; an EAI provider has objects, each with its own
// fields. Failures are HRESULTs: the platform's, or the DP_E_ codes below for a provider the
// component does not know and a catalog it cannot read.
// Leaves out: everything else the product's components offer (running queries, paging, sorting).
//
// The class ids below are how the control creates the components; any module that registers
// classes under them serves (components/ holds reference ones reading a catalog file).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Com.h"
#include "runtime/Dictionary.h"

namespace platform {

// Class ids and ProgIDs of the data-provider components.
inline constexpr GUID kDataProviderCatalogClsid = GuidLiteral("{6F1C2A40-3B5D-4E27-9A1C-5D2E8B7F0C11}");
inline constexpr GUID kDRAVProviderSourceClsid = GuidLiteral("{6F1C2A41-3B5D-4E27-9A1C-5D2E8B7F0C11}");
inline constexpr GUID kEAIProviderSourceClsid = GuidLiteral("{6F1C2A42-3B5D-4E27-9A1C-5D2E8B7F0C11}");
inline constexpr std::string_view kDataProviderCatalogProgId = "Corvane.DataProviderCatalog";
inline constexpr std::string_view kDRAVProviderSourceProgId = "Corvane.DRAVProviderSource";
inline constexpr std::string_view kEAIProviderSourceProgId = "Corvane.EAIProviderSource";

// Dispatch identifiers of the sources' metadata property.
inline constexpr std::int32_t kDRAVMetadataDispId = 106;
inline constexpr std::int32_t kEAIMetadataDispId = 105;

namespace hr {
// No data provider of that name (of the source's kind) in the catalog.
inline constexpr HRESULT DP_E_NOPROVIDER = Code(0x80040A01);
// No object of that name in an EAI provider.
inline constexpr HRESULT DP_E_NOOBJECT = Code(0x80040A02);
// The provider catalog cannot be found or read.
inline constexpr HRESULT DP_E_CATALOG = Code(0x80040A03);
}  // namespace hr

// The description of a data-provider failure: the texts of the DP_E_ codes, HResultText otherwise.
std::string DataProviderResultText(HRESULT result);

// The fields, key fields and objects of providers. A provider name the source does not know is
// DP_E_NOPROVIDER; `out` is set only on success.
class IProviderMetadata : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{6F1C2A50-3B5D-4E27-9A1C-5D2E8B7F0C11}");

  // field key -> field name. DRAV: no object (keys are field numbers). EAI: the fields of `object`.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetFields(std::string_view provider,
                                                                   std::optional<std::string_view> object,
                                                                   DictionaryPtr& out) = 0;
  // key -> key-field name.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetKeyFields(std::string_view provider,
                                                                      DictionaryPtr& out) = 0;
  // key -> object name (EAI; a DRAV provider has none and gives an empty map).
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetObjects(std::string_view provider,
                                                                    DictionaryPtr& out) = 0;

 protected:
  ~IProviderMetadata() = default;
};

class IDataProviderCatalog : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{6F1C2A51-3B5D-4E27-9A1C-5D2E8B7F0C11}");

  // Every data provider's name, in the catalog's order.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetDataProviderNames(
      std::vector<std::string>& out) = 0;

 protected:
  ~IDataProviderCatalog() = default;
};

// A source of one kind of provider; its metadata property (dispatch identifier 106 for DRAV, 105
// for EAI) gives the metadata object, with a reference the caller owns.
class IDRAVProviderSource : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{6F1C2A52-3B5D-4E27-9A1C-5D2E8B7F0C11}");
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT get_Metadata(IProviderMetadata** out) = 0;

 protected:
  ~IDRAVProviderSource() = default;
};

class IEAIProviderSource : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{6F1C2A53-3B5D-4E27-9A1C-5D2E8B7F0C11}");
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT get_Metadata(IProviderMetadata** out) = 0;

 protected:
  ~IEAIProviderSource() = default;
};

}  // namespace platform
