// HeaderDTC composed of its parts, with the container's init, read and write of the properties.
#include "dtc/HeaderDTC.h"

#include "dtc/ErrorTrap.h"
#include "dtc/TextFunctions.h"

namespace dtc {
namespace {

// Opens the criterion dialog for a row of the kind's criteria grid.
ProviderTab::CriteriumDialogOpener CriteriumDialogOpener(HeaderDTC& control, ProviderKind kind) {
  return [&control, kind](std::int16_t row, const std::string& value, const std::string& body,
                          const platform::Variant& valueKind) {
    control.ShowCriteriumDialog(static_cast<std::int16_t>(kind), row, value, body, valueKind);
  };
}

}  // namespace

HeaderDTC::HeaderDTC(HeaderDTCServices services)
    : context_(services),
      providerTabs_{{context_, ProviderKind::DRAV, CriteriumDialogOpener(*this, ProviderKind::DRAV)},
                    {context_, ProviderKind::EAI, CriteriumDialogOpener(*this, ProviderKind::EAI)}},
      linkTabs_{{context_, ProviderKind::DRAV}, {context_, ProviderKind::EAI}},
      i18nTab_(context_),
      pageText_(context_, providerTabs_),
      generalTab_(context_, pageText_) {
  linkTabs_.drav.PairWith(linkTabs_.eai);
  context_.ui.SSTab1.Click.Connect([this](std::int16_t previousTab) { SSTab1_Click(previousTab); });
  context_.ui.form.KeyPress.Connect([this](std::int16_t& key) { UserControl_KeyPress(key); });
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
  context_.NotifyChanged("UserDefinedScripts");
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
    providerTabs_[kind].Prepare();
  }
}

HeaderDTC::GridEditorState HeaderDTC::GridEditors(ProviderKind kind) {
  ProviderTab::CriteriaMarks& criteria = providerTabs_[kind].Marks();
  LinksMarks& links = linkTabs_[kind].Marks();
  return {criteria.markedRow, criteria.editRow, criteria.valueWarningArmed, links.markedRow, links.editRow,
          links.fromOpenRow,  links.toOpenRow};
}

}  // namespace dtc
