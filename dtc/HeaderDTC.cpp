#include "dtc/HeaderDTC.h"

#include "dtc/ErrorTrap.h"
#include "dtc/TextFunctions.h"

namespace dtc {

HeaderDTC::HeaderDTC(HeaderDTCServices services)
    : services_(services),
      ui_(services.fileDialogs),
      userDefinedScripts_(std::make_shared<platform::Dictionary>()) {
  ConnectEditorEvents();
  UserControl_Initialize();
}

HeaderDTC::~HeaderDTC() = default;

void HeaderDTC::UserControl_InitProperties() {
  userDefinedScripts_ = std::make_shared<platform::Dictionary>();
  nrOfUserDefinedScripts_ = 0;
}

bool HeaderDTC::UserControl_ReadProperties(platform::PropertyBag& bag) {
  return RunTrapped(MessageBoxes(), "UserControl_ReadProperties", [&] { LoadConfiguration(bag); });
}

bool HeaderDTC::UserControl_WriteProperties(platform::PropertyBag& bag) {
  return RunTrapped(MessageBoxes(), "UserControl_WriteProperties", [&] { SaveConfiguration(bag); });
}

void HeaderDTC::LetUserDefinedScripts(platform::DictionaryPtr scripts) {
  userDefinedScripts_ = std::move(scripts);
  NotifyChanged("UserDefinedScripts");
}

void HeaderDTC::SetKeyValue(std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation,
                            std::string& iValue, SpecificationType& iType) {
  iRepresentation = std::string(TrimSpaces(iRepresentation));
  const bool eai = iTab == static_cast<std::int16_t>(ProviderKind::EAI);
  const bool drav = iTab == static_cast<std::int16_t>(ProviderKind::DRAV);

  if (eai || drav) {
    platform::Dictionary& types = CriteriaTypes(eai ? ProviderKind::EAI : ProviderKind::DRAV);
    if (types.Exists(iRepresentation)) types.Remove(iRepresentation);
    types.Add(iRepresentation, platform::Variant(static_cast<std::int32_t>(iType)));
  }

  if (userDefinedScripts_->Exists(iRepresentation)) userDefinedScripts_->Remove(iRepresentation);
  if (iType == USERSCRIPT) userDefinedScripts_->Add(iRepresentation, platform::Variant(iValue));

  if (eai || drav) {
    const ProviderKind kind = eai ? ProviderKind::EAI : ProviderKind::DRAV;
    ui_.Side(kind).CriteriaGrid.SetTextArray(CriteriaCellIndex(iRow, 3), iRepresentation);
    PrepareProviderTab(kind);
  }
}

std::int32_t HeaderDTC::CriteriaCellIndex(std::int32_t row, std::int32_t column) const {
  return row * ui_.DRAV.CriteriaGrid.Cols() + column;
}

std::int32_t HeaderDTC::LinksCellIndex(std::int32_t row, std::int32_t column) const {
  return row * ui_.DRAV.LinksGrid.Cols() + column;
}

platform::Dictionary& HeaderDTC::CriteriaTypes(ProviderKind kind) {
  return IsDRAVSide(kind) ? dravCriteriaTypes_ : eaiCriteriaTypes_;
}

const platform::Dictionary& HeaderDTC::CriteriaTypes(ProviderKind kind) const {
  return IsDRAVSide(kind) ? dravCriteriaTypes_ : eaiCriteriaTypes_;
}

void HeaderDTC::DataProvidersCombo_Click() {
  RunTrapped(MessageBoxes(), "DataProvidersCombo_Click", [&] {
    const std::string chosen = ui_.DataProvidersCombo.Text();
    if (chosen != currentDataProvider_) {
      ui_.DRAV.FromLinkFieldsCombo.Clear();
      ui_.EAI.FromLinkFieldsCombo.Clear();
    }
    currentDataProvider_ = chosen;
  });
}

void HeaderDTC::NotifyChanged(std::string_view propertyName) {
  if (services_.container) services_.container->PropertyChanged(propertyName);
}

}  // namespace dtc
