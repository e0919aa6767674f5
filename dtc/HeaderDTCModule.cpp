// libVistelleDTC.so as a component module: the HeaderDTC class, its class factory and the module's
// registration. The control registers itself under its class id and ProgID, and marks the class as
// a control.
#include <memory>
#include <string>

#include "dtc/ConfigurationDump.h"
#include "dtc/HeaderDTC.h"
#include "dtc/HeaderDTCClass.h"
#include "interfaces/DesignTimeControl.h"
#include "interfaces/HostedControl.h"

namespace dtc {
namespace {

using platform::HRESULT;
namespace hr = platform::hr;

// Runs `call` and turns a run-time error into its HRESULT (and description).
template <class Call>
HRESULT Guarded(std::string* error, Call&& call) {
  try {
    call();
    return hr::S_OK;
  } catch (const platform::Error& e) {
    if (error) *error = e.Description();
    return HResultFromErrorNumber(e.Number());
  } catch (const std::bad_alloc&) {
    if (error) *error = platform::StandardDescription(platform::err::OutOfMemory);
    return hr::E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return hr::E_UNEXPECTED;
  }
}

class HeaderDTCObject final
    : public platform::ComObject<IHeaderDTC, platform::IHostedControl, platform::IPersistPropertyBag,
                                 platform::IDesignTimeControl, platform::IProvideRuntimeText> {
 public:
  // ---- IHostedControl ----
  HRESULT SetClientSite(const platform::ControlServices& services) override {
    if (control_) return hr::E_UNEXPECTED;
    return Guarded(nullptr, [&] {
      control_ = std::make_unique<HeaderDTC>(HeaderDTCServices{
          .messageBoxes = services.messageBoxes,
          .container = services.container,
          .components = services.components,
          .fileDialogs = services.fileDialogs,
          .registry = services.registry,
          .files = services.files,
      });
    });
  }
  platform::Form* UserControlForm() override { return control_ ? &control_->Editor().form : nullptr; }

  // ---- IPersistPropertyBag ----
  HRESULT InitNew() override {
    if (!control_) return hr::E_UNEXPECTED;
    return Guarded(nullptr, [&] { control_->UserControl_InitProperties(); });
  }
  HRESULT Load(platform::PropertyBag& bag) override {
    if (!control_) return hr::E_UNEXPECTED;
    return control_->UserControl_ReadProperties(bag) ? hr::S_OK : hr::E_FAIL;
  }
  HRESULT Save(platform::PropertyBag& bag) override {
    if (!control_) return hr::E_UNEXPECTED;
    return control_->UserControl_WriteProperties(bag) ? hr::S_OK : hr::E_FAIL;
  }

  // ---- IHeaderDTC ----
  HRESULT GetProperty(std::string_view name, std::optional<std::int32_t> index, platform::Variant& value,
                      std::string* error) override {
    if (!control_) return hr::E_UNEXPECTED;
    return Guarded(error, [&] { value = control_->GetProperty(name, index); });
  }
  HRESULT LetProperty(std::string_view name, std::optional<std::int32_t> index,
                      const platform::Variant& value, std::string* error) override {
    if (!control_) return hr::E_UNEXPECTED;
    return Guarded(error, [&] { control_->LetProperty(name, index, value); });
  }
  HRESULT SetKeyValue(std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation,
                      std::string& iValue, SpecificationType& iType, std::string* error) override {
    if (!control_) return hr::E_UNEXPECTED;
    return Guarded(error, [&] { control_->SetKeyValue(iTab, iRow, iRepresentation, iValue, iType); });
  }
  HRESULT DescribeConfiguration(std::string& listing) override {
    if (!control_) return hr::E_UNEXPECTED;
    return Guarded(nullptr, [&] { listing = dtc::DescribeConfiguration(*control_); });
  }

  // ---- IDesignTimeControl: only the site matters; the notifications do nothing ----
  HRESULT get_DesignTimeControlSite(std::shared_ptr<platform::DesignTimeControlSite>& site) override {
    if (!control_) return hr::E_UNEXPECTED;
    site = control_->DesignTimeControlSite();
    return hr::S_OK;
  }
  HRESULT put_DesignTimeControlSite(std::shared_ptr<platform::DesignTimeControlSite> site) override {
    if (!control_) return hr::E_UNEXPECTED;
    control_->SetDesignTimeControlSite(std::move(site));
    return hr::S_OK;
  }
  HRESULT OnGetChoices(platform::Variant& choices) override {
    choices = platform::Variant();
    return hr::S_OK;
  }
  HRESULT OnChoiceChange(const void*, std::int32_t) override { return hr::S_OK; }
  HRESULT OnChoiceConflict(const void*, std::int32_t) override { return hr::S_OK; }
  HRESULT OnRebind(const void*) override { return hr::S_OK; }
  HRESULT OnHostingChange(std::int32_t) override { return hr::S_OK; }
  HRESULT DesignTimeControlSet(std::int32_t) override { return hr::S_OK; }

  // ---- IProvideRuntimeText ----
  HRESULT GetRuntimeText(std::string& text) override {
    if (!control_) return hr::E_UNEXPECTED;
    return control_->GetRuntimeText(text) ? hr::S_OK : hr::S_FALSE;
  }

 private:
  std::unique_ptr<HeaderDTC> control_;
};

platform::ClassRegistration Registration() {
  return {kHeaderDTCClsid, std::string(kHeaderDTCProgId), "HeaderDTC design-time control", "Apartment"};
}

std::string ControlKey() {
  return "CLSID\\" + platform::FormatGuid(kHeaderDTCClsid) + "\\Control";
}

}  // namespace
}  // namespace dtc

COM_MODULE_EXPORT platform::HRESULT DllGetClassObject(const platform::ModuleSite&,
                                                      const platform::GUID& clsid, const platform::GUID& iid,
                                                      void** out) {
  return platform::ServeClassObject(
      clsid == dtc::kHeaderDTCClsid ? platform::CreateFunctionFor<dtc::HeaderDTCObject>() : nullptr, iid,
      out);
}

COM_MODULE_EXPORT platform::HRESULT DllRegisterServer(const platform::ModuleSite& site) {
  const platform::HRESULT result =
      platform::RegisterComClass(site.registry, dtc::Registration(), site.modulePath);
  if (platform::Failed(result)) return result;
  const long code = site.registry.CreateKey(platform::RootKey::ClassesRoot, dtc::ControlKey());
  return code == 0 ? platform::hr::S_OK : platform::HResultFromWin32(code);
}

COM_MODULE_EXPORT platform::HRESULT DllUnregisterServer(const platform::ModuleSite& site) {
  return platform::UnregisterComClass(site.registry, dtc::Registration());
}
