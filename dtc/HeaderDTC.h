// HeaderDTC: the page-header design-time control.
//
// The control keeps one configuration per page. There is no separate configuration record: the
// configuration is the contents of the editor's controls (EditorForm) and a few members:
//
//   item                       held by
//   data provider              text of DataProvidersCombo (also CurrentDataProvider and the two
//                              <kind>DataProviderText boxes); a stored provider the combo does not
//                              offer is kept as its text
//   extra filters              EnableExtraFiltersCheck (0 / 1)
//   extra includes             IncludeASPList (site-relative paths)
//   XSL file name              XSLFilenameText ("xsl/Generic.xsl" when the control is created)
//   available fields           <kind>FieldsList
//   return fields              <kind>SelectedFieldsList
//   key fields                 items of <kind>KeyFieldsCombo
//   criteria                   <kind>CriteriaGrid (5 columns, header row, last row = entry row)
//   criteria value kinds       member map CriteriaTypes(kind): value text -> SpecificationType
//   user-defined scripts       member map UserDefinedScripts: script name -> function text
//   script count               member NrOfUserDefinedScripts (16-bit)
//   field-name translations    selection of <kind>I18NFieldnamesList (items = return fields)
//   field-value translations   selection of <kind>I18NFieldValuesList (items = return fields)
//   linked data provider       saved from DRAVLinkedDataProvidersCombo; loaded into LinkedProviderName
//   linked provider fields     <kind>LinkedFieldsList
//   selected linked fields     <kind>SelectedLinkedFieldsList
//   to-link key fields         items of <kind>ToLinkFieldsCombo
//   links                      <kind>LinksGrid (3 columns, header row, last row = entry row)
//
// The public properties (the control's type library) are reached by name through GetProperty and
// LetProperty; every Let reports the change to the container under the property's own name.
//
// The control is made of parts, each holding its own tab's state: the General tab, one provider tab
// and one link tab per kind, the I18N tab and the page-text builder, which share a ControlContext
// (the services, the editor and the members above). HeaderDTC keeps start-up and the tab protocol,
// persistence, the public properties and SetKeyValue, and names every procedure of the editor, each
// handing over to its part. Where DRAV and EAI differ, the kind table (dtc/ProviderKinds.h) says how.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dtc/ControlContext.h"
#include "dtc/EditorForm.h"
#include "dtc/GeneralTab.h"
#include "dtc/I18NTab.h"
#include "dtc/LinkTab.h"
#include "dtc/PageText.h"
#include "dtc/ProviderTab.h"
#include "dtc/Types.h"
#include "interfaces/DataProviders.h"
#include "platform/Ado.h"
#include "platform/Com.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"
#include "runtime/ControlContainer.h"
#include "runtime/DesignTimeControlSite.h"
#include "runtime/Dictionary.h"
#include "runtime/MessageBox.h"
#include "runtime/PropertyBag.h"
#include "runtime/Variant.h"

namespace dtc {

// One public property of the type library.
struct PublicProperty {
  enum class Index { None, Integer, Long };  // no index, 16-bit list index, 32-bit cell index
  std::string name;
  Index index;
  bool canLet;
  std::string_view description;  // "" for properties that have none
};

class HeaderDTC {
 public:
  // Creates the control and runs its start-up (UserControl_Initialize).
  explicit HeaderDTC(HeaderDTCServices services);
  HeaderDTC(const HeaderDTC&) = delete;
  HeaderDTC& operator=(const HeaderDTC&) = delete;
  ~HeaderDTC();

  // ---- persistence, called by the container (dtc/Persistence.cpp) ----
  // A new control: the script map is created anew. Errors reach the caller.
  void UserControl_InitProperties();
  // Load and save walk the whole configuration; the first error stops them with the message
  // "Error in 'UserControl_ReadProperties': ..." (or WriteProperties). They return false then.
  [[nodiscard]] bool UserControl_ReadProperties(platform::PropertyBag& bag);
  [[nodiscard]] bool UserControl_WriteProperties(platform::PropertyBag& bag);

  // ---- public interface (dtc/PublicProperties.cpp) ----
  static const std::vector<PublicProperty>& PublicProperties();
  // Error 438 for an unknown name, 450 for an index given to a property without one or missing,
  // 383 for a Let of a read-only property, 6 for an index outside its 16-bit range.
  platform::Variant GetProperty(std::string_view name, std::optional<std::int32_t> index = std::nullopt);
  void LetProperty(std::string_view name, std::optional<std::int32_t> index, const platform::Variant& value);

  // The script map itself (an object property); Let replaces the member by the given map.
  platform::DictionaryPtr UserDefinedScripts() const { return context_.userDefinedScripts; }
  void LetUserDefinedScripts(platform::DictionaryPtr scripts);

  // Records a criterion value confirmed in the criterion dialog. `iTab` is a ProviderKind code,
  // `iRow` a criteria grid row; `iRepresentation` is trimmed of surrounding spaces in place.
  void SetKeyValue(std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation, std::string& iValue,
                   SpecificationType& iType);

  // Linear cell index of a criteria / links grid cell (row * column count + column).
  std::int32_t CriteriaCellIndex(std::int32_t row, std::int32_t column) const {
    return context_.CriteriaCellIndex(row, column);
  }
  std::int32_t LinksCellIndex(std::int32_t row, std::int32_t column) const {
    return context_.LinksCellIndex(row, column);
  }

  // ---- members and controls ----
  EditorForm& Editor() noexcept { return context_.ui; }
  const EditorForm& Editor() const noexcept { return context_.ui; }
  platform::MessageBoxes& MessageBoxes() const noexcept { return context_.Boxes(); }

  const std::string& CurrentDataProvider() const noexcept { return context_.currentDataProvider; }
  const std::string& LinkedProviderName() const noexcept { return context_.linkedProviderName; }
  std::int16_t NrOfUserDefinedScripts() const noexcept { return context_.nrOfUserDefinedScripts; }
  // DRAVCriteriaTypes / EAICriteriaTypes, held by the kind's provider tab.
  platform::Dictionary& CriteriaTypes(ProviderKind kind) { return providerTabs_[kind].CriteriaTypes(); }
  const platform::Dictionary& CriteriaTypes(ProviderKind kind) const {
    return providerTabs_[kind].CriteriaTypes();
  }
  bool DeletingLink() const noexcept { return context_.deletingLink; }

  // The editing state of one kind's grid editors, reset at start-up: a view of what the kind's
  // provider tab (criteria) and link tab (links) hold.
  struct GridEditorState {
    std::int16_t& criteriaMarkedRow;
    std::int16_t& criteriaEditRow;
    bool& valueWarningArmed;
    std::int16_t& linksMarkedRow;
    std::int16_t& linksEditRow;
    // Link tabs: the rows the From and To combos were last opened in; their write-backs go there.
    std::int32_t& linksFromOpenRow;
    std::int32_t& linksToOpenRow;
  };
  GridEditorState GridEditors(ProviderKind kind);
  using CriteriaEditorRows = ProviderTab::CriteriaEditorRows;
  const CriteriaEditorRows& CriteriaEditors(ProviderKind kind) const {
    return providerTabs_[kind].EditorRows();
  }

  // ==== The editor's procedures ====
  // Each tab is a part of its own (the provider and link tabs one per kind); the procedures below
  // are the editor's names for what the parts do. A procedure taking `kind` serves the tab of that
  // kind (DRAV or EAI; the link codes 5 and 4 name the same tabs) and the trap shows it under the
  // kind's name ("DRAVAddField_Click", "EAIMoveUpLinkedField_Click").

  // ---- start-up and the tab protocol (dtc/EditorLifecycle.cpp) ----
  // Start-up: the editor laid out on tab 0, the maps created, the provider combos filled.
  void UserControl_Initialize();
  // The tab protocol: the tab left (`previousTab`) is saved, the tab shown is prepared; nothing runs
  // when the two are the same. PrepareDRAVLinkTab and PrepareEAILinkTab have no trap of their own.
  void SSTab1_Click(std::int16_t previousTab);
  void SaveGeneralState() { generalTab_.SaveState(); }
  void SaveEAIState() { providerTabs_.eai.SaveState(); }
  void SaveDRAVState() { providerTabs_.drav.SaveState(); }
  void SaveI18NState() { i18nTab_.SaveState(); }
  void SaveEAILinkState() { linkTabs_.eai.SaveState(); }
  void SaveDRAVLinkState() { linkTabs_.drav.SaveState(); }
  void PrepareGeneralTab() { generalTab_.Prepare(); }
  void PrepareEAITab() { providerTabs_.eai.Prepare(); }
  void PrepareDRAVTab() { providerTabs_.drav.Prepare(); }
  void PrepareI18NTab() { i18nTab_.Prepare(); }
  void PrepareEAILinkTab() { linkTabs_.eai.Prepare(); }
  void PrepareDRAVLinkTab() { linkTabs_.drav.Prepare(); }
  void UpdateEAILinkTab() { linkTabs_.eai.Update(); }
  void UpdateDRAVLinkTab() { linkTabs_.drav.Update(); }
  // A key typed on the control's own surface.
  void UserControl_KeyPress(std::int16_t& KeyAscii);

  // ---- General tab (dtc/GeneralTab.h) ----
  void DataProvidersCombo_Click() { generalTab_.DataProvidersCombo_Click(); }
  void EnableExtraFiltersCheck_Click() { generalTab_.EnableExtraFiltersCheck_Click(); }
  void BrowseForIncludeASPCommand_Click() { generalTab_.BrowseForIncludeASPCommand_Click(); }
  void IncludeASPAddCommand_Click() { generalTab_.IncludeASPAddCommand_Click(); }
  void IncludeASPDeleteCommand_Click() { generalTab_.IncludeASPDeleteCommand_Click(); }
  void IncludeASPList_Click() { generalTab_.IncludeASPList_Click(); }
  void BrowseForXSLFileCommand_Click() { generalTab_.BrowseForXSLFileCommand_Click(); }
  void SaveCommand_Click() { generalTab_.SaveCommand_Click(); }

  // ---- provider tabs (dtc/ProviderTab.h) and the criterion dialog (dtc/CriteriumDialog.h) ----
  void AddField_Click(ProviderKind kind) { providerTabs_[kind].AddField_Click(); }
  void FieldsList_DblClick(ProviderKind kind) { providerTabs_[kind].FieldsList_DblClick(); }
  void RemoveField_Click(ProviderKind kind) { providerTabs_[kind].RemoveField_Click(); }
  void MoveUpCommand_Click(ProviderKind kind) { providerTabs_[kind].MoveUpCommand_Click(); }
  void MoveDownCommand_Click(ProviderKind kind) { providerTabs_[kind].MoveDownCommand_Click(); }
  void AddCriteriumCommand_Click(ProviderKind kind) { providerTabs_[kind].AddCriteriumCommand_Click(); }
  void RemoveCriteriumCommand_Click(ProviderKind kind) { providerTabs_[kind].RemoveCriteriumCommand_Click(); }
  void CriteriaGrid_Click(ProviderKind kind) { providerTabs_[kind].CriteriaGrid_Click(); }
  void CriteriaGrid_DblClick(ProviderKind kind) { providerTabs_[kind].CriteriaGrid_DblClick(); }
  void CriteriaGrid_EnterCell(ProviderKind kind) { providerTabs_[kind].CriteriaGrid_EnterCell(); }
  void CriteriaGrid_GotFocus(ProviderKind kind) { providerTabs_[kind].CriteriaGrid_GotFocus(); }
  void CriteriaGrid_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
    providerTabs_[kind].CriteriaGrid_KeyPress(KeyAscii);
  }
  void CriteriaGrid_Scroll(ProviderKind kind) { providerTabs_[kind].CriteriaGrid_Scroll(); }
  void KeyFieldsCombo_LostFocus(ProviderKind kind) { providerTabs_[kind].KeyFieldsCombo_LostFocus(); }
  void OperatorsCombo_LostFocus(ProviderKind kind) { providerTabs_[kind].OperatorsCombo_LostFocus(); }
  void KeyFieldValueText_KeyDown(ProviderKind kind, std::int16_t& KeyCode, std::int16_t Shift) {
    providerTabs_[kind].KeyFieldValueText_KeyDown(KeyCode, Shift);
  }
  void KeyFieldValueText_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
    providerTabs_[kind].KeyFieldValueText_KeyPress(KeyAscii);
  }
  void KeyFieldValueText_LostFocus(ProviderKind kind) { providerTabs_[kind].KeyFieldValueText_LostFocus(); }
  void MoveCriteriaAsterisk(ProviderKind kind, std::int16_t row) {
    providerTabs_[kind].MoveCriteriaAsterisk(row);
  }
  void CriteriaGridEdit(ProviderKind kind, std::int16_t row, std::int16_t column, std::int16_t KeyAscii) {
    providerTabs_[kind].CriteriaGridEdit(row, column, KeyAscii);
  }
  static bool ScrollBarShown(const platform::FlexGrid& grid) { return dtc::ScrollBarShown(grid); }
  // Opens the criterion dialog for `row` of the kind's grid (kind 1 EAI, 2 DRAV) and waits until it
  // closes; OK reports through SetKeyValue. `valueKind` Empty counts as CONSTANT.
  void ShowCriteriumDialog(std::int16_t kind, std::int16_t row, const std::string& value,
                           const std::string& body, const platform::Variant& valueKind);

  // ---- link tabs (dtc/LinkTab.h) ----
  void LinkedDataProvidersCombo_Click(ProviderKind kind) { linkTabs_[kind].LinkedDataProvidersCombo_Click(); }
  void DeleteLinkCommand_Click(ProviderKind kind) { linkTabs_[kind].DeleteLinkCommand_Click(); }
  void AddLinkedField_Click(ProviderKind kind) { linkTabs_[kind].AddLinkedField_Click(); }
  void LinkedFieldsList_DblClick(ProviderKind kind) { linkTabs_[kind].LinkedFieldsList_DblClick(); }
  void RemoveLinkedField_Click(ProviderKind kind) { linkTabs_[kind].RemoveLinkedField_Click(); }
  void MoveUpLinkedField_Click(ProviderKind kind) { linkTabs_[kind].MoveUpLinkedField_Click(); }
  void MoveDownLinkedField_Click(ProviderKind kind) { linkTabs_[kind].MoveDownLinkedField_Click(); }
  void AddLink_Click(ProviderKind kind) { linkTabs_[kind].AddLink_Click(); }
  void RemoveLink_Click(ProviderKind kind) { linkTabs_[kind].RemoveLink_Click(); }
  void LinksGrid_Click(ProviderKind kind) { linkTabs_[kind].LinksGrid_Click(); }
  void LinksGrid_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
    linkTabs_[kind].LinksGrid_KeyPress(KeyAscii);
  }
  void LinksGrid_EnterCell(ProviderKind kind) { linkTabs_[kind].LinksGrid_EnterCell(); }
  void LinksGrid_GotFocus(ProviderKind kind) { linkTabs_[kind].LinksGrid_GotFocus(); }
  void FromLinkFieldsCombo_Click(ProviderKind kind) { linkTabs_[kind].FromLinkFieldsCombo_Click(); }
  void FromLinkFieldsCombo_LostFocus(ProviderKind kind) { linkTabs_[kind].FromLinkFieldsCombo_LostFocus(); }
  void ToLinkFieldsCombo_Click(ProviderKind kind) { linkTabs_[kind].ToLinkFieldsCombo_Click(); }
  void ToLinkFieldsCombo_LostFocus(ProviderKind kind) { linkTabs_[kind].ToLinkFieldsCombo_LostFocus(); }
  void ToLinkFieldsCombo_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
    linkTabs_[kind].ToLinkFieldsCombo_KeyPress(KeyAscii);
  }

  // ---- I18N tab and the translation dialogs (dtc/I18NTab.h) ----
  void DRAVI18NFieldnamesList_Click() { i18nTab_.FieldnamesList_Click(ProviderKind::DRAV); }
  void EAII18NFieldnamesList_Click() { i18nTab_.FieldnamesList_Click(ProviderKind::EAI); }
  void DRAVI18NFieldValuesList_Click() { i18nTab_.FieldValuesList_Click(ProviderKind::DRAV); }
  void EAII18NFieldValuesList_Click() { i18nTab_.FieldValuesList_Click(ProviderKind::EAI); }
  bool FieldnameTranslationExists(const std::string& providerName, const std::string& kind,
                                  const std::string& fieldName, bool* failed = nullptr) {
    return i18nTab_.FieldnameTranslationExists(providerName, kind, fieldName, failed);
  }
  void AddFieldnameTranslation(const std::string& providerName, const std::string& kind,
                               const std::string& fieldName) {
    i18nTab_.AddFieldnameTranslation(providerName, kind, fieldName);
  }
  void ShowFieldValueTranslations(const std::string& providerName, const std::string& kind,
                                  const std::string& fieldName) {
    i18nTab_.ShowFieldValueTranslations(providerName, kind, fieldName);
  }
  i18n::TranslationDialogs& TranslationDialogs() { return i18nTab_.TranslationDialogs(); }

  // ---- page text and the design-time control site (dtc/PageText.h) ----
  void SetDesignTimeControlSite(std::shared_ptr<platform::DesignTimeControlSite> site) {
    pageText_.SetDesignTimeControlSite(std::move(site));
  }
  const std::shared_ptr<platform::DesignTimeControlSite>& DesignTimeControlSite() const noexcept {
    return pageText_.DesignTimeControlSite();
  }
  // The bool form returns false when a failure ended the request (the text is then incomplete).
  std::string GetRuntimeText() const {
    std::string text;
    platform::IgnoreResult(pageText_.GetRuntimeText(text), PageTextBuilder::kTextAsFarAsItGot);
    return text;
  }
  [[nodiscard]] bool GetRuntimeText(std::string& text) const { return pageText_.GetRuntimeText(text); }
  std::string GetRelativePathRoot() const { return pageText_.GetRelativePathRoot(); }
  std::string GetInstallDir() const { return pageText_.GetInstallDir(); }
  std::string GetKeyFieldsRuntimeText(ProviderKind kind) const {
    return pageText_.GetKeyFieldsRuntimeText(kind);
  }
  std::string GetReturnFieldsRuntimeText(ProviderKind kind) const {
    return pageText_.GetReturnFieldsRuntimeText(kind);
  }
  std::string GetCriteriaRuntimeText(ProviderKind kind) const {
    return pageText_.GetCriteriaRuntimeText(kind);
  }
  std::string GetI18NFieldnamesRuntimeText(ProviderKind kind) const {
    return pageText_.GetI18NFieldnamesRuntimeText(kind);
  }
  std::string GetI18NFieldValuesRuntimeText(ProviderKind kind) const {
    return pageText_.GetI18NFieldValuesRuntimeText(kind);
  }
  std::string GetLinkedReturnFieldsRuntimeText(ProviderKind kind) const {
    return pageText_.GetLinkedReturnFieldsRuntimeText(kind);
  }
  std::string GetLinkedFieldsRuntimeText(ProviderKind kind) const {
    return pageText_.GetLinkedFieldsRuntimeText(kind);
  }

 private:
  friend class PropertyTable;

  void SaveConfiguration(platform::PropertyBag& bag);
  void LoadConfiguration(platform::PropertyBag& bag);

  // The parts, in the order they are made: each part's constructor connects its controls' events.
  ControlContext context_;
  PerKind<ProviderTab> providerTabs_;
  PerKind<LinkTab> linkTabs_;
  I18NTab i18nTab_;
  PageTextBuilder pageText_;
  GeneralTab generalTab_;
};

}  // namespace dtc
