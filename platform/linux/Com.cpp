// The Linux backend of components: class ids and module paths from the registry, modules loaded with
// the dynamic loader (RTLD_NOW | RTLD_LOCAL) and never unloaded, since objects they made may live
// anywhere in the process.
#include "platform/Com.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

namespace fs = std::filesystem;

void Tell(std::string* message, std::string text) {
  if (message != nullptr) *message = std::move(text);
}

// Loads a module and finds one of its entry points. A path without a slash is searched for the way
// the dynamic loader searches libraries.
HRESULT LoadEntryPoint(const std::string& path, const char* entryName, void*& entry, std::string* message) {
  entry = nullptr;
  const bool searched = path.find('/') == std::string::npos;
  struct stat status {};
  if (!searched && ::stat(path.c_str(), &status) != 0) {
    Tell(message, "module '" + path + "' not found");
    return hr::CO_E_DLLNOTFOUND;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    Tell(message,
         "module '" + path + "' cannot be loaded: " + (reason != nullptr ? reason : "unknown reason"));
    return searched ? hr::CO_E_DLLNOTFOUND : hr::CO_E_ERRORINDLL;
  }
  entry = ::dlsym(handle, entryName);
  if (entry == nullptr) {
    Tell(message, "module '" + path + "' does not export " + entryName);
    return hr::CO_E_ERRORINDLL;
  }
  return hr::S_OK;
}

template <typename Function>
HRESULT CallRegistration(Registry& registry, const fs::path& module, const char* entryName,
                         std::string* message) {
  const std::string path = fs::absolute(module).lexically_normal().string();
  void* entry;
  HRESULT result = LoadEntryPoint(path, entryName, entry, message);
  if (Failed(result)) return result;
  try {
    result = reinterpret_cast<Function>(entry)(ModuleSite{registry, path});
  } catch (...) {
    result = hr::E_FAIL;  // a module must not throw across its entry point; treat it as a failure
  }
  if (Failed(result))
    Tell(message, std::string(entryName) + " of '" + path + "' failed: " + HResultText(result));
  return result;
}

class ModuleComponentCreator final : public ComponentCreator {
 public:
  explicit ModuleComponentCreator(Registry& registry) : registry_(registry) {}

  HRESULT ClassIdFromProgId(std::string_view progId, GUID& clsid) override {
    if (progId.empty() || progId.find('\\') != std::string_view::npos) return hr::CO_E_CLASSSTRING;
    RegistryValue value;
    const long code = registry_.QueryValue(RootKey::ClassesRoot, std::string(progId) + "\\CLSID", "", value);
    if (code == win32::FileNotFound) return hr::CO_E_CLASSSTRING;
    if (code != win32::Success) return hr::REGDB_E_READREGDB;
    const auto parsed = ParseGuid(value.AsString());
    if (!parsed) return hr::CO_E_CLASSSTRING;
    clsid = *parsed;
    return hr::S_OK;
  }

  HRESULT GetClassObject(const GUID& clsid, std::uint32_t context, const GUID& iid, void** out) override {
    if (out == nullptr) return hr::E_POINTER;
    *out = nullptr;
    if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) return hr::REGDB_E_CLASSNOTREG;
    RegistryValue value;
    const long code = registry_.QueryValue(RootKey::ClassesRoot,
                                           "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32", "", value);
    if (code == win32::FileNotFound) return hr::REGDB_E_CLASSNOTREG;
    if (code != win32::Success) return hr::REGDB_E_READREGDB;
    const std::string path = value.AsString();
    if (path.empty()) return hr::CO_E_DLLNOTFOUND;

    DllGetClassObjectFunction entry;
    const HRESULT loaded = Entry(path, entry);
    if (Failed(loaded)) return loaded;
    try {
      return entry(ModuleSite{registry_, path}, clsid, iid, out);
    } catch (...) {
      *out = nullptr;
      return hr::E_FAIL;  // a module must not throw across its entry point
    }
  }

 private:
  // The module's DllGetClassObject, loading the module on first use. Failed loads are not kept, so a
  // module installed later is found.
  HRESULT Entry(const std::string& path, DllGetClassObjectFunction& entry) {
    std::lock_guard lock(mutex_);
    if (auto found = modules_.find(path); found != modules_.end()) {
      entry = found->second;
      return hr::S_OK;
    }
    void* symbol;
    const HRESULT result = LoadEntryPoint(path, kDllGetClassObject, symbol, nullptr);
    if (Failed(result)) return result;
    entry = reinterpret_cast<DllGetClassObjectFunction>(symbol);
    modules_.emplace(path, entry);
    return hr::S_OK;
  }

  Registry& registry_;
  std::mutex mutex_;
  std::unordered_map<std::string, DllGetClassObjectFunction> modules_;
};

}  // namespace

HRESULT RegisterModule(Registry& registry, const std::filesystem::path& module, std::string* message) {
  return CallRegistration<DllRegisterServerFunction>(registry, module, kDllRegisterServer, message);
}

HRESULT UnregisterModule(Registry& registry, const std::filesystem::path& module, std::string* message) {
  return CallRegistration<DllUnregisterServerFunction>(registry, module, kDllUnregisterServer, message);
}

std::unique_ptr<ComponentCreator> OpenComponentCreator(Registry& registry) {
  return std::make_unique<ModuleComponentCreator>(registry);
}

}  // namespace platform
