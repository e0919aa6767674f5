// Components: objects reached through interfaces, created by ProgID or class id from modules that
// the registry names.
//
// Keeps: GUIDs and their "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" text form; HRESULTs with the
// platform's numbers; IUnknown (QueryInterface, AddRef, Release) with thread-safe reference counts;
// class factories; in-process server modules (shared objects) exporting DllGetClassObject,
// DllRegisterServer and DllUnregisterServer; the registry entries that lead from a ProgID to a class
// id (HKCR\<ProgID>\CLSID) and from a class id to its module (HKCR\CLSID\{clsid}\InprocServer32);
// creation for an interface id, a text that begins with "{" being read as a class id.
//
// Leaves out: apartments and marshalling (objects are called directly from any thread, so components
// must be safe for that, as free-threaded ones are; joining or leaving an apartment is not modelled);
// local and remote servers (any context that includes CLSCTX_INPROC_SERVER or CLSCTX_INPROC_HANDLER
// finds the in-process server; other contexts find nothing); aggregation (an outer object is refused
// with CLASS_E_NOAGGREGATION); IDispatch, type libraries and error-info objects; the running state
// (an in-process object is running once created, so OleRun has nothing to do); unloading modules
// (a module stays loaded for the life of the process); expansion of %VARIABLES% in module paths.
//
// Module contract. A module exports, with C linkage (COM_MODULE_EXPORT):
//   HRESULT DllGetClassObject(const ModuleSite& site, const GUID& clsid, const GUID& iid, void** out);
//   HRESULT DllRegisterServer(const ModuleSite& site);
//   HRESULT DllUnregisterServer(const ModuleSite& site);
// The site carries the registry the module is registered in or created from, and the absolute path
// of the module's own file. Registration writes its classes into that registry (RegisterComClass below
// writes the platform's keys); DllGetClassObject receives the site on every call, so a component
// that reads its own settings uses the registry of whoever creates it, and one module loaded by two
// creators over two registries keeps them apart. The site's registry must outlive the objects made
// from it.
//
// Backends:
//   - OpenComponentCreator(registry): the Linux one. Class ids and module paths come from `registry`;
//     modules are loaded with the dynamic loader and kept loaded.
//   - platform::testing::ComClassTable: an in-process table of C++ factory functions under ProgIDs and
//     class ids, with injected failures (platform/testing/ComClassTable.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Registry.h"
#include "runtime/Ascii.h"
#include "runtime/Error.h"

#if defined(_WIN32)
#define COM_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define COM_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace platform {

// ---- GUIDs ---------------------------------------------------------------------------------------------

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case, braces required);
// nullopt for anything else.
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  std::uint8_t bytes[16] = {};
  std::size_t count = 0;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int digit = AsciiHexDigitValue(text[i]);
    if (digit < 0) return std::nullopt;
    bytes[count / 2] = static_cast<std::uint8_t>(bytes[count / 2] << 4 | digit);
    ++count;
  }
  GUID guid;
  guid.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

// A GUID written in the source; text that is not a GUID does not compile.
consteval GUID GuidLiteral(std::string_view text) {
  const auto guid = ParseGuid(text);
  if (!guid) throw "not a GUID in {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} form";
  return *guid;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the platform writes class ids.
std::string FormatGuid(const GUID& guid);

struct GuidHash {
  std::size_t operator()(const GUID& guid) const noexcept;
};

// ---- HRESULTs ------------------------------------------------------------------------------------------

constexpr bool Succeeded(HRESULT result) {
  return result >= 0;
}
constexpr bool Failed(HRESULT result) {
  return result < 0;
}

namespace hr {
constexpr HRESULT Code(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = Code(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = Code(0x80004002);
inline constexpr HRESULT E_POINTER = Code(0x80004003);
inline constexpr HRESULT E_ABORT = Code(0x80004004);
inline constexpr HRESULT E_FAIL = Code(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = Code(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = Code(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = Code(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = Code(0x80070057);
inline constexpr HRESULT REGDB_E_READREGDB = Code(0x80040150);   // the registry could not be read
inline constexpr HRESULT REGDB_E_WRITEREGDB = Code(0x80040151);  // the registry could not be written
inline constexpr HRESULT REGDB_E_CLASSNOTREG = Code(0x80040154);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = Code(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = Code(0x80040111);  // the module has no such class
inline constexpr HRESULT CO_E_CLASSSTRING = Code(0x800401F3);           // not a ProgID or class id
inline constexpr HRESULT CO_E_DLLNOTFOUND = Code(0x800401F8);           // the module file is missing
inline constexpr HRESULT CO_E_ERRORINDLL = Code(0x800401F9);  // the module cannot be loaded or lacks an entry
inline constexpr HRESULT SELFREG_E_CLASS = Code(0x80040201);  // a module could not register its classes
}  // namespace hr

// A short English text for an HRESULT ("Class not registered"); Win32 texts for 0x8007xxxx codes;
// "Error 0x8XXXXXXX" for codes it does not know.
std::string HResultText(HRESULT result);
std::string HResultText(long win32Code) = delete;  // a Win32 code: HResultFromWin32 first, or Win32ErrorText

// Class contexts; CLSCTX_ALL is what the system asks for.
enum ClassContext : std::uint32_t {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
  CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER,
};

// ---- objects and interfaces ----------------------------------------------------------------------------

// The base of every interface. Each interface names its id as `kIid`. Objects end through Release,
// never through delete.
class IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{00000000-0000-0000-C000-000000000046}");

  // S_OK and an added reference in *out, or E_NOINTERFACE and null; E_POINTER when out is null.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  // The new reference count (for diagnostics only).
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{00000001-0000-0000-C000-000000000046}");

  // A new object asked for `iid`; CLASS_E_NOAGGREGATION when `outer` is not null.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid,
                                                                        void** out) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Holds one reference. Made from a raw pointer it adds a reference (the pointer's owner keeps its
// own); Adopt takes over a reference the caller owns.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  explicit ComPtr(T* pointer) : pointer_(pointer) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.pointer_) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  static ComPtr Adopt(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(pointer_, nullptr); }
  // Releases the current object and returns where an out parameter stores a new reference.
  T** Put() {
    Reset();
    return &pointer_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // Asks for another interface: S_OK and `out` set, or the failure and `out` empty.
  template <typename U>
  [[nodiscard]] HRESULT As(ComPtr<U>& out) const {
    if (pointer_ == nullptr) {
      out.Reset();
      return hr::E_POINTER;
    }
    return pointer_->QueryInterface(U::kIid, out.PutVoid());
  }

 private:
  T* pointer_ = nullptr;
};

// Reference counting and QueryInterface for an object that implements `Interfaces...` (each derived
// from IUnknown with its `kIid`). The count is atomic, so references may be taken and dropped on any
// thread; the last Release deletes the object. Make objects with MakeComObject.
template <typename First, typename... Rest>
class ComObject : public First, public Rest... {
 public:
  [[nodiscard, gnu::warn_unused_result]] HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (out == nullptr) return hr::E_POINTER;
    *out = nullptr;
    if (iid == IUnknown::kIid || iid == First::kIid) {
      *out = static_cast<First*>(this);
    } else {
      (void)((iid == Rest::kIid ? (*out = static_cast<Rest*>(this), true) : false) || ...);
    }
    if (*out == nullptr) return hr::E_NOINTERFACE;
    AddRef();
    return hr::S_OK;
  }
  std::uint32_t AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
  std::uint32_t Release() override {
    const std::uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  std::atomic<std::uint32_t> references_{0};
};

template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// A class factory that makes each object with `create` (asked for the interface id).
class FunctionClassFactory final : public ComObject<IClassFactory> {
 public:
  using CreateFunction = std::function<HRESULT(const GUID& iid, void** out)>;

  explicit FunctionClassFactory(CreateFunction create) : create_(std::move(create)) {}

  [[nodiscard, gnu::warn_unused_result]] HRESULT CreateInstance(IUnknown* outer, const GUID& iid,
                                                                void** out) override;
  [[nodiscard, gnu::warn_unused_result]] HRESULT LockServer(bool) override { return hr::S_OK; }

 private:
  CreateFunction create_;
};

// A CreateFunction for objects of type T made with T's default constructor.
template <typename T>
FunctionClassFactory::CreateFunction CreateFunctionFor() {
  return [](const GUID& iid, void** out) { return MakeComObject<T>()->QueryInterface(iid, out); };
}

// What a module's DllGetClassObject hands out: a FunctionClassFactory that makes each object with
// `create`, asked for `iid`. E_POINTER for a null `out`; CLASS_E_CLASSNOTAVAILABLE when `create` is
// empty (the module has no such class); E_OUTOFMEMORY when the factory cannot be made. Never throws:
// nothing may leave a module's entry point.
[[nodiscard]] HRESULT ServeClassObject(FunctionClassFactory::CreateFunction create, const GUID& iid,
                                       void** out);

// ---- modules and registration --------------------------------------------------------------------------

// What a module is told about where it runs (see the module contract at the top).
struct ModuleSite {
  Registry& registry;
  std::string modulePath;  // absolute
};

using DllGetClassObjectFunction = HRESULT (*)(const ModuleSite& site, const GUID& clsid, const GUID& iid,
                                              void** out);
using DllRegisterServerFunction = HRESULT (*)(const ModuleSite& site);
using DllUnregisterServerFunction = HRESULT (*)(const ModuleSite& site);
inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";

// One class of a module as the registry records it.
struct ClassRegistration {
  GUID clsid;
  std::string progId;       // "CVOrderProcess.CCPayment"
  std::string description;  // a short text for people
  std::string threadingModel = "Both";
};

// Writes HKCR\<ProgID> (default = description), HKCR\<ProgID>\CLSID (default = "{clsid}"),
// HKCR\CLSID\{clsid} (default = description), its InprocServer32 subkey (default = modulePath,
// "ThreadingModel") and its ProgID subkey (default = ProgID). A registry failure is returned as
// HResultFromWin32 of its code.
[[nodiscard]] HRESULT RegisterComClass(Registry& registry, const ClassRegistration& entry,
                                       std::string_view modulePath);
// Removes HKCR\CLSID\{clsid}, and HKCR\<ProgID> when it still names this class id. What is not
// there is not an error.
[[nodiscard]] HRESULT UnregisterComClass(Registry& registry, const ClassRegistration& entry);

// Loads the module at `module` (kept loaded) and calls its DllRegisterServer / DllUnregisterServer
// with `registry` and the module's absolute path. CO_E_DLLNOTFOUND when the file is missing,
// CO_E_ERRORINDLL when it cannot be loaded or lacks the entry point, else the entry point's result.
// `message`, when given, receives a one-line account of a failure.
[[nodiscard]] HRESULT RegisterModule(Registry& registry, const std::filesystem::path& module,
                                     std::string* message = nullptr);
[[nodiscard]] HRESULT UnregisterModule(Registry& registry, const std::filesystem::path& module,
                                       std::string* message = nullptr);

// ---- creation ------------------------------------------------------------------------------------------

class ComponentCreator {
 public:
  virtual ~ComponentCreator() = default;

  // The class id for a ProgID, or for a text beginning with "{" read as a class id (CO_E_CLASSSTRING
  // when it is not one).
  [[nodiscard]] HRESULT ClassIdFromText(std::string_view progIdOrClsid, GUID& clsid);
  // The class id registered for a ProgID. CO_E_CLASSSTRING for a ProgID that is not registered or
  // names no valid class id, REGDB_E_READREGDB when the registry cannot be read.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT ClassIdFromProgId(std::string_view progId,
                                                                           GUID& clsid) = 0;
  // The class object (normally asked for IClassFactory) of a class. REGDB_E_CLASSNOTREG when the
  // class has no in-process server within `context`; CO_E_DLLNOTFOUND / CO_E_ERRORINDLL as for
  // RegisterModule; else the module's own result (CLASS_E_CLASSNOTAVAILABLE for a class it lacks).
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetClassObject(const GUID& clsid,
                                                                        std::uint32_t context,
                                                                        const GUID& iid, void** out) = 0;

  // A new object of the class, created for IUnknown and then asked for `iid` (E_NOINTERFACE when it
  // has no such interface). *out is null after any failure.
  [[nodiscard]] HRESULT CreateInstance(const GUID& clsid, std::uint32_t context, const GUID& iid, void** out);
  [[nodiscard]] HRESULT CreateInstance(std::string_view progIdOrClsid, std::uint32_t context, const GUID& iid,
                                       void** out);
  template <typename T>
  [[nodiscard]] HRESULT CreateInstance(std::string_view progIdOrClsid, std::uint32_t context,
                                       ComPtr<T>& out) {
    return CreateInstance(progIdOrClsid, context, T::kIid, out.PutVoid());
  }
};

// The Linux backend over `registry`, which must outlive the creator and every object it makes.
// Safe to use from several threads at once.
std::unique_ptr<ComponentCreator> OpenComponentCreator(Registry& registry);

}  // namespace platform

template <>
struct std::hash<platform::GUID> : platform::GuidHash {};
