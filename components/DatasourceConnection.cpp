// The reference data-source connection: the connection strings of the installation, read from the registry.
#include "components/DatasourceConnection.h"

#include <string>

#include "interfaces/DatasourceConnection.h"
#include "platform/Win32Error.h"

namespace components {
namespace {

using platform::GUID;
using platform::HRESULT;
namespace hr = platform::hr;

class DatasourceConnection final : public platform::ComObject<platform::IDatasourceConnection> {
 public:
  explicit DatasourceConnection(platform::Registry& registry) : registry_(registry) {}

  HRESULT ConnectionString(std::int32_t datasource, std::string& connectionString) override {
    platform::RegistryValue value;
    const long code = registry_.QueryValue(platform::RootKey::LocalMachine, kDatasourcesKey,
                                           std::to_string(datasource), value);
    if (code != 0) return platform::HResultFromWin32(code);
    connectionString = value.AsString();
    return hr::S_OK;
  }

 private:
  platform::Registry& registry_;
};

platform::ClassRegistration Registration() {
  return {platform::kDatasourceConnectionClsid, std::string(platform::kDatasourceConnectionProgId),
          "Data-source connection", "Both"};
}

}  // namespace

platform::FunctionClassFactory::CreateFunction DatasourceConnectionCreateFunction(
    platform::Registry& registry) {
  return [&registry](const GUID& iid, void** out) {
    return platform::MakeComObject<DatasourceConnection>(registry)->QueryInterface(iid, out);
  };
}

HRESULT GetDatasourceConnectionClassObject(const platform::ModuleSite& site, const GUID& clsid,
                                           const GUID& iid, void** out) {
  return platform::ServeClassObject(clsid == platform::kDatasourceConnectionClsid
                                        ? DatasourceConnectionCreateFunction(site.registry)
                                        : nullptr,
                                    iid, out);
}

HRESULT RegisterDatasourceConnection(const platform::ModuleSite& site) {
  return platform::RegisterComClass(site.registry, Registration(), site.modulePath);
}

HRESULT UnregisterDatasourceConnection(const platform::ModuleSite& site) {
  return platform::UnregisterComClass(site.registry, Registration());
}

}  // namespace components
