// HeaderDTC's editor form built: every control of the six tabs made, placed on its tab and laid out.
#include "dtc/EditorForm.h"

#include "dtc/ProviderKinds.h"

namespace dtc {
namespace {

using platform::ComboBox;
using platform::CommandButton;
using platform::FlexGrid;
using platform::ListBox;
using platform::TabControl;
using platform::TextBox;

constexpr auto kMulti = ListBox::MultiSelect::Extended;

// Layout in twips. The positions matter where the editor measures itself: a criteria grid shows a
// scroll bar once its rows no longer fit its height.
constexpr std::int32_t kTabLeft = 120, kGridWidth = 5100;
constexpr std::int32_t kCriteriaGridHeight = 1695;  // five rows of the minimum height fit
constexpr std::int32_t kLinksGridHeight = 1695;

// The in-place editors of the grids are hidden until a cell is edited.
template <class T>
T& Hidden(T& control) {
  control.SetVisible(false);
  return control;
}

template <class T>
T& OnTab(T& control, TabControl& tabs, EditorTab tab) {
  control.PlaceOnTab(tabs, tab);
  return control;
}

ProviderControls MakeProviderControls(platform::Form& form, TabControl& tabs, ProviderKind kind) {
  const KindVariation& variation = Variation(kind);
  const std::string p(variation.prefix);
  const auto own = static_cast<EditorTab>(variation.kind);
  const auto link = static_cast<EditorTab>(variation.linkKind);
  auto onTab = [&](auto& control, EditorTab tab) -> decltype(auto) { return OnTab(control, tabs, tab); };
  ProviderControls controls{
      .kind = kind,
      .prefix = p,
      .DataProviderText = onTab(form.Add<TextBox>(p + "DataProviderText"), own),
      .FieldsList = onTab(form.Add<ListBox>(p + "FieldsList", kMulti), own),
      .SelectedFieldsList = onTab(form.Add<ListBox>(p + "SelectedFieldsList", kMulti), own),
      .AddField = onTab(form.Add<CommandButton>(p + "AddField", "Add"), own),
      .RemoveField = onTab(form.Add<CommandButton>(p + "RemoveField", "Delete"), own),
      .KeyFieldsCombo = Hidden(onTab(form.Add<ComboBox>(p + "KeyFieldsCombo"), own)),
      .OperatorsCombo = Hidden(onTab(form.Add<ComboBox>(p + "OperatorsCombo"), own)),
      .KeyFieldValueText = Hidden(onTab(form.Add<TextBox>(p + "KeyFieldValueText"), own)),
      .CriteriaGrid = onTab(form.Add<FlexGrid>(p + "CriteriaGrid", 2, kCriteriaColumns, 1, 1), own),
      .I18NFieldnamesList = onTab(form.Add<ListBox>(p + "I18NFieldnamesList", kMulti), kI18NTab),
      .I18NFieldValuesList = onTab(form.Add<ListBox>(p + "I18NFieldValuesList", kMulti), kI18NTab),
      .LinkedDataProvidersCombo = onTab(form.Add<ComboBox>(p + "LinkedDataProvidersCombo"), link),
      .LinkedFieldsList = onTab(form.Add<ListBox>(p + "LinkedFieldsList", kMulti), link),
      .SelectedLinkedFieldsList = onTab(form.Add<ListBox>(p + "SelectedLinkedFieldsList", kMulti), link),
      .AddLinkedField = onTab(form.Add<CommandButton>(p + "AddLinkedField", "Add"), link),
      .RemoveLinkedField = onTab(form.Add<CommandButton>(p + "RemoveLinkedField", "Delete"), link),
      .FromLinkFieldsCombo = Hidden(onTab(form.Add<ComboBox>(p + "FromLinkFieldsCombo"), link)),
      .ToLinkFieldsCombo = Hidden(onTab(form.Add<ComboBox>(p + "ToLinkFieldsCombo"), link)),
      .LinksGrid = onTab(form.Add<FlexGrid>(p + "LinksGrid", 2, kLinksColumns, 1, 1), link),
      // provider tab buttons
      .MoveUpCommand = onTab(form.Add<CommandButton>(p + "MoveUpCommand", "/\\"), own),
      .MoveDownCommand = onTab(form.Add<CommandButton>(p + "MoveDownCommand", "\\/"), own),
      .AddCriteriumCommand = onTab(form.Add<CommandButton>(p + "AddCriteriumCommand", "Add"), own),
      .RemoveCriteriumCommand = onTab(form.Add<CommandButton>(p + "RemoveCriteriumCommand", "Delete"), own),

      .DeleteLinkCommand = onTab(form.Add<CommandButton>(p + "DeleteLinkCommand", "Delete"), link),
      .MoveUpLinkedField = onTab(form.Add<CommandButton>(p + std::string(variation.moveUpName), "/\\"), link),
      .MoveDownLinkedField =
          onTab(form.Add<CommandButton>(p + std::string(variation.moveDownName), "\\/"), link),
      .AddLink = onTab(form.Add<CommandButton>(p + "AddLink", "Add"), link),
      .RemoveLink = onTab(form.Add<CommandButton>(p + "RemoveLink", "Delete"), link),
  };
  controls.CriteriaGrid.Move(kTabLeft, 3000, kGridWidth, kCriteriaGridHeight);
  controls.LinksGrid.Move(kTabLeft, 3000, kGridWidth, kLinksGridHeight);
  return controls;
}

// ---- the page as the designer sees it: positions, labels and frames ----
// Hosts that draw the editor place every control where the form puts it. Labels and frames only
// name what lies beside or inside them. Heights: text box 285, combo 315, button 375 twips.

constexpr std::int32_t kLabelLeft = 240, kFieldLeft = 1800, kButtonHeight = 375;

void Caption(platform::Form& form, TabControl& tabs, EditorTab tab, std::string name, std::string caption,
             std::int32_t left, std::int32_t top, std::int32_t width) {
  OnTab(form.Add<platform::Label>(std::move(name), std::move(caption)), tabs, tab)
      .Move(left, top, width, 255);
}

void Box(platform::Form& form, TabControl& tabs, EditorTab tab, std::string name, std::string caption,
         std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  OnTab(form.Add<platform::Frame>(std::move(name), std::move(caption)), tabs, tab)
      .Move(left, top, width, height);
}

// The available and the selected fields with the buttons between and beside them.
void LayOutFieldLists(platform::ListBox& available, platform::CommandButton& add,
                      platform::CommandButton& remove, platform::ListBox& selected,
                      platform::CommandButton& up, platform::CommandButton& down) {
  available.Move(240, 1320, 1860, 1200);
  add.Move(2160, 1500, 780, kButtonHeight);
  remove.Move(2160, 1980, 780, kButtonHeight);
  selected.Move(3000, 1320, 1800, 1200);
  up.Move(4860, 1500, 375, kButtonHeight);
  down.Move(4860, 1980, 375, kButtonHeight);
}

void LayOutSide(platform::Form& form, TabControl& tabs, ProviderControls& c) {
  const KindVariation& variation = Variation(c.kind);
  const auto own = static_cast<EditorTab>(variation.kind);
  const auto link = static_cast<EditorTab>(variation.linkKind);
  const std::int32_t i18nTop = variation.i18nFrameTop;
  const std::string& p = c.prefix;
  Caption(form, tabs, own, p + "DataProviderLabel", "Data provider:", kLabelLeft, 645, 1500);
  c.DataProviderText.Move(kFieldLeft, 600, 3360, 285);
  Box(form, tabs, own, p + "OutputFieldsFrame", "Output fields", 120, 1020, 5160, 1620);
  LayOutFieldLists(c.FieldsList, c.AddField, c.RemoveField, c.SelectedFieldsList, c.MoveUpCommand,
                   c.MoveDownCommand);
  Box(form, tabs, own, p + "SelectionCriteriaFrame", "Selection criteria", 60, 2700, 5280, 2640);
  c.AddCriteriumCommand.Move(3300, 4800, 900, kButtonHeight);
  c.RemoveCriteriumCommand.Move(4320, 4800, 900, kButtonHeight);
  c.KeyFieldsCombo.Move(0, 0, 1800, 315);
  c.OperatorsCombo.Move(0, 0, 550, 315);
  c.KeyFieldValueText.Move(0, 0, 2052, 285);

  Box(form, tabs, kI18NTab, p + "I18NFrame", p, 120, i18nTop, 5160, 2160);
  Caption(form, tabs, kI18NTab, p + "I18NFieldnamesLabel", "Translate field names:", 240, i18nTop + 240,
          2400);
  c.I18NFieldnamesList.Move(240, i18nTop + 540, 2400, 1440);
  Caption(form, tabs, kI18NTab, p + "I18NFieldValuesLabel", "Translate field values:", 2760, i18nTop + 240,
          2400);
  c.I18NFieldValuesList.Move(2760, i18nTop + 540, 2400, 1440);

  Caption(form, tabs, link, p + "LinkedDataProviderLabel", "Linked provider:", kLabelLeft, 645, 1500);
  c.LinkedDataProvidersCombo.Move(kFieldLeft, 600, 2400, 315);
  c.DeleteLinkCommand.Move(4320, 570, 900, kButtonHeight);
  Box(form, tabs, link, p + "LinkOutputFieldsFrame", "Output fields", 120, 1020, 5160, 1620);
  LayOutFieldLists(c.LinkedFieldsList, c.AddLinkedField, c.RemoveLinkedField, c.SelectedLinkedFieldsList,
                   c.MoveUpLinkedField, c.MoveDownLinkedField);
  Box(form, tabs, link, p + "LinkedFieldsFrame", "Linked fields", 60, 2700, 5280, 2640);
  c.AddLink.Move(3300, 4800, 900, kButtonHeight);
  c.RemoveLink.Move(4320, 4800, 900, kButtonHeight);
  c.FromLinkFieldsCombo.Move(0, 0, 2315, 315);
  c.ToLinkFieldsCombo.Move(0, 0, 2315, 315);
}

void LayOut(EditorForm& ui) {
  platform::Form& form = ui.form;
  TabControl& tabs = ui.SSTab1;
  Caption(form, tabs, kGeneralTab, "DataProviderLabel", "Data provider:", kLabelLeft, 660, 1500);
  ui.DataProvidersCombo.Move(kFieldLeft, 600, 3360, 315);
  ui.EnableExtraFiltersCheck.Move(kFieldLeft, 1020, 3360, 285);
  Box(form, tabs, kGeneralTab, "IncludeFilesFrame", "Include files", 120, 1440, 5160, 2400);
  ui.IncludeASPText.Move(240, 1740, 3960, 285);
  ui.BrowseForIncludeASPCommand.Move(4260, 1740, 375, 285);
  ui.IncludeASPList.Move(240, 2100, 3960, 1560);
  ui.IncludeASPAddCommand.Move(4260, 2100, 900, kButtonHeight);
  ui.IncludeASPDeleteCommand.Move(4260, 2520, 900, kButtonHeight);
  Caption(form, tabs, kGeneralTab, "XSLFilenameLabel", "XSL file:", kLabelLeft, 4080, 1500);
  ui.XSLFilenameText.Move(kFieldLeft, 4020, 2820, 285);
  ui.BrowseForXSLFileCommand.Move(4680, 4020, 375, 285);
  ui.SaveCommand.Move(4320, 5340, 900, kButtonHeight);
  Caption(form, tabs, kI18NTab, "I18NDataProviderLabel", "Data provider:", kLabelLeft, 645, 1500);
  ui.I18NDataProviderText.Move(kFieldLeft, 600, 3360, 285);
  LayOutSide(form, tabs, ui.EAI);
  LayOutSide(form, tabs, ui.DRAV);
}

constexpr const char* kTabCaptions[kEditorTabs] = {"General", "EAI", "DRAV", "I18N", "EAI Link", "DRAV Link"};

TabControl& MakeTabs(platform::Form& form) {
  auto& tabs = form.Add<TabControl>("SSTab1", kEditorTabs);
  for (std::int32_t t = 0; t < kEditorTabs; ++t) tabs.SetTabCaption(t, kTabCaptions[t]);
  tabs.Move(0, 0, 5400, 5900);
  return tabs;
}

}  // namespace

EditorForm::EditorForm(platform::FileDialogs* fileDialogs)
    : form("HeaderDTC"),
      SSTab1(MakeTabs(form)),
      DataProvidersCombo(OnTab(form.Add<ComboBox>("DataProvidersCombo"), SSTab1, kGeneralTab)),
      EnableExtraFiltersCheck(OnTab(form.Add<platform::CheckBox>("EnableExtraFiltersCheck", "Extra filters"),
                                    SSTab1, kGeneralTab)),
      IncludeASPText(OnTab(form.Add<TextBox>("IncludeASPText"), SSTab1, kGeneralTab)),
      BrowseForIncludeASPCommand(
          OnTab(form.Add<CommandButton>("BrowseForIncludeASPCommand", "..."), SSTab1, kGeneralTab)),
      IncludeASPAddCommand(
          OnTab(form.Add<CommandButton>("IncludeASPAddCommand", "Add"), SSTab1, kGeneralTab)),
      IncludeASPDeleteCommand(
          OnTab(form.Add<CommandButton>("IncludeASPDeleteCommand", "Delete"), SSTab1, kGeneralTab)),
      IncludeASPList(OnTab(form.Add<ListBox>("IncludeASPList"), SSTab1, kGeneralTab)),
      XSLFilenameText(OnTab(form.Add<TextBox>("XSLFilenameText"), SSTab1, kGeneralTab)),
      BrowseForXSLFileCommand(
          OnTab(form.Add<CommandButton>("BrowseForXSLFileCommand", "..."), SSTab1, kGeneralTab)),
      SaveCommand(OnTab(form.Add<CommandButton>("SaveCommand", "Save"), SSTab1, kGeneralTab)),
      CommonDialog1(fileDialogs),
      I18NDataProviderText(OnTab(form.Add<TextBox>("I18NDataProviderText"), SSTab1, kI18NTab)),
      DRAV(MakeProviderControls(form, SSTab1, ProviderKind::DRAV)),
      EAI(MakeProviderControls(form, SSTab1, ProviderKind::EAI)) {
  LayOut(*this);
}

bool ScrollBarShown(const platform::FlexGrid& grid) {
  return static_cast<std::int64_t>(grid.Rows()) * grid.RowHeightMin() >= grid.Height();
}

ProviderControls& EditorForm::Side(ProviderKind kind) {
  return IsDRAVSide(kind) ? DRAV : EAI;
}

const ProviderControls& EditorForm::Side(ProviderKind kind) const {
  return IsDRAVSide(kind) ? DRAV : EAI;
}

}  // namespace dtc
