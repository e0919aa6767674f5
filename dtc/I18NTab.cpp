// The I18N tab's lists: ticking a field there checks or maintains its translations in the I18N
// database through the translation dialogs (i18n/).
//
// The kind's return fields are reported as changed after every click, also after one that an error
// ended: the click has changed the selection, which is the configuration, whatever happened next.
#include <string>
#include <string_view>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"
#include "i18n/TranslationDialogs.h"

namespace dtc {
namespace {

std::string BISType(ProviderKind kind) {
  return std::string(Variation(kind).bisType);
}

// The field name of a list entry: the second piece of the entry split at the kind's separator.
// An entry without the separator has no second piece: Subscript out of range.
std::string FieldnameOf(std::string_view entry, ProviderKind kind) {
  const std::string_view separator = Variation(kind).fieldSeparator;
  const std::size_t first = entry.find(separator);
  if (first == std::string_view::npos) platform::Raise(platform::err::SubscriptOutOfRange);
  const std::string_view rest = entry.substr(first + separator.size());
  return std::string(rest.substr(0, rest.find(separator)));
}

// The ticked entry at the list's current index, if it is ticked.
const std::string* TickedEntry(const platform::ListBox& list) {
  const std::int32_t index = list.ListIndex();
  if (index < 0 || !list.Selected(index)) return nullptr;
  return &list.List(index);
}

}  // namespace

void HeaderDTC::ConnectI18NEvents() {
  context_.ui.DRAV.I18NFieldnamesList.Click.Connect([this] { DRAVI18NFieldnamesList_Click(); });
  context_.ui.EAI.I18NFieldnamesList.Click.Connect([this] { EAII18NFieldnamesList_Click(); });
  context_.ui.DRAV.I18NFieldValuesList.Click.Connect([this] { DRAVI18NFieldValuesList_Click(); });
  context_.ui.EAI.I18NFieldValuesList.Click.Connect([this] { EAII18NFieldValuesList_Click(); });
}

i18n::TranslationDialogs& HeaderDTC::TranslationDialogs() {
  if (!translationDialogs_) {
    translationDialogs_ = std::make_shared<i18n::TranslationDialogs>(i18n::TranslationServices{
        .messageBoxes = context_.services.messageBoxes,
        .components = context_.services.components,
        .dataAccess = context_.services.dataAccess,
        .owner = &context_.ui.form,
        .today = {},
    });
  }
  return *translationDialogs_;
}

void HeaderDTC::DRAVI18NFieldnamesList_Click() {
  I18NFieldnamesList_Click(ProviderKind::DRAV);
}
void HeaderDTC::EAII18NFieldnamesList_Click() {
  I18NFieldnamesList_Click(ProviderKind::EAI);
}
void HeaderDTC::DRAVI18NFieldValuesList_Click() {
  I18NFieldValuesList_Click(ProviderKind::DRAV);
}
void HeaderDTC::EAII18NFieldValuesList_Click() {
  I18NFieldValuesList_Click(ProviderKind::EAI);
}

void HeaderDTC::I18NFieldnamesList_Click(ProviderKind kind) {
  const std::string prefix(KindPrefix(kind));
  const platform::ListBox& list = context_.ui.Side(kind).I18NFieldnamesList;
  RunTrapped(MessageBoxes(), prefix + "I18NFieldnamesList_Click", [&] {
    if (!list.Visible()) return;
    const std::string* entry = TickedEntry(list);
    if (entry == nullptr) return;
    const std::string fieldName = FieldnameOf(*entry, kind);
    bool failed = false;
    if (!FieldnameTranslationExists(context_.currentDataProvider, BISType(kind), fieldName, &failed) &&
        !failed) {
      AddFieldnameTranslation(context_.currentDataProvider, BISType(kind), fieldName);
    }
  });
  NotifyChanged(prefix + "ReturnFields");
}

void HeaderDTC::I18NFieldValuesList_Click(ProviderKind kind) {
  const std::string prefix(KindPrefix(kind));
  const platform::ListBox& list = context_.ui.Side(kind).I18NFieldValuesList;
  RunTrapped(MessageBoxes(), prefix + "I18NFieldValuesList_Click", [&] {
    if (!list.Visible()) return;
    const std::string* entry = TickedEntry(list);
    if (entry == nullptr) return;
    ShowFieldValueTranslations(context_.currentDataProvider, BISType(kind), FieldnameOf(*entry, kind));
  });
  NotifyChanged(prefix + "ReturnFields");
}

bool HeaderDTC::FieldnameTranslationExists(const std::string& providerName, const std::string& kind,
                                           const std::string& fieldName, bool* failed) {
  bool exists = false;
  const bool ran = RunTrapped(MessageBoxes(), "FieldnameTranslationExists", [&] {
    auto db = TranslationDialogs().ConnectThroughComponent();
    exists = db->FieldnameTranslationExists(providerName, kind, fieldName);
    db->Close();
  });
  if (failed) *failed = !ran;
  return exists;
}

void HeaderDTC::AddFieldnameTranslation(const std::string& providerName, const std::string& kind,
                                        const std::string& fieldName) {
  RunTrapped(MessageBoxes(), "AddFieldnameTranslation", [&] {
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

void HeaderDTC::ShowFieldValueTranslations(const std::string& providerName, const std::string& kind,
                                           const std::string& fieldName) {
  RunTrapped(MessageBoxes(), "ShowFieldValueTranslations", [&] {
    i18n::SpecifyI18NFieldValueDialog& dialog = TranslationDialogs().FieldValues();
    dialog.FieldNameText.SetText(fieldName);
    dialog.SetBISType(kind);
    dialog.SetProvidername(providerName);
    dialog.Init();
    dialog.ShowModal();
  });
}

}  // namespace dtc
