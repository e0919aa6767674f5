// The loadable module of the reference payment component (libCCPayment.so), registered with regsvr
// like any component.
#include <chrono>
#include <memory>

#include "components/CCPayment.h"

namespace {

using namespace platform;

// One ODBC environment for every object of the module, made on first use. It is never destroyed:
// the module stays loaded for the life of the process and objects may be released at its very end.
// Its connections are pooled: every Run opens and closes a connection of its own, and a cycle's
// workers run one Run after another, so a connection closed by one is taken by the next instead of
// being made anew (on a database server a new connection costs more than the whole settlement).
// The statements of a Run leave no session state behind. Five seconds carry a cycle's payments from
// one to the next; between cycles (a minute or more apart) no connection is kept.
ado::DataAccess& ModuleDataAccess() {
  static ado::DataAccess* const access =
      ado::OpenOdbcDataAccess({.idleLimit = components::kConnectionIdleLimit}).release();
  return *access;
}

}  // namespace

COM_MODULE_EXPORT HRESULT DllGetClassObject(const ModuleSite& site, const GUID& clsid, const GUID& iid,
                                            void** out) {
  if (clsid != components::kCCPaymentClsid) return ServeClassObject({}, iid, out);
  Registry* registry = &site.registry;
  return ServeClassObject(
      [registry](const GUID& wanted, void** object) {
        return components::MakeCCPayment(*registry, ModuleDataAccess())->QueryInterface(wanted, object);
      },
      iid, out);
}

COM_MODULE_EXPORT HRESULT DllRegisterServer(const ModuleSite& site) {
  return RegisterComClass(site.registry, components::CCPaymentRegistration(), site.modulePath);
}

COM_MODULE_EXPORT HRESULT DllUnregisterServer(const ModuleSite& site) {
  return UnregisterComClass(site.registry, components::CCPaymentRegistration());
}
