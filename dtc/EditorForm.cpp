#include "dtc/EditorForm.h"

#include "dtc/LinkTabs.h"

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
constexpr std::int32_t kTabLeft = 120, kTabTop = 480, kGridWidth = 5100;
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
  const std::string p(KindPrefix(kind));
  const EditorTab own = kind == ProviderKind::DRAV ? kDRAVTab : kEAITab;
  const EditorTab link = kind == ProviderKind::DRAV ? kDRAVLinkTab : kEAILinkTab;
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
      .MoveUpLinkedField =
          onTab(form.Add<CommandButton>(p + std::string(LinkTabVariationOf(kind).moveUpName), "/\\"), link),
      .MoveDownLinkedField =
          onTab(form.Add<CommandButton>(p + std::string(LinkTabVariationOf(kind).moveDownName), "\\/"), link),
      .AddLink = onTab(form.Add<CommandButton>(p + "AddLink", "Add"), link),
      .RemoveLink = onTab(form.Add<CommandButton>(p + "RemoveLink", "Delete"), link),
  };
  controls.CriteriaGrid.Move(kTabLeft, 3000, kGridWidth, kCriteriaGridHeight);
  controls.LinksGrid.Move(kTabLeft, 3000, kGridWidth, kLinksGridHeight);
  return controls;
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
      EnableExtraFiltersCheck(
          OnTab(form.Add<platform::CheckBox>("EnableExtraFiltersCheck"), SSTab1, kGeneralTab)),
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
      EAI(MakeProviderControls(form, SSTab1, ProviderKind::EAI)) {}

ProviderControls& EditorForm::Side(ProviderKind kind) {
  return KindPrefix(kind) == "DRAV" ? DRAV : EAI;
}

const ProviderControls& EditorForm::Side(ProviderKind kind) const {
  return KindPrefix(kind) == "DRAV" ? DRAV : EAI;
}

}  // namespace dtc
