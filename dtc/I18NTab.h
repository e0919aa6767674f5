// The I18N tab: each kind's field-name and field-value lists, whose items are the kind's return
// fields. Ticking a field there checks or maintains its translations in the I18N database through
// the translation dialogs (i18n/), which the tab creates on first use and keeps for the control's
// life. One tab shows both kinds' lists; the handlers take the list's kind, whose row of the kind
// table (dtc/ProviderKinds.h) gives the field separator and the kind's name in the database.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dtc/ControlContext.h"
#include "dtc/ProviderKinds.h"

namespace i18n {
class TranslationDialogs;
}  // namespace i18n

namespace dtc {

class I18NTab {
 public:
  // Connects the four lists' Click events.
  explicit I18NTab(ControlContext& control);
  I18NTab(const I18NTab&) = delete;
  I18NTab& operator=(const I18NTab&) = delete;
  ~I18NTab();

  // The tab protocol: PrepareI18NTab and SaveI18NState.
  void Prepare();
  void SaveState();

  // A click on an I18N list (DRAVI18NFieldnamesList_Click, EAII18NFieldValuesList_Click, ...): the
  // ticked entry's field name (the piece after the kind's separator) gets its translation checked or
  // maintained; afterwards the kind's return fields are reported as changed. Nothing but the report
  // happens while the list is hidden.
  void FieldnamesList_Click(ProviderKind kind);
  void FieldValuesList_Click(ProviderKind kind);

  // S1 finds a row. After an error (its message shown) the answer is false and `failed` is set.
  bool FieldnameTranslationExists(const std::string& providerName, const std::string& kind,
                                  const std::string& fieldName, bool* failed = nullptr);
  // The question, and on "Yes" the field-name dialog.
  void AddFieldnameTranslation(const std::string& providerName, const std::string& kind,
                               const std::string& fieldName);
  // The field-value dialog for one field, filled from the database and shown modally.
  void ShowFieldValueTranslations(const std::string& providerName, const std::string& kind,
                                  const std::string& fieldName);
  // The single instances of the translation dialogs, created on first use.
  i18n::TranslationDialogs& TranslationDialogs();

 private:
  // A click on `list`, the kind's list: under the trap named `procedure` (after the kind's prefix),
  // `maintain` gets the ticked entry's field name; the kind's return fields are reported as changed.
  void ListClick(ProviderKind kind, const platform::ListBox& list, std::string_view procedure,
                 const std::function<void(const std::string& fieldName)>& maintain);

  ControlContext& control_;
  std::shared_ptr<i18n::TranslationDialogs> dialogs_;
};

}  // namespace dtc
