// The OS-independent part of components: GUID text, HRESULT texts, the function class factory, the
// registry entries of a class, and creation on top of a backend's class lookup.
#include "platform/Com.h"

#include <cstdio>
#include <new>

namespace platform {

std::string FormatGuid(const GUID& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::size_t GuidHash::operator()(const GUID& guid) const noexcept {
  std::uint64_t high = static_cast<std::uint64_t>(guid.Data1) << 32 |
                       static_cast<std::uint64_t>(guid.Data2) << 16 | guid.Data3;
  std::uint64_t low = 0;
  for (std::uint8_t byte : guid.Data4) low = low << 8 | byte;
  return std::hash<std::uint64_t>{}(high * 0x9E3779B97F4A7C15ull ^ low);
}

std::string HResultText(HRESULT result) {
  switch (result) {
    case hr::S_OK:
      return "The operation completed successfully.";
    case hr::S_FALSE:
      return "The operation completed (S_FALSE).";
    case hr::E_NOTIMPL:
      return "Not implemented";
    case hr::E_NOINTERFACE:
      return "No such interface supported";
    case hr::E_POINTER:
      return "Invalid pointer";
    case hr::E_ABORT:
      return "Operation aborted";
    case hr::E_FAIL:
      return "Unspecified error";
    case hr::E_UNEXPECTED:
      return "Catastrophic failure";
    case hr::E_OUTOFMEMORY:
      return "Not enough memory resources are available to complete this operation.";
    case hr::REGDB_E_READREGDB:
      return "Could not read key from registry";
    case hr::REGDB_E_WRITEREGDB:
      return "Could not write key to registry";
    case hr::REGDB_E_CLASSNOTREG:
      return "Class not registered";
    case hr::CLASS_E_NOAGGREGATION:
      return "Class does not support aggregation";
    case hr::CLASS_E_CLASSNOTAVAILABLE:
      return "The module cannot supply the requested class";
    case hr::CO_E_CLASSSTRING:
      return "Invalid class string";
    case hr::CO_E_DLLNOTFOUND:
      return "Module for the class not found";
    case hr::CO_E_ERRORINDLL:
      return "Error in the module";
    case hr::SELFREG_E_CLASS:
      return "Failed to register or unregister the classes of the module";
    default:
      break;
  }
  char hex[32];
  std::snprintf(hex, sizeof hex, "Error 0x%08X", static_cast<unsigned>(result));
  if ((static_cast<std::uint32_t>(result) & 0xFFFF0000u) == 0x80070000u) {
    const std::string text = Win32ErrorText(static_cast<long>(result & 0xFFFF));
    if (text.rfind("Error ", 0) != 0) return text;
  }
  return hex;
}

HRESULT FunctionClassFactory::CreateInstance(IUnknown* outer, const GUID& iid, void** out) {
  if (out == nullptr) return hr::E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return hr::CLASS_E_NOAGGREGATION;
  // Exceptions never leave an interface method: they become HRESULTs.
  try {
    return create_(iid, out);
  } catch (const std::bad_alloc&) {
    return hr::E_OUTOFMEMORY;
  } catch (...) {
    return hr::E_FAIL;
  }
}

HRESULT ServeClassObject(FunctionClassFactory::CreateFunction create, const GUID& iid, void** out) {
  if (out == nullptr) return hr::E_POINTER;
  *out = nullptr;
  if (!create) return hr::CLASS_E_CLASSNOTAVAILABLE;
  try {
    return MakeComObject<FunctionClassFactory>(std::move(create))->QueryInterface(iid, out);
  } catch (const std::bad_alloc&) {
    return hr::E_OUTOFMEMORY;
  } catch (...) {
    return hr::E_FAIL;
  }
}

namespace {

constexpr RootKey HKCR = RootKey::ClassesRoot;

// Runs registry steps until one fails; the failure as an HRESULT.
class RegistrySteps {
 public:
  explicit RegistrySteps(Registry& registry) : registry_(registry) {}

  void Key(const std::string& path) {
    if (code_ == win32::Success) code_ = registry_.CreateKey(HKCR, path);
  }
  void Value(const std::string& path, std::string_view name, std::string_view text) {
    if (code_ == win32::Success) code_ = registry_.SetValue(HKCR, path, name, RegistryValue::String(text));
  }
  void Remove(const std::string& path) {
    if (code_ != win32::Success) return;
    const long code = registry_.DeleteTree(HKCR, path);
    if (code != win32::FileNotFound) code_ = code;
  }
  HRESULT Result() const { return HResultFromWin32(code_); }

 private:
  Registry& registry_;
  long code_ = win32::Success;
};

bool ValidProgId(std::string_view progId) {
  return !progId.empty() && progId.front() != '{' && progId.find('\\') == std::string_view::npos;
}

}  // namespace

HRESULT RegisterComClass(Registry& registry, const ClassRegistration& entry, std::string_view modulePath) {
  if (!ValidProgId(entry.progId) || modulePath.empty()) return hr::E_INVALIDARG;
  const std::string clsid = FormatGuid(entry.clsid);
  const std::string classKey = "CLSID\\" + clsid;
  RegistrySteps steps(registry);
  steps.Key(entry.progId + "\\CLSID");
  steps.Value(entry.progId, "", entry.description);
  steps.Value(entry.progId + "\\CLSID", "", clsid);
  steps.Key(classKey + "\\InprocServer32");
  steps.Key(classKey + "\\ProgID");
  steps.Value(classKey, "", entry.description);
  steps.Value(classKey + "\\InprocServer32", "", modulePath);
  steps.Value(classKey + "\\InprocServer32", "ThreadingModel", entry.threadingModel);
  steps.Value(classKey + "\\ProgID", "", entry.progId);
  return steps.Result();
}

HRESULT UnregisterComClass(Registry& registry, const ClassRegistration& entry) {
  if (!ValidProgId(entry.progId)) return hr::E_INVALIDARG;
  RegistrySteps steps(registry);
  steps.Remove("CLSID\\" + FormatGuid(entry.clsid));
  // The ProgID goes only while it still names this class: another module may have taken it over.
  RegistryValue value;
  const long code = registry.QueryValue(HKCR, entry.progId + "\\CLSID", "", value);
  if (code == win32::Success) {
    if (ParseGuid(value.AsString()) == entry.clsid) steps.Remove(entry.progId);
  } else if (code != win32::FileNotFound) {
    return HResultFromWin32(code);
  }
  return steps.Result();
}

HRESULT ComponentCreator::ClassIdFromText(std::string_view progIdOrClsid, GUID& clsid) {
  if (!progIdOrClsid.empty() && progIdOrClsid.front() == '{') {
    const auto parsed = ParseGuid(progIdOrClsid);
    if (!parsed) return hr::CO_E_CLASSSTRING;
    clsid = *parsed;
    return hr::S_OK;
  }
  return ClassIdFromProgId(progIdOrClsid, clsid);
}

HRESULT ComponentCreator::CreateInstance(const GUID& clsid, std::uint32_t context, const GUID& iid,
                                         void** out) {
  if (out == nullptr) return hr::E_POINTER;
  *out = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT result = GetClassObject(clsid, context, IClassFactory::kIid, factory.PutVoid());
  if (Failed(result)) return result;
  if (!factory) return hr::E_UNEXPECTED;  // a module that reports success without an object
  ComPtr<IUnknown> object;
  result = factory->CreateInstance(nullptr, IUnknown::kIid, object.PutVoid());
  if (Failed(result)) return result;
  if (!object) return hr::E_UNEXPECTED;
  result = object->QueryInterface(iid, out);
  if (Failed(result)) *out = nullptr;
  return result;
}

HRESULT ComponentCreator::CreateInstance(std::string_view progIdOrClsid, std::uint32_t context,
                                         const GUID& iid, void** out) {
  if (out == nullptr) return hr::E_POINTER;
  *out = nullptr;
  GUID clsid;
  const HRESULT result = ClassIdFromText(progIdOrClsid, clsid);
  if (Failed(result)) return result;
  return CreateInstance(clsid, context, iid, out);
}

}  // namespace platform
