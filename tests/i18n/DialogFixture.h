// The translation dialogs over the test I18N database: the data-source connection component in
// process (its registry names "DSN=Vistelle"), recorded message boxes, a fixed date and a modal loop
// that runs the test's steps, one per dialog shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "I18NFixture.h"
#include "components/DatasourceConnection.h"
#include "i18n/TranslationDialogs.h"
#include "platform/DatasourceConnection.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "platform/testing/RecordingMessageBoxes.h"

namespace i18n::testing {

// Each dialog shown takes the next step (none left: it closes at once); the forms shown are recorded.
class StepModalForms : public platform::ModalForms {
 public:
  using Step = std::function<void(platform::Form&)>;
  void ShowModal(platform::Form& form, const std::function<bool()>&) override {
    shown.push_back(form.Name());
    if (steps.empty()) return;
    Step step = std::move(steps.front());
    steps.pop_front();
    step(form);
  }
  std::deque<Step> steps;
  std::vector<std::string> shown;
};

// Clicks a button of a form the way the designer does: it takes the focus first.
inline void Press(platform::Form& form, platform::CommandButton& button) {
  form.SetFocus(button);
  button.Click.Raise();
}

class DialogTest : public I18NDatabaseTest {
 protected:
  DialogTest() {
    using platform::RootKey;
    registry->CreateKey(RootKey::LocalMachine, components::kDatasourcesKey);
    registry->SetValue(RootKey::LocalMachine, components::kDatasourcesKey, "8",
                       platform::RegistryValue::String("DSN=Vistelle"));
    table.Register(platform::kDatasourceConnectionProgId, platform::kDatasourceConnectionClsid,
                   components::DatasourceConnectionCreateFunction(*registry));
  }

  TranslationServices Services() {
    return {.messageBoxes = boxes,
            .components = &table,
            .dataAccess = access.get(),
            .modalForms = &modal,
            .today = [] { return std::string("2024-03-04"); }};
  }

  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable table;
  platform::testing::RecordingMessageBoxes boxes;
  StepModalForms modal;
};

}  // namespace i18n::testing
