// libVistelleDTC.so and the data-provider module as a host meets them: registered through their
// own entry points, created by ProgID through the registry (the dynamic loader loads them), and
// unregistered again.
#include <gtest/gtest.h>

#include "components/DataProviderComponents.h"
#include "dtc/HeaderDTCClass.h"
#include "interfaces/DataProviders.h"
#include "interfaces/DesignTimeControl.h"
#include "interfaces/HostedControl.h"
#include "runtime/testing/RecordingMessageBoxes.h"

namespace {

using platform::ComPtr;
using platform::RootKey;
namespace hr = platform::hr;

class ModulesTest : public ::testing::Test {
 protected:
  ModulesTest() {
    EXPECT_EQ(registry->CreateKey(RootKey::LocalMachine, components::kDataProvidersKey), 0);
    EXPECT_EQ(registry->SetValue(
                  RootKey::LocalMachine, components::kDataProvidersKey, components::kCatalogFileValue,
                  platform::RegistryValue::String(std::string(TESSERY_TEST_DATA) + "/dataproviders.json")),
              0);
  }
  bool KeyExists(const std::string& path) { return registry->OpenKey(RootKey::ClassesRoot, path) == 0; }

  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  std::unique_ptr<platform::ComponentCreator> creator = platform::OpenComponentCreator(*registry);
  platform::testing::RecordingMessageBoxes boxes;
};

TEST_F(ModulesTest, TheControlRegistersItselfAndIsCreatedFromItsModule) {
  const std::string clsid = platform::FormatGuid(dtc::kHeaderDTCClsid);
  ComPtr<dtc::IHeaderDTC> control;
  EXPECT_EQ(creator->CreateInstance(dtc::kHeaderDTCProgId, platform::CLSCTX_ALL, control),
            hr::CO_E_CLASSSTRING);

  std::string message;
  ASSERT_EQ(platform::RegisterModule(*registry, DATAPROVIDER_MODULE, &message), hr::S_OK) << message;
  ASSERT_EQ(platform::RegisterModule(*registry, CONTROL_MODULE, &message), hr::S_OK) << message;
  EXPECT_TRUE(KeyExists("VistelleDTC.HeaderDTC\\CLSID"));
  EXPECT_TRUE(KeyExists("CLSID\\" + clsid + "\\InprocServer32"));
  EXPECT_TRUE(KeyExists("CLSID\\" + clsid + "\\Control"));
  EXPECT_TRUE(KeyExists(std::string(platform::kDRAVProviderSourceProgId)));

  ASSERT_EQ(creator->CreateInstance(dtc::kHeaderDTCProgId, platform::CLSCTX_ALL, control), hr::S_OK);
  ComPtr<platform::IHostedControl> hosted;
  ComPtr<platform::IPersistPropertyBag> persistence;
  ComPtr<platform::IProvideRuntimeText> text;
  ASSERT_EQ(control.As(hosted), hr::S_OK);
  ASSERT_EQ(control.As(persistence), hr::S_OK);
  ASSERT_EQ(control.As(text), hr::S_OK);
  EXPECT_EQ(hosted->UserControlForm(), nullptr);
  platform::MemoryPropertyBag bag;
  EXPECT_EQ(persistence->Save(bag), hr::E_UNEXPECTED) << "before the client site";

  // Start-up fills the provider combo from the data-provider module, created through the same registry.
  ASSERT_EQ(hosted->SetClientSite({.messageBoxes = boxes, .components = creator.get()}), hr::S_OK);
  EXPECT_EQ(hosted->SetClientSite({.messageBoxes = boxes}), hr::E_UNEXPECTED);
  auto* combo = dynamic_cast<platform::ComboBox*>(hosted->UserControlForm()->Find("DataProvidersCombo"));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->ListCount(), 4);
  combo->SetListIndex(2);

  EXPECT_EQ(persistence->InitNew(), hr::S_OK);
  ASSERT_EQ(persistence->Save(bag), hr::S_OK);
  EXPECT_EQ(bag.ReadProperty("DataProvider", platform::Variant("")).ToString(), "KRMArticles");
  platform::Variant value;
  std::string error;
  EXPECT_EQ(control->GetProperty("DataProvider", std::nullopt, value, &error), hr::S_OK);
  EXPECT_EQ(value.ToString(), "KRMArticles");
  EXPECT_EQ(control->GetProperty("NoSuchProperty", std::nullopt, value, &error),
            dtc::HResultFromErrorNumber(438));
  EXPECT_EQ(error, "Object doesn't support this property or method");
  EXPECT_TRUE(boxes.Prompts().empty());

  ASSERT_EQ(platform::UnregisterModule(*registry, CONTROL_MODULE, &message), hr::S_OK) << message;
  EXPECT_FALSE(KeyExists("VistelleDTC.HeaderDTC"));
  EXPECT_FALSE(KeyExists("CLSID\\" + clsid));
  EXPECT_TRUE(KeyExists(std::string(platform::kDRAVProviderSourceProgId)));
}

TEST_F(ModulesTest, AControlWhoseProvidersAreNotRegisteredStillStarts) {
  std::string message;
  ASSERT_EQ(platform::RegisterModule(*registry, CONTROL_MODULE, &message), hr::S_OK) << message;
  ComPtr<platform::IHostedControl> hosted;
  ASSERT_EQ(creator->CreateInstance(dtc::kHeaderDTCProgId, platform::CLSCTX_ALL, hosted), hr::S_OK);
  ASSERT_EQ(hosted->SetClientSite({.messageBoxes = boxes, .components = creator.get()}), hr::S_OK);
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{"Error in 'PrepareGeneralTab': ActiveX component can't "
                                      "create object: Class not registered (429)"}));
  EXPECT_NE(hosted->UserControlForm()->Find("SSTab1"), nullptr);
}

}  // namespace
