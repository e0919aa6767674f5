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

long ServiceModule::RegisterServer(bool service) {
  platform::ComApartment& com = platform_.com;
  if (const platform::HRESULT result = com.Initialize(platform::Apartment::ApartmentThreaded); result < 0) {
    return result;
  }
  // A previous service entry may point at another file.
  Uninstall();

  long code = ApplyRegistryScript();
  platform::Registry& registry = platform_.registry;
  if (code == Success) code = registry.OpenKey(RootKey::ClassesRoot, "AppID");
  if (code == Success) code = registry.OpenKey(RootKey::ClassesRoot, kAppIdKey);
  if (code == Success) {
    registry.DeleteValue(RootKey::ClassesRoot, kAppIdKey, "LocalService");
    if (service) {
      // Only the presence of "LocalService" matters; it holds the short name.
      code = registry.SetValue(RootKey::ClassesRoot, kAppIdKey, "LocalService",
                               platform::RegistryValue::String(LoadServiceString(kIdsShortName)));
      if (code == Success) {
        code = registry.SetValue(RootKey::ClassesRoot, kAppIdKey, "ServiceParameters",
                                 platform::RegistryValue::String("-Service"));
      }
      if (code == Success) Install();
    }
  }
  if (code == Success) {
    const std::string helpDirectory = std::filesystem::path(platform_.modulePath).parent_path().string();
    code =
        platform::RegisterTypeLibrary(registry, TillmoorTypeLibrary(), platform_.modulePath, helpDirectory);
  }
  com.Uninitialize();
  return code;
}

long ServiceModule::UnregisterServer() {
  platform::ComApartment& com = platform_.com;
  if (const platform::HRESULT result = com.Initialize(platform::Apartment::ApartmentThreaded); result < 0) {
    return result;
  }
  platform::Registry& registry = platform_.registry;
  registry.DeleteTree(RootKey::ClassesRoot, kAppIdKey);
  registry.DeleteTree(RootKey::ClassesRoot, kExeAppIdKey);
  Uninstall();
  const platform::TypeLibraryAttributes library = TillmoorTypeLibrary();
  platform::UnregisterTypeLibrary(registry, library.id, library.majorVersion, library.minorVersion,
                                  library.lcid);
  com.Uninitialize();
  return Success;
}

bool ServiceModule::IsInstalled() {
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager) != Success)
    return false;
  std::unique_ptr<platform::ServiceHandle> service;
  return manager->OpenService(serviceName_, platform::svc::kServiceQueryConfig, service) == Success;
}

bool ServiceModule::Install() {
  if (IsInstalled()) return true;
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager) != Success) {
    platform_.messageBoxes.Show("Couldn't open service manager", platform::mb::OKOnly, serviceName_);
    return false;
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
  if (manager->CreateService(config, platform::svc::kServiceAllAccess, service) != Success) {
    platform_.messageBoxes.Show("Couldn't create service", platform::mb::OKOnly, serviceName_);
    return false;
  }
  return true;
}

bool ServiceModule::Uninstall() {
  if (!IsInstalled()) return true;
  std::unique_ptr<platform::ServiceManagerHandle> manager;
  if (platform_.serviceManager.OpenSCManager(platform::svc::kScManagerAllAccess, manager) != Success) {
    platform_.messageBoxes.Show("Couldn't open service manager", platform::mb::OKOnly, serviceName_);
    return false;
  }
  std::unique_ptr<platform::ServiceHandle> service;
  if (manager->OpenService(serviceName_, platform::svc::kServiceStop | platform::svc::kDelete, service) !=
      Success) {
    platform_.messageBoxes.Show("Couldn't open service", platform::mb::OKOnly, serviceName_);
    return false;
  }
  platform::ServiceStatus status;
  service->Control(platform::svc::kControlStop, status);  // no wait for the stop
  if (service->Delete() != Success) {
    platform_.messageBoxes.Show("Service could not be deleted", platform::mb::OKOnly, serviceName_);
    return false;
  }
  return true;
}

}  // namespace tillmoor
