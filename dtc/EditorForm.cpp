#include "dtc/EditorForm.h"

namespace dtc {
namespace {

using platform::ComboBox;
using platform::FlexGrid;
using platform::ListBox;
using platform::TextBox;

constexpr auto kMulti = ListBox::MultiSelect::Extended;

ProviderControls MakeProviderControls(platform::Form& form, ProviderKind kind) {
  const std::string p(KindPrefix(kind));
  return ProviderControls{
      .kind = kind,
      .prefix = p,
      .DataProviderText = form.Add<TextBox>(p + "DataProviderText"),
      .FieldsList = form.Add<ListBox>(p + "FieldsList", kMulti),
      .SelectedFieldsList = form.Add<ListBox>(p + "SelectedFieldsList", kMulti),
      .KeyFieldsCombo = form.Add<ComboBox>(p + "KeyFieldsCombo"),
      .OperatorsCombo = form.Add<ComboBox>(p + "OperatorsCombo"),
      .KeyFieldValueText = form.Add<TextBox>(p + "KeyFieldValueText"),
      .CriteriaGrid = form.Add<FlexGrid>(p + "CriteriaGrid", 2, kCriteriaColumns, 1, 1),
      .I18NFieldnamesList = form.Add<ListBox>(p + "I18NFieldnamesList", kMulti),
      .I18NFieldValuesList = form.Add<ListBox>(p + "I18NFieldValuesList", kMulti),
      .LinkedDataProvidersCombo = form.Add<ComboBox>(p + "LinkedDataProvidersCombo"),
      .LinkedFieldsList = form.Add<ListBox>(p + "LinkedFieldsList", kMulti),
      .SelectedLinkedFieldsList = form.Add<ListBox>(p + "SelectedLinkedFieldsList", kMulti),
      .FromLinkFieldsCombo = form.Add<ComboBox>(p + "FromLinkFieldsCombo"),
      .ToLinkFieldsCombo = form.Add<ComboBox>(p + "ToLinkFieldsCombo"),
      .LinksGrid = form.Add<FlexGrid>(p + "LinksGrid", 2, kLinksColumns, 1, 1),
  };
}

}  // namespace

EditorForm::EditorForm()
    : form("HeaderDTC"),
      DataProvidersCombo(form.Add<ComboBox>("DataProvidersCombo")),
      EnableExtraFiltersCheck(form.Add<platform::CheckBox>("EnableExtraFiltersCheck")),
      IncludeASPText(form.Add<TextBox>("IncludeASPText")),
      IncludeASPList(form.Add<ListBox>("IncludeASPList")),
      XSLFilenameText(form.Add<TextBox>("XSLFilenameText")),
      I18NDataProviderText(form.Add<TextBox>("I18NDataProviderText")),
      DRAV(MakeProviderControls(form, ProviderKind::DRAV)),
      EAI(MakeProviderControls(form, ProviderKind::EAI)) {}

ProviderControls& EditorForm::Side(ProviderKind kind) {
  return KindPrefix(kind) == "DRAV" ? DRAV : EAI;
}

const ProviderControls& EditorForm::Side(ProviderKind kind) const {
  return KindPrefix(kind) == "DRAV" ? DRAV : EAI;
}

}  // namespace dtc
