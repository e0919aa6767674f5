// What the parts of HeaderDTC share: the services the control was created with, the editor whose
// controls hold the configuration, and the members that more than one part reads or sets.
//
// HeaderDTC owns one ControlContext and hands it to each of its parts (the General tab, the provider
// tabs, the link tabs, the I18N tab, the page-text builder); a part keeps the state of its own tab
// (and kind) itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dtc/EditorForm.h"
#include "platform/Ado.h"
#include "platform/Com.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"
#include "runtime/ControlContainer.h"
#include "runtime/Dictionary.h"
#include "runtime/FileDialog.h"
#include "runtime/MessageBox.h"

namespace dtc {

// The platform services a control is created with.
struct HeaderDTCServices {
  platform::MessageBoxes& messageBoxes;
  platform::ControlContainer* container = nullptr;  // none: change notifications go nowhere
  // Creates the data-provider components (none: they cannot be created, and the tabs stay empty
  // after the Prepare procedures' messages).
  platform::ComponentCreator* components = nullptr;
  platform::FileDialogs* fileDialogs = nullptr;  // none: every file dialog is cancelled
  // Page text generation: the registry the scripting shell reads the install directory from (none:
  // no shell object, so the install directory is unknown), and the file system the page template is
  // read from (none: the template cannot be opened).
  platform::Registry* registry = nullptr;
  platform::TextFiles* files = nullptr;
  // The translation dialogs' ADO objects (none: the ODBC backend, opened at the first I18N operation).
  platform::ado::DataAccess* dataAccess = nullptr;
};

struct ControlContext {
  explicit ControlContext(HeaderDTCServices given)
      : services(given),
        ui(given.fileDialogs),
        userDefinedScripts(std::make_shared<platform::Dictionary>()) {}
  ControlContext(const ControlContext&) = delete;
  ControlContext& operator=(const ControlContext&) = delete;

  platform::MessageBoxes& Boxes() const noexcept { return services.messageBoxes; }
  // Tells the container that the property `propertyName` changed, so that it saves the page.
  void NotifyChanged(std::string_view propertyName) const {
    if (services.container) services.container->PropertyChanged(propertyName);
  }
  // Linear cell index of a criteria / links grid cell (row * column count + column); both kinds'
  // grids count the DRAV grid's columns.
  std::int32_t CriteriaCellIndex(std::int32_t row, std::int32_t column) const {
    return row * ui.DRAV.CriteriaGrid.Cols() + column;
  }
  std::int32_t LinksCellIndex(std::int32_t row, std::int32_t column) const {
    return row * ui.DRAV.LinksGrid.Cols() + column;
  }

  HeaderDTCServices services;
  EditorForm ui;

  // The data provider last chosen on the General tab, in effect for the other tabs.
  std::string currentDataProvider;
  // The linked data provider in effect for both link tabs and the page text, and whether a removal
  // of the link is running on both link tabs.
  std::string linkedProviderName;
  bool deletingLink = false;
  // The scripts of criterion values of kind USERSCRIPT: script name -> function text; and the script
  // count read on load or set through the public property.
  platform::DictionaryPtr userDefinedScripts;
  std::int16_t nrOfUserDefinedScripts = 0;
};

}  // namespace dtc
