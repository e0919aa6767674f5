// Reference data-source connection component (Corvane.DatasourceConnection): hands out the
// connection strings the product installation keeps in the registry.
//
// The strings are the values of HKLM\SOFTWARE\Tessery\Tessery Corvane\Datasources, named by the
// database number in decimal ("8" is the I18N database). They are read at each call, so a changed
// installation shows at the next operation. A number without a value is HRESULT_FROM_WIN32(2), the
// registry's own "not found".
#pragma once

#include <string_view>

#include "platform/Com.h"
#include "platform/Registry.h"

namespace components {

inline constexpr std::string_view kDatasourcesKey = "SOFTWARE\\Tessery\\Tessery Corvane\\Datasources";

// Makes data-source connection objects that read `registry` (it must outlive them).
platform::FunctionClassFactory::CreateFunction DatasourceConnectionCreateFunction(
    platform::Registry& registry);

[[nodiscard]] platform::HRESULT GetDatasourceConnectionClassObject(const platform::ModuleSite& site,
                                                                   const platform::GUID& clsid,
                                                                   const platform::GUID& iid, void** out);
[[nodiscard]] platform::HRESULT RegisterDatasourceConnection(const platform::ModuleSite& site);
[[nodiscard]] platform::HRESULT UnregisterDatasourceConnection(const platform::ModuleSite& site);

}  // namespace components
