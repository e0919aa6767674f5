// The I18N tab's lists: ticking a field there checks or maintains its translations in the I18N
// database through the translation dialogs (i18n/).
//
// The kind's return fields are reported as changed after every click, also after one that an error
// ended: the click has changed the selection, which is the configuration, whatever happened next.
#include "dtc/I18NTab.h"

#include <string>
#include <string_view>

#include "dtc/ErrorTrap.h"
#include "dtc/TextFunctions.h"
#include "i18n/TranslationDialogs.h"

namespace dtc {
namespace {

std::string BISType(ProviderKind kind) {
  return std::string(Variation(kind).bisType);
}

// The field name of a list entry: the second piece of the entry split at the kind's separator.
// An entry without the separator has no second piece: Subscript out of range.
std::string FieldnameOf(std::string_view entry, ProviderKind kind) {
  return std::string(SplitPiece(entry, Variation(kind).fieldSeparator, 1));
}

// The ticked entry at the list's current index, if it is ticked.
const std::string* TickedEntry(const platform::ListBox& list) {
  const std::int32_t index = list.ListIndex();
  if (index < 0 || !list.Selected(index)) return nullptr;
  return &list.List(index);
}

}  // namespace

I18NTab::I18NTab(ControlContext& control) : control_(control) {
  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& side = control_.ui.Side(kind);
    side.I18NFieldnamesList.Click.Connect([this, kind] { FieldnamesList_Click(kind); });
    side.I18NFieldValuesList.Click.Connect([this, kind] { FieldValuesList_Click(kind); });
  }
}

I18NTab::~I18NTab() = default;

void I18NTab::Prepare() {
  RunTrapped(control_.Boxes(), "PrepareI18NTab", [&] {
    for (ProviderKind kind : {ProviderKind::EAI, ProviderKind::DRAV}) {
      ProviderControls& side = control_.ui.Side(kind);
      if (side.DataProviderText.Text() != control_.currentDataProvider) {
        side.I18NFieldnamesList.Clear();
        side.I18NFieldValuesList.Clear();
      }
    }
    if (control_.ui.I18NDataProviderText.Text() != control_.currentDataProvider) {
      control_.ui.I18NDataProviderText.SetText(control_.currentDataProvider);
    }
  });
}

// Nothing to save: the lists' selections are the configuration.
void I18NTab::SaveState() {
  RunTrapped(control_.Boxes(), "SaveI18NState", [] {});
}

i18n::TranslationDialogs& I18NTab::TranslationDialogs() {
  if (!dialogs_) {
    dialogs_ = std::make_shared<i18n::TranslationDialogs>(i18n::TranslationServices{
        .messageBoxes = control_.services.messageBoxes,
        .components = control_.services.components,
        .dataAccess = control_.services.dataAccess,
        .owner = &control_.ui.form,
        .today = {},
    });
  }
  return *dialogs_;
}

void I18NTab::FieldnamesList_Click(ProviderKind kind) {
  ListClick(
      kind, control_.ui.Side(kind).I18NFieldnamesList, "I18NFieldnamesList_Click",
      [&](const std::string& fieldName) {
        bool failed = false;
        if (!FieldnameTranslationExists(control_.currentDataProvider, BISType(kind), fieldName, &failed) &&
            !failed) {
          AddFieldnameTranslation(control_.currentDataProvider, BISType(kind), fieldName);
        }
      });
}

void I18NTab::FieldValuesList_Click(ProviderKind kind) {
  ListClick(kind, control_.ui.Side(kind).I18NFieldValuesList, "I18NFieldValuesList_Click",
            [&](const std::string& fieldName) {
              ShowFieldValueTranslations(control_.currentDataProvider, BISType(kind), fieldName);
            });
}

void I18NTab::ListClick(ProviderKind kind, const platform::ListBox& list, std::string_view procedure,
                        const std::function<void(const std::string& fieldName)>& maintain) {
  const KindVariation& variation = Variation(kind);
  RunTrapped(control_.Boxes(), variation.Procedure(procedure), [&] {
    if (!list.Visible()) return;
    const std::string* entry = TickedEntry(list);
    if (entry == nullptr) return;
    maintain(FieldnameOf(*entry, kind));
  });
  control_.NotifyChanged(std::string(variation.prefix) + "ReturnFields");
}

bool I18NTab::FieldnameTranslationExists(const std::string& providerName, const std::string& kind,
                                         const std::string& fieldName, bool* failed) {
  bool exists = false;
  const bool ran = RunTrapped(control_.Boxes(), "FieldnameTranslationExists", [&] {
    auto db = TranslationDialogs().ConnectThroughComponent();
    exists = db->FieldnameTranslationExists(providerName, kind, fieldName);
    db->Close();
  });
  if (failed) *failed = !ran;
  return exists;
}

void I18NTab::AddFieldnameTranslation(const std::string& providerName, const std::string& kind,
                                      const std::string& fieldName) {
  RunTrapped(control_.Boxes(), "AddFieldnameTranslation", [&] {
    i18n::AddI18NFieldQuestionDialog& question = TranslationDialogs().Question();
    question.SetFieldname(fieldName);
    question.ShowModal();
    if (!question.UserAgrees()) return;
    i18n::SpecifyI18NFieldnameDialog& dialog = TranslationDialogs().Fieldname();
    dialog.FieldNameText.SetText(fieldName);
    dialog.FieldNameText.SetEnabled(false);
    dialog.SetBISType(kind);
    dialog.SetProvidername(providerName);
    dialog.ShowModal();
  });
}

void I18NTab::ShowFieldValueTranslations(const std::string& providerName, const std::string& kind,
                                         const std::string& fieldName) {
  RunTrapped(control_.Boxes(), "ShowFieldValueTranslations", [&] {
    i18n::SpecifyI18NFieldValueDialog& dialog = TranslationDialogs().FieldValues();
    dialog.FieldNameText.SetText(fieldName);
    dialog.SetBISType(kind);
    dialog.SetProvidername(providerName);
    dialog.Init();
    dialog.ShowModal();
  });
}

}  // namespace dtc
