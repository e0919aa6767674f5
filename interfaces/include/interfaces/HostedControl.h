// A control inside a container: what the container gives it (its client site, with the platform
// services the control runs with) and how the container persists it (through a property bag).
//
// Keeps: the client site handed over once, right after creation: the control's start-up
// (UserControl_Initialize) runs then, since it already needs the services (message boxes for its
// error trap, component creation to fill its editor); initialise / load / save of the control's
// properties; the control's own form, which a headless host renders and drives.
// Leaves out: in-place activation, windows, ambient properties, verbs and the other interfaces a
// container negotiates with a windowed control.
#pragma once

#include "platform/Com.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"
#include "runtime/ControlContainer.h"
#include "runtime/FileDialog.h"
#include "runtime/Forms.h"
#include "runtime/MessageBox.h"
#include "runtime/PropertyBag.h"

namespace platform {

// The services a container offers its controls; each must outlive the control. A missing one is
// what the platform lacks: no container to notify, nobody at the file dialogs, no component, no
// registry (the scripting shell cannot be created), no file system.
struct ControlServices {
  MessageBoxes& messageBoxes;
  ControlContainer* container = nullptr;
  FileDialogs* fileDialogs = nullptr;
  ComponentCreator* components = nullptr;
  Registry* registry = nullptr;
  TextFiles* files = nullptr;
};

class IHostedControl : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{4A7E2C92-1D3B-4F5A-8C6E-0B9D2E4F6A71}");

  // Hands the control its services; its start-up runs now. E_UNEXPECTED when it has them already.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT SetClientSite(const ControlServices& services) = 0;
  // The control's own form (its editor); null before the client site is set.
  virtual Form* UserControlForm() = 0;

 protected:
  ~IHostedControl() = default;
};

class IPersistPropertyBag : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{37D84F60-42CB-11CE-8135-00AA004BB851}");

  // A new control: its properties take their initial values.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT InitNew() = 0;
  // S_OK, or E_FAIL when the control reported an error (it has shown its message); what was loaded
  // or stored before the error stays. E_UNEXPECTED before the client site is set.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT Load(PropertyBag& bag) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT Save(PropertyBag& bag) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

}  // namespace platform
