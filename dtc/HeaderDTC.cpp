#include "dtc/HeaderDTC.h"

#include "dtc/ErrorTrap.h"
#include "dtc/TextFunctions.h"

namespace dtc {

HeaderDTC::HeaderDTC(HeaderDTCServices services) : context_(services) {
  ConnectEditorEvents();
  UserControl_Initialize();
}

HeaderDTC::~HeaderDTC() = default;

void HeaderDTC::UserControl_InitProperties() {
  context_.userDefinedScripts = std::make_shared<platform::Dictionary>();
  context_.nrOfUserDefinedScripts = 0;
}

bool HeaderDTC::UserControl_ReadProperties(platform::PropertyBag& bag) {
  return RunTrapped(MessageBoxes(), "UserControl_ReadProperties", [&] { LoadConfiguration(bag); });
}

bool HeaderDTC::UserControl_WriteProperties(platform::PropertyBag& bag) {
  return RunTrapped(MessageBoxes(), "UserControl_WriteProperties", [&] { SaveConfiguration(bag); });
}

void HeaderDTC::LetUserDefinedScripts(platform::DictionaryPtr scripts) {
  context_.userDefinedScripts = std::move(scripts);
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

  if (context_.userDefinedScripts->Exists(iRepresentation))
    context_.userDefinedScripts->Remove(iRepresentation);
  if (iType == USERSCRIPT) context_.userDefinedScripts->Add(iRepresentation, platform::Variant(iValue));

  if (eai || drav) {
    const ProviderKind kind = eai ? ProviderKind::EAI : ProviderKind::DRAV;
    context_.ui.Side(kind).CriteriaGrid.SetTextArray(CriteriaCellIndex(iRow, 3), iRepresentation);
    PrepareProviderTab(kind);
  }
}

platform::Dictionary& HeaderDTC::CriteriaTypes(ProviderKind kind) {
  return IsDRAVSide(kind) ? dravCriteriaTypes_ : eaiCriteriaTypes_;
}

const platform::Dictionary& HeaderDTC::CriteriaTypes(ProviderKind kind) const {
  return IsDRAVSide(kind) ? dravCriteriaTypes_ : eaiCriteriaTypes_;
}

void HeaderDTC::DataProvidersCombo_Click() {
  RunTrapped(MessageBoxes(), "DataProvidersCombo_Click", [&] {
    const std::string chosen = context_.ui.DataProvidersCombo.Text();
    if (chosen != context_.currentDataProvider) {
      context_.ui.DRAV.FromLinkFieldsCombo.Clear();
      context_.ui.EAI.FromLinkFieldsCombo.Clear();
    }
    context_.currentDataProvider = chosen;
  });
}

}  // namespace dtc
