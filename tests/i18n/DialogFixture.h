// The translation dialogs over the test I18N database: the data-source connection component in
// process (the registry names the backend's data source), recorded message boxes, a fixed date and a modal
// loop that runs the test's steps, one per dialog shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "I18NFixture.h"
#include "components/DatasourceConnection.h"
#include "i18n/TranslationDialogs.h"
#include "interfaces/DatasourceConnection.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "runtime/testing/RecordingMessageBoxes.h"

namespace i18n::testing {

// Each dialog shown takes the next step (none left: it closes at once); the forms shown are recorded.
// Install Loop() as the owner form's modal loop.
class StepModalForms {
 public:
  using Step = std::function<void(platform::Form&)>;
  platform::Form::ModalLoop Loop() {
    return [this](platform::Form& form) { Take(form); };
  }
  void Take(platform::Form& form) {
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
    owner.SetModalLoop(modal.Loop());
    using platform::RootKey;
    EXPECT_EQ(registry->CreateKey(RootKey::LocalMachine, components::kDatasourcesKey), 0);
    EXPECT_EQ(registry->SetValue(RootKey::LocalMachine, components::kDatasourcesKey, "8",
                                 platform::RegistryValue::String(connectionString)),
              0);
    table.Register(platform::kDatasourceConnectionProgId, platform::kDatasourceConnectionClsid,
                   components::DatasourceConnectionCreateFunction(*registry));
  }

  TranslationServices Services() {
    return {.messageBoxes = boxes,
            .components = &table,
            .dataAccess = access.get(),
            .owner = &owner,
            .today = [] { return std::string("2024-03-04"); }};
  }

  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable table;
  platform::testing::RecordingMessageBoxes boxes;
  StepModalForms modal;
  // The editor's form in the control: the dialogs' owner, running `modal`'s loop.
  platform::Form owner{"HeaderDTC"};
};

}  // namespace i18n::testing
