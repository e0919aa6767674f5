// The loadable module of the reference data-source connection component
// (libCorvaneDatasourceConnection.so).
#include "components/DatasourceConnection.h"

COM_MODULE_EXPORT platform::HRESULT DllGetClassObject(const platform::ModuleSite& site,
                                                      const platform::GUID& clsid, const platform::GUID& iid,
                                                      void** out) {
  return components::GetDatasourceConnectionClassObject(site, clsid, iid, out);
}

COM_MODULE_EXPORT platform::HRESULT DllRegisterServer(const platform::ModuleSite& site) {
  return components::RegisterDatasourceConnection(site);
}

COM_MODULE_EXPORT platform::HRESULT DllUnregisterServer(const platform::ModuleSite& site) {
  return components::UnregisterDatasourceConnection(site);
}
