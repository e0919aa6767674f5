// Type-library registration records written and removed, and a registry that cannot be written.
#include <gtest/gtest.h>

#include "platform/TypeLibrary.h"

namespace platform {
namespace {

TypeLibraryAttributes Library(std::uint16_t major = 1) {
  TypeLibraryAttributes library;
  library.id = "{1a619104-b56e-11d4-a7b8-0008c711c445}";
  library.majorVersion = major;
  library.lcid = 0x409;
  library.name = "TILLMOORLib";
  library.helpString = "Tillmoor 1.0 Type Library";
  return library;
}

std::string Default(Registry& registry, const std::string& key) {
  RegistryValue value;
  if (registry.QueryValue(RootKey::ClassesRoot, key, "", value) != 0) return "(missing)";
  return value.AsString();
}

TEST(TypeLibrary, RegistersTheRecordsThePlatformKeepsAndRemovesThem) {
  auto registry = OpenMemoryRegistry();
  ASSERT_EQ(RegisterTypeLibrary(*registry, Library(), "/opt/t/tillmoor", "/opt/t"), 0);
  const std::string version = "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}\\1.0";
  std::vector<std::string> keys;
  ASSERT_EQ(registry->EnumKeys(RootKey::ClassesRoot, "TypeLib", keys), 0);
  EXPECT_EQ(keys, std::vector<std::string>{"{1A619104-B56E-11D4-A7B8-0008C711C445}"})
      << "the id in upper case";
  EXPECT_EQ(Default(*registry, version), "Tillmoor 1.0 Type Library");
  EXPECT_EQ(Default(*registry, version + "\\409\\win32"), "/opt/t/tillmoor");
  EXPECT_EQ(Default(*registry, version + "\\FLAGS"), "0");
  EXPECT_EQ(Default(*registry, version + "\\HELPDIR"), "/opt/t");

  ASSERT_EQ(RegisterTypeLibrary(*registry, Library(2), "/opt/t/v2", "/opt/t"), 0);
  EXPECT_EQ(UnregisterTypeLibrary(*registry, Library().id, 1, 0, 0x409), 0);
  EXPECT_EQ(Default(*registry, version), "(missing)");
  EXPECT_EQ(Default(*registry, "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}\\2.0"),
            "Tillmoor 1.0 Type Library");
  EXPECT_EQ(UnregisterTypeLibrary(*registry, Library().id, 2, 0, 0x409), 0);
  EXPECT_NE(registry->OpenKey(RootKey::ClassesRoot, "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}"), 0)
      << "the id key goes with its last version";
  EXPECT_EQ(UnregisterTypeLibrary(*registry, Library().id, 1, 0, 0x409), kTypeERegistryAccess);
}

// A registry that refuses every change.
class ReadOnlyRegistry final : public Registry {
 public:
  long OpenKey(RootKey root, std::string_view path) override { return inner_->OpenKey(root, path); }
  long CreateKey(RootKey, std::string_view) override { return win32::AccessDenied; }
  long QueryValue(RootKey root, std::string_view path, std::string_view name, RegistryValue& out) override {
    return inner_->QueryValue(root, path, name, out);
  }
  long SetValue(RootKey, std::string_view, std::string_view, const RegistryValue&) override {
    return win32::AccessDenied;
  }
  long DeleteValue(RootKey, std::string_view, std::string_view) override { return win32::AccessDenied; }
  long DeleteKey(RootKey, std::string_view) override { return win32::AccessDenied; }
  long DeleteTree(RootKey, std::string_view) override { return win32::AccessDenied; }
  long EnumKeys(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    return inner_->EnumKeys(root, path, names);
  }
  long EnumValues(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    return inner_->EnumValues(root, path, names);
  }

 private:
  std::unique_ptr<Registry> inner_ = OpenMemoryRegistry();
};

TEST(TypeLibrary, ARegistryThatCannotBeWrittenIsReported) {
  ReadOnlyRegistry registry;
  EXPECT_EQ(RegisterTypeLibrary(registry, Library(), "/opt/t/tillmoor", "/opt/t"), kTypeERegistryAccess);
}

}  // namespace
}  // namespace platform
