// Reference data-provider components: the catalog, the DRAV and EAI sources and their metadata
// objects, serving the provider definitions of a catalog file.
//
// The catalog file is found through the registry: the value "CatalogFile" of
// HKLM\SOFTWARE\Tessery\Tessery Corvane\DataProviders holds its path, either as the system writes
// paths ("c:\install\Vistelle\dataproviders.json", drive letters mapped by $TESSERY_DRIVE_<X>) or as
// a path of the host. It is read at each call, so an edited catalog shows at the next preparation of
// a tab. The file is one JSON object:
//
//   { "providers": [
//       { "name": "KRMOrders",
//         "drav": { "fields": [[1, "ORDERID"], [2, "CUSTOMERNAME"]], "keyFields": ["ORDERID"] },
//         "eai":  { "objects": [{ "name": "Order", "fields": ["Number", "Status"] }],
//                   "keyFields": ["Order.Number"] } } ] }
//
// A provider has a DRAV definition, an EAI definition or both. DRAV fields are [number, name] pairs
// keyed by their number (decimal, no padding). Key fields, objects and an object's fields are
// numbered from 1; those numbers are their map keys. Every map keeps the file's order (the file is
// all arrays, so reading it stays linear however many fields a provider has).
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/Com.h"
#include "platform/Registry.h"

namespace components {

inline constexpr std::string_view kDataProvidersKey = "SOFTWARE\\Tessery\\Tessery Corvane\\DataProviders";
inline constexpr std::string_view kCatalogFileValue = "CatalogFile";

// Makes objects of one of the three classes (catalog, DRAV source, EAI source), which read the
// catalog location from `registry` (it must outlive them). An empty function for another class id.
platform::FunctionClassFactory::CreateFunction DataProviderCreateFunction(const platform::GUID& clsid,
                                                                          platform::Registry& registry);

// The module's entry points, written once for the loadable module and for in-process use.
[[nodiscard]] platform::HRESULT GetDataProviderClassObject(const platform::ModuleSite& site,
                                                           const platform::GUID& clsid,
                                                           const platform::GUID& iid, void** out);
[[nodiscard]] platform::HRESULT RegisterDataProviders(const platform::ModuleSite& site);
[[nodiscard]] platform::HRESULT UnregisterDataProviders(const platform::ModuleSite& site);

}  // namespace components
