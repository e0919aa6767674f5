// Registration and unregistration: the AppID keys, the service entry and the type library.
#include <filesystem>

#include "platform/TypeLibrary.h"
#include "service/ServiceModule.h"
#include "service/StringTable.h"

namespace tillmoor {

namespace {

using platform::RootKey;
using platform::win32::Success;

// The type library the executable carries: no type descriptions, only its identity.
platform::TypeLibraryAttributes TillmoorTypeLibrary() {
  platform::TypeLibraryAttributes library;
  library.id = std::string(kAppId);
  library.majorVersion = 1;
  library.minorVersion = 0;
  library.lcid = 0x409;
  library.name = "TILLMOORLib";
  library.helpString = "Tillmoor 1.0 Type Library";
  return library;
}

}  // namespace

// The registration script: the AppID key with its name, and the executable's key pointing at it.
long ServiceModule::ApplyRegistryScript() {
  platform::Registry& registry = platform_.registry;
  const std::pair<std::string_view, std::pair<std::string_view, std::string_view>> entries[] = {
      {kAppIdKey, {"", "Tillmoor"}},
      {kExeAppIdKey, {"AppID", kAppId}},
  };
  for (const auto& [key, value] : entries) {
    if (long code = registry.CreateKey(RootKey::ClassesRoot, key); code != Success) return code;
    const long code = registry.SetValue(RootKey::ClassesRoot, key, value.first,
                                        platform::RegistryValue::String(value.second));
    if (code != Success) return code;
  }
  return Success;
}

// Registration goes on after a failure of the service manager (its message shown) and ends at the
// first failure of the registry (which would fail the same way again, and may have waited for its
// lock); either way the process ends with the first failure's code.
long ServiceModule::RegisterServer(bool service) {
  platform::ComApartment& com = platform_.com;
  if (const platform::HRESULT result = com.Initialize(platform::Apartment::ApartmentThreaded); result < 0) {
    return result;
  }
  // A previous service entry may point at another file.
  const long uninstalled = Uninstall();
  long installed = Success;

  long code = ApplyRegistryScript();
  platform::Registry& registry = platform_.registry;
  if (code == Success) code = registry.OpenKey(RootKey::ClassesRoot, "AppID");
  if (code == Success) code = registry.OpenKey(RootKey::ClassesRoot, kAppIdKey);
  if (code == Success) {
    code = registry.DeleteValue(RootKey::ClassesRoot, kAppIdKey, "LocalService");
    if (code == platform::win32::FileNotFound) code = Success;
  }
  if (code == Success && service) {
    // Only the presence of "LocalService" matters; it holds the short name.
    code = registry.SetValue(RootKey::ClassesRoot, kAppIdKey, "LocalService",
                             platform::RegistryValue::String(LoadServiceString(kIdsShortName)));
    if (code == Success) {
      code = registry.SetValue(RootKey::ClassesRoot, kAppIdKey, "ServiceParameters",
                               platform::RegistryValue::String("-Service"));
    }
    if (code == Success) installed = Install();
  }
  if (code == Success) {
    const std::string helpDirectory = std::filesystem::path(platform_.modulePath).parent_path().string();
    code =
        platform::RegisterTypeLibrary(registry, TillmoorTypeLibrary(), platform_.modulePath, helpDirectory);
  }
  if (code != Success) ShowRegistryFailure(code);
  com.Uninitialize();
  for (long failure : {uninstalled, code, installed}) {
    if (failure != Success) return failure;
  }
  return Success;
}

long ServiceModule::UnregisterServer() {
  platform::ComApartment& com = platform_.com;
  if (const platform::HRESULT result = com.Initialize(platform::Apartment::ApartmentThreaded); result < 0) {
    return result;
  }
  platform::Registry& registry = platform_.registry;
  // What is not there any more needs no removing.
  auto removed = [](long code) { return code == platform::win32::FileNotFound ? Success : code; };
  long code = removed(registry.DeleteTree(RootKey::ClassesRoot, kAppIdKey));
  if (code == Success) code = removed(registry.DeleteTree(RootKey::ClassesRoot, kExeAppIdKey));
  long uninstalled = Success;
  if (code == Success) uninstalled = Uninstall();
  if (code == Success) {
    const platform::TypeLibraryAttributes library = TillmoorTypeLibrary();
    const long found = registry.OpenKey(
        RootKey::ClassesRoot,
        platform::TypeLibraryVersionKey(library.id, library.majorVersion, library.minorVersion));
    if (found == Success) {
      code = platform::UnregisterTypeLibrary(registry, library.id, library.majorVersion, library.minorVersion,
                                             library.lcid);
    } else {
      code = removed(found);
    }
  }
  if (code != Success) ShowRegistryFailure(code);
  com.Uninitialize();
  return code != Success ? code : uninstalled;
}

// Shows a failure of the registry that ends a registration or unregistration, with what the registry
// told of it (the file, the lock).
void ServiceModule::ShowRegistryFailure(long code) {
  platform_.messageBoxes.Show("Couldn't update the registry: " + FailureText(code), platform::mb::OKOnly,
                              serviceName_);
}

// The installed test: a manager or a service entry that cannot be opened reads as "not installed",
// whatever the code. That hides no failure here: the manager keeps its entries in the registry, and a
// registry that cannot be read fails the registration's or unregistration's next registry step,
// which reports it; an install that goes ahead reports its own failure.
bool ServiceModule::IsInstalled() {
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager) != Success)
    return false;
  std::unique_ptr<platform::ServiceHandle> service;
  return manager->OpenService(serviceName_, platform::svc::kServiceQueryConfig, service) == Success;
}

long ServiceModule::Install() {
  if (IsInstalled()) return Success;
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (long code = platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager);
      code != Success) {
    ShowServiceManagerFailure("Couldn't open service manager", code);
    return code;
  }
  platform::ServiceConfig config;
  config.serviceName = serviceName_;
  config.displayName = serviceName_;
  config.serviceType = platform::svc::kServiceWin32OwnProcess;
  config.startType = platform::svc::kServiceDemandStart;
  config.errorControl = platform::svc::kServiceErrorNormal;
  config.binaryPathName = platform_.modulePath;
  config.dependencies = {"RPCSS"};
  std::unique_ptr<platform::ServiceHandle> service;
  if (long code = manager->CreateService(config, platform::svc::kServiceAllAccess, service);
      code != Success) {
    ShowServiceManagerFailure("Couldn't create service", code);
    return code;
  }
  return Success;
}

long ServiceModule::Uninstall() {
  if (!IsInstalled()) return Success;
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (long code = platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager);
      code != Success) {
    ShowServiceManagerFailure("Couldn't open service manager", code);
    return code;
  }
  std::unique_ptr<platform::ServiceHandle> service;
  if (long code =
          manager->OpenService(serviceName_, platform::svc::kServiceStop | platform::svc::kDelete, service);
      code != Success) {
    ShowServiceManagerFailure("Couldn't open service", code);
    return code;
  }
  platform::ServiceStatus status;
  platform::IgnoreResult(service->Control(platform::svc::kControlStop, status),
                         "no wait for the stop either: the delete that follows is what counts");
  if (long code = service->Delete(); code != Success) {
    ShowServiceManagerFailure("Service could not be deleted", code);
    return code;
  }
  return Success;
}

// The service manager's message, then what the platform told of the failure when it told more than
// its code (a unit folder others may write, named).
void ServiceModule::ShowServiceManagerFailure(const char* text, long code) {
  platform_.messageBoxes.Show(text, platform::mb::OKOnly, serviceName_);
  const std::string description = platform::ErrorDescription(code);
  if (description != platform::Win32ErrorText(code)) {
    platform_.messageBoxes.Show(description + " (error " + std::to_string(code) + ")", platform::mb::OKOnly,
                                serviceName_);
  }
}

}  // namespace tillmoor
