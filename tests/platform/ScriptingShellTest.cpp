// RegRead under every form of the root, its failures, and a hand-written registry file.
#include <gtest/gtest.h>

#include "platform/ScriptingShell.h"
#include "support/ErrorNumber.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

using testsupport::ErrorNumberOf;

constexpr std::string_view kKey = "SOFTWARE\\Tessery\\Tessery Corvane";
const std::int32_t kNotFound = HResultFromWin32(win32::FileNotFound);

class RegReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_EQ(registry_->CreateKey(RootKey::LocalMachine, kKey), 0);
    EXPECT_EQ(
        registry_->SetValue(RootKey::LocalMachine, kKey, "InstallDir", RegistryValue::String("c:\\prog")), 0);
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, kKey, "", RegistryValue::String("default")), 0);
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, kKey, "Count", RegistryValue::DWord(0xFFFFFFFEu)),
              0);
    RegistryValue expand = RegistryValue::String("%WINDIR%\\x");
    expand.type = kRegExpandSz;
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, kKey, "Expand", expand), 0);
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, kKey, "Blob", RegistryValue::Binary({1, 2})), 0);
  }

  std::unique_ptr<Registry> registry_ = OpenMemoryRegistry();
  ScriptingShell shell_{*registry_};
};

TEST_F(RegReadTest, ReadsTextAndNumbersUnderAnyFormOfTheRoot) {
  EXPECT_EQ(shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir"), Variant("c:\\prog"));
  EXPECT_EQ(shell_.RegRead("hkey_local_machine\\software\\tessery\\TESSERY CORVANE\\installdir"),
            Variant("c:\\prog"));
  EXPECT_EQ(shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\"), Variant("default"));
  EXPECT_EQ(shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\Count"), Variant(std::int32_t{-2}));
  EXPECT_EQ(shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\Expand"), Variant("%WINDIR%\\x"));
}

TEST_F(RegReadTest, MissingNamesAndArraysFail) {
  EXPECT_EQ(ErrorNumberOf([&] { shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\Other"); }),
            kNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { shell_.RegRead("HKCU\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir"); }),
            kNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { shell_.RegRead("HKXX\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir"); }),
            kNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { shell_.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\Blob"); }),
            err::TypeMismatch);
  try {
    shell_.RegRead("HKLM\\SOFTWARE\\Nothing\\Here");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), "Unable to open registry key \"HKLM\\SOFTWARE\\Nothing\\Here\" for reading.");
  }
}

// The install directory as people write it into the registry file by hand: LF line ends, names in
// another case than the reader asks for.
TEST(RegReadFromFile, AHandWrittenRegistryFileIsRead) {
  testsupport::TempFolder temp;
  const auto file = temp.Put("registry.reg",
                             "Windows Registry Editor Version 5.00\n\n"
                             "[hkey_local_machine\\software\\TESSERY\\tessery corvane]\n"
                             "\"installdir\"=\"c:\\\\prog\"\n");
  auto registry = OpenFileRegistry(file);
  ScriptingShell shell(*registry);
  EXPECT_EQ(shell.RegRead("HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir"), Variant("c:\\prog"));

  auto missing = OpenFileRegistry(temp.Path() / "none.reg");
  EXPECT_EQ(ErrorNumberOf([&] { ScriptingShell(*missing).RegRead("HKLM\\SOFTWARE\\X\\InstallDir"); }),
            kNotFound);
}

}  // namespace
}  // namespace platform
