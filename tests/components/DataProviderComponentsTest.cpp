// The reference data-provider components read their catalog file: maps in the file's order, the
// provider kinds kept apart, and a catalog that cannot be used reported instead of half-read.
#include <gtest/gtest.h>

#include "components/DataProviderComponents.h"
#include "interfaces/DataProviders.h"
#include "platform/testing/ComClassTable.h"
#include "support/TempFolder.h"

namespace {

using platform::ComPtr;
using platform::DictionaryPtr;
using Items = std::vector<std::string>;
namespace hr = platform::hr;

Items Values(const DictionaryPtr& map) {
  Items items;
  for (const auto& entry : *map) items.push_back(entry.key + "=" + entry.item.ToString());
  return items;
}

class DataProviderComponentsTest : public ::testing::Test {
 protected:
  DataProviderComponentsTest() { Catalog(std::string(TESSERY_TEST_DATA) + "/dataproviders.json"); }

  void Catalog(const std::string& path) {
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, components::kDataProvidersKey), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, components::kDataProvidersKey,
                                 components::kCatalogFileValue, platform::RegistryValue::String(path)),
              0);
  }

  template <class T>
  ComPtr<T> Create(const platform::GUID& clsid) {
    ComPtr<T> object;
    auto create = components::DataProviderCreateFunction(clsid, *registry);
    EXPECT_TRUE(create);
    EXPECT_EQ(create(T::kIid, object.PutVoid()), hr::S_OK);
    return object;
  }

  ComPtr<platform::IProviderMetadata> Metadata(bool drav) {
    ComPtr<platform::IProviderMetadata> metadata;
    if (drav) {
      EXPECT_EQ(Create<platform::IDRAVProviderSource>(platform::kDRAVProviderSourceClsid)
                    ->get_Metadata(metadata.Put()),
                hr::S_OK);
    } else {
      EXPECT_EQ(Create<platform::IEAIProviderSource>(platform::kEAIProviderSourceClsid)
                    ->get_Metadata(metadata.Put()),
                hr::S_OK);
    }
    return metadata;
  }

  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
};

TEST_F(DataProviderComponentsTest, CatalogListsEveryProviderInTheFilesOrder) {
  std::vector<std::string> names;
  EXPECT_EQ(Create<platform::IDataProviderCatalog>(platform::kDataProviderCatalogClsid)
                ->GetDataProviderNames(names),
            hr::S_OK);
  EXPECT_EQ(names, (Items{"KRMOrders", "KRMCustomers", "KRMArticles", "KRMStock"}));
  EXPECT_FALSE(components::DataProviderCreateFunction(platform::IUnknown::kIid, *registry));
}

TEST_F(DataProviderComponentsTest, DRAVAndEAIMetadataKeepTheirOwnDefinitions) {
  DictionaryPtr map;
  auto drav = Metadata(true);
  ASSERT_EQ(drav->GetFields("KRMArticles", std::nullopt, map), hr::S_OK);
  EXPECT_EQ(Values(map), (Items{"7=ARTICLE", "8=PRICE"}));
  ASSERT_EQ(drav->GetKeyFields("KRMOrders", map), hr::S_OK);
  EXPECT_EQ(Values(map), (Items{"1=ORDERID", "2=CUSTOMERID"}));
  EXPECT_EQ(drav->GetFields("KRMStock", std::nullopt, map), hr::DP_E_NOPROVIDER) << "an EAI-only provider";

  auto eai = Metadata(false);
  ASSERT_EQ(eai->GetObjects("KRMOrders", map), hr::S_OK);
  EXPECT_EQ(Values(map), (Items{"1=Order", "2=Customer"}));
  ASSERT_EQ(eai->GetFields("KRMOrders", "Customer", map), hr::S_OK);
  EXPECT_EQ(Values(map), (Items{"1=Name", "2=Street"}));
  EXPECT_EQ(eai->GetFields("KRMOrders", "Invoice", map), hr::DP_E_NOOBJECT);
  EXPECT_EQ(eai->GetFields("KRMOrders", std::nullopt, map), hr::E_INVALIDARG);
  EXPECT_EQ(eai->GetKeyFields("KRMArticles", map), hr::DP_E_NOPROVIDER) << "a DRAV-only provider";
  EXPECT_EQ(eai->GetKeyFields("krmorders", map), hr::DP_E_NOPROVIDER) << "names compare exactly";
}

TEST_F(DataProviderComponentsTest, ACatalogThatCannotBeUsedIsReportedWhole) {
  testsupport::TempFolder folder;
  const std::pair<const char*, const char*> faulty[] = {
      {"not json", "{ \"providers\": ["},
      {"no providers", "{ \"sources\": [] }"},
      {"a field name that is not text",
       R"({ "providers": [ { "name": "A", "drav": { "fields": [[1, 7]] } } ] })"},
      {"a field without its number",
       R"({ "providers": [ { "name": "A", "drav": { "fields": [["ID"]] } } ] })"},
      {"a negative field number",
       R"({ "providers": [ { "name": "A", "drav": { "fields": [[-1, "ID"]] } } ] })"},
      {"a provider without a name", R"({ "providers": [ { "drav": { "fields": [] } } ] })"},
  };
  for (const auto& [what, content] : faulty) {
    Catalog(folder.Put("catalog.json", content).string());
    std::vector<std::string> names{"kept"};
    EXPECT_EQ(Create<platform::IDataProviderCatalog>(platform::kDataProviderCatalogClsid)
                  ->GetDataProviderNames(names),
              hr::DP_E_CATALOG)
        << what;
    EXPECT_EQ(names, (Items{"kept"})) << "out is set only on success";
  }
  Catalog((folder.Path() / "missing.json").string());
  DictionaryPtr map;
  EXPECT_EQ(Metadata(true)->GetKeyFields("A", map), hr::DP_E_CATALOG);
  EXPECT_EQ(registry->DeleteValue(platform::RootKey::LocalMachine, components::kDataProvidersKey,
                                  components::kCatalogFileValue),
            0);
  EXPECT_EQ(Metadata(false)->GetKeyFields("A", map), hr::DP_E_CATALOG);
}

TEST_F(DataProviderComponentsTest, ACatalogOnADriveIsFoundThroughTheDriveMapping) {
  testsupport::TempFolder folder;
  folder.Put("Data/Providers.json", R"({ "providers": [ { "name": "Only" } ] })");
  ::setenv("TESSERY_DRIVE_Q", folder.Path().c_str(), 1);
  Catalog("q:\\DATA\\providers.json");
  std::vector<std::string> names;
  EXPECT_EQ(Create<platform::IDataProviderCatalog>(platform::kDataProviderCatalogClsid)
                ->GetDataProviderNames(names),
            hr::S_OK);
  EXPECT_EQ(names, (Items{"Only"}));
  ::unsetenv("TESSERY_DRIVE_Q");
  EXPECT_EQ(Create<platform::IDataProviderCatalog>(platform::kDataProviderCatalogClsid)
                ->GetDataProviderNames(names),
            hr::DP_E_CATALOG)
      << "an unmapped drive";
}

}  // namespace
