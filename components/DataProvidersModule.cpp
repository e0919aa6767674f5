// The loadable module of the reference data-provider components (libCorvaneDataProviders.so).
#include "components/DataProviderComponents.h"

COM_MODULE_EXPORT platform::HRESULT DllGetClassObject(const platform::ModuleSite& site,
                                                      const platform::GUID& clsid, const platform::GUID& iid,
                                                      void** out) {
  return components::GetDataProviderClassObject(site, clsid, iid, out);
}

COM_MODULE_EXPORT platform::HRESULT DllRegisterServer(const platform::ModuleSite& site) {
  return components::RegisterDataProviders(site);
}

COM_MODULE_EXPORT platform::HRESULT DllUnregisterServer(const platform::ModuleSite& site) {
  return components::UnregisterDataProviders(site);
}
