// The command line, the mode decision, registration and unregistration.
#include "ServiceHarness.h"
#include "service/CommandLine.h"
#include "service/StringTable.h"

namespace tillmoor::testing {
namespace {

using platform::RegistryValue;
using platform::RootKey;

TEST(CommandLine, ATokenCountsOnlyAsTheRestOfTheLine) {
  const std::pair<const char*, CommandLineAction> cases[] = {
      {"", CommandLineAction::Start},
      {"-RegServer", CommandLineAction::RegServer},
      {"/regserver", CommandLineAction::RegServer},
      {"-UNREGSERVER", CommandLineAction::UnregServer},
      {"-Service", CommandLineAction::Service},
      {"-Service now", CommandLineAction::Start},
      {"now -Service", CommandLineAction::Service},
      {"-x /y-Service", CommandLineAction::Service},
      {"--Service", CommandLineAction::Service},
      {"-Service ", CommandLineAction::Start},
      {"Service", CommandLineAction::Start},
      {"-5", CommandLineAction::Start},
      {"-", CommandLineAction::Start},
  };
  for (const auto& [line, action] : cases) EXPECT_EQ(ScanCommandLine(line), action) << '"' << line << '"';
  EXPECT_EQ(CommandLineOf({"a", "-Service"}), "a -Service");
}

class StartUp : public ServiceHarness {
 protected:
  std::string Text(RootKey root, std::string_view key, std::string_view name) {
    RegistryValue value;
    if (registry_->QueryValue(root, key, name, value) != 0) return "(missing)";
    return value.AsString();
  }
  bool HasKey(RootKey root, std::string_view key) { return registry_->OpenKey(root, key) == 0; }
  static constexpr std::string_view kTypeLibrary = "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}\\1.0";
};

TEST_F(StartUp, WithoutRegistrationTheProcessEndsWithTheRegistryError) {
  EXPECT_EQ(Module().Start(""), platform::win32::FileNotFound);
  EXPECT_EQ(registry_->CreateKey(RootKey::ClassesRoot, "AppID\\Other"), 0);
  EXPECT_EQ(Module().Start(""), platform::win32::FileNotFound);
  EXPECT_TRUE(scm_.Statuses().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(work_.Queries(), 0);
}

TEST_F(StartUp, RegServerWritesAppIdAndTypeLibraryButNoServiceEntry) {
  EXPECT_EQ(registry_->CreateKey(RootKey::ClassesRoot, kAppIdKey), 0);
  EXPECT_EQ(
      registry_->SetValue(RootKey::ClassesRoot, kAppIdKey, "LocalService", RegistryValue::String("old")), 0);
  EXPECT_EQ(Module().Start("/regserver"), 0);
  EXPECT_EQ(Text(RootKey::ClassesRoot, kAppIdKey, ""), "Tillmoor");
  EXPECT_EQ(Text(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "(missing)");
  EXPECT_EQ(Text(RootKey::ClassesRoot, kExeAppIdKey, "AppID"), "{1A619104-B56E-11d4-A7B8-0008C711C445}");
  EXPECT_EQ(Text(RootKey::ClassesRoot, kTypeLibrary, ""), "Tillmoor 1.0 Type Library");
  EXPECT_EQ(Text(RootKey::ClassesRoot, std::string(kTypeLibrary) + "\\409\\win32", ""), kModulePath);
  EXPECT_EQ(Text(RootKey::ClassesRoot, std::string(kTypeLibrary) + "\\HELPDIR", ""), "/opt/tessery/bin");
  EXPECT_FALSE(scm_.Service(Module().ServiceName()));
  EXPECT_TRUE(boxes_.Messages().empty());
  EXPECT_EQ(com_.OpenJoins(), 0);
}

TEST_F(StartUp, ServiceRegistersTheServiceEntryAndRegServerRemovesIt) {
  ASSERT_EQ(Module().Start("-Service"), 0);
  EXPECT_EQ(Text(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "Tillmoor");
  EXPECT_EQ(Text(RootKey::ClassesRoot, kAppIdKey, "ServiceParameters"), "-Service");
  const auto service = scm_.Service("Tessery Velmar Credit Card Payment Service");
  ASSERT_TRUE(service);
  EXPECT_EQ(service->displayName, "Tessery Velmar Credit Card Payment Service");
  EXPECT_EQ(service->serviceType, platform::svc::kServiceWin32OwnProcess);
  EXPECT_EQ(service->startType, platform::svc::kServiceDemandStart);
  EXPECT_EQ(service->errorControl, platform::svc::kServiceErrorNormal);
  EXPECT_EQ(service->binaryPathName, kModulePath);
  EXPECT_EQ(service->dependencies, std::vector<std::string>{"RPCSS"});
  EXPECT_EQ(service->serviceStartName, "");

  ASSERT_EQ(Module().Start("-RegServer"), 0);
  EXPECT_FALSE(scm_.Service(Module().ServiceName()));
  ASSERT_EQ(scm_.SentControls().size(), 1u);
  EXPECT_EQ(scm_.SentControls()[0].control, platform::svc::kControlStop);
  EXPECT_EQ(Text(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "(missing)");
}

TEST_F(StartUp, UnregServerRemovesWhatRegistrationWroteAndKeepsAppId) {
  ASSERT_EQ(Module().Start("-Service"), 0);
  EXPECT_EQ(Module().Start("-UnregServer"), 0);
  EXPECT_TRUE(HasKey(RootKey::ClassesRoot, "AppID"));
  EXPECT_FALSE(HasKey(RootKey::ClassesRoot, kAppIdKey));
  EXPECT_FALSE(HasKey(RootKey::ClassesRoot, kExeAppIdKey));
  EXPECT_FALSE(HasKey(RootKey::ClassesRoot, kTypeLibrary));
  EXPECT_FALSE(scm_.Service(Module().ServiceName()));
  EXPECT_EQ(Module().Start("-UnregServer"), 0) << "unregistering twice is no failure";
}

TEST_F(StartUp, ServiceManagerFailuresAreShownAndRegistrationGoesOn) {
  struct Case {
    const char* line;
    platform::testing::FaultCountdown ScriptedServiceManager::*faults;
    int nth;
    bool installedBefore;
    const char* text;
  };
  const Case cases[] = {
      // -Service: the uninstall's installed test opens the manager first, the install's second, the
      // install itself third.
      {"-Service", &ScriptedServiceManager::openManagerFaults, 3, false, "Couldn't open service manager"},
      {"-Service", &ScriptedServiceManager::createFaults, 1, false, "Couldn't create service"},
      {"-RegServer", &ScriptedServiceManager::openManagerFaults, 2, true, "Couldn't open service manager"},
      {"-RegServer", &ScriptedServiceManager::openServiceFaults, 2, true, "Couldn't open service"},
      {"-RegServer", &ScriptedServiceManager::deleteFaults, 1, true, "Service could not be deleted"},
  };
  for (const Case& c : cases) {
    ScriptedServiceManager scm;
    RecordingMessageBoxes boxes;
    auto registry = platform::OpenMemoryRegistry();
    ServiceModule module(ServicePlatform{*registry, scm, eventLog_, *threading_, messaging_, com_, console_,
                                         boxes, out_, kModulePath},
                         work_);
    if (c.installedBefore) {
      platform::ServiceConfig installed;
      installed.serviceName = LoadServiceString(kIdsServiceName);
      scm.Install(installed);
    }
    (scm.*c.faults).FailAt(c.nth, 5);
    EXPECT_EQ(module.Start(c.line), 5) << c.text << ": the registration goes on, and ends with the failure";
    ASSERT_EQ(boxes.Messages().size(), 1u) << c.text;
    EXPECT_EQ(boxes.Messages()[0].prompt, c.text);
    EXPECT_EQ(boxes.Messages()[0].buttons, platform::mb::OKOnly);
    EXPECT_EQ(boxes.Messages()[0].title, "Tessery Velmar Credit Card Payment Service");
    EXPECT_EQ(registry->OpenKey(RootKey::ClassesRoot, std::string(kTypeLibrary) + "\\409\\win32"), 0)
        << c.text;
  }
}

TEST_F(StartUp, ComFailureEndsRegistrationWithItsCode) {
  const long failure = static_cast<platform::HRESULT>(0x8007000Eu);
  com_.initializeFaults.FailAt(1, failure, true);
  EXPECT_EQ(Module().Start("-RegServer"), failure);
  EXPECT_EQ(Module().Start("-UnregServer"), failure);
  EXPECT_FALSE(HasKey(RootKey::ClassesRoot, kAppIdKey));
}

TEST_F(StartUp, RegServerThenStartRunsAsLocalServerAndServiceConnects) {
  ASSERT_EQ(Module().Start("-RegServer"), 0);
  StartProcess();
  ASSERT_TRUE(WaitForTimer());
  EXPECT_FALSE(Module().ServiceMode());
  EXPECT_EQ(scm_.DispatcherThread(), 0u) << "a local server never connects";
  ASSERT_TRUE(console_.Raise(platform::kCtrlCEvent));
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_EQ(outBuffer_.Text(), "Service started with interval(minutes): 1\n");
  EXPECT_TRUE(eventLog_.Entries().empty());
}

TEST_F(StartUp, ServiceStartedWithoutAManagerRunsAsLocalServer) {
  Register(true);
  scm_.connectFaults.FailAt(1, platform::svc::kErrorFailedServiceControllerConnect);
  StartProcess();
  ASSERT_TRUE(WaitForTimer());
  EXPECT_FALSE(Module().ServiceMode());
  ASSERT_TRUE(console_.Raise(platform::kCtrlCloseEvent));
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_TRUE(scm_.Statuses().empty());
  EXPECT_EQ(Reports(), std::vector<std::string>{"Service started with interval(minutes): 1"});
}

}  // namespace
}  // namespace tillmoor::testing
