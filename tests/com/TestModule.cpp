// A component module for the tests. Its one class, "Tessery.TestPayment", implements the payment
// interface: Run hands back the length of the order id, or the DWORD "RunResult" under
// HKLM\Software\Tessery\TestPayment in the registry of whoever created the object.
#include "interfaces/Payment.h"

namespace {

using namespace platform;

constexpr GUID kClsid = GuidLiteral("{6B1D6F0E-3C4A-4E59-9A7B-2D1E0F3A4B5C}");

ClassRegistration Registration() {
  return {kClsid, "Tessery.TestPayment", "Tessery test payment component", "Both"};
}

class TestPayment final : public ComObject<IPayment> {
 public:
  explicit TestPayment(Registry& registry) : registry_(registry) {}

  HRESULT Run(std::string_view orderId, short* result) override {
    if (result == nullptr) return hr::E_POINTER;
    if (orderId.empty()) return hr::E_INVALIDARG;
    RegistryValue configured;
    if (registry_.QueryValue(RootKey::LocalMachine, "Software\\Tessery\\TestPayment", "RunResult",
                             configured) == win32::Success &&
        configured.AsDWord()) {
      *result = static_cast<short>(*configured.AsDWord());
    } else {
      *result = static_cast<short>(orderId.size());
    }
    return hr::S_OK;
  }

 private:
  Registry& registry_;
};

}  // namespace

COM_MODULE_EXPORT HRESULT DllGetClassObject(const ModuleSite& site, const GUID& clsid, const GUID& iid,
                                            void** out) {
  if (clsid != kClsid) return ServeClassObject({}, iid, out);
  Registry* registry = &site.registry;
  return ServeClassObject(
      [registry](const GUID& wanted, void** object) {
        return MakeComObject<TestPayment>(*registry)->QueryInterface(wanted, object);
      },
      iid, out);
}

COM_MODULE_EXPORT HRESULT DllRegisterServer(const ModuleSite& site) {
  return RegisterComClass(site.registry, Registration(), site.modulePath);
}

COM_MODULE_EXPORT HRESULT DllUnregisterServer(const ModuleSite& site) {
  return UnregisterComClass(site.registry, Registration());
}
