// The registry's rules, written once for every backend: root keys, value encodings, the tree and
// its operations, and the memory backend.
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "RegistryTree.h"
#include "runtime/Ascii.h"

namespace platform {

namespace {

struct RootKeyNames {
  RootKey root;
  std::string_view longName;
  std::string_view shortName;
};

constexpr RootKeyNames kRootKeys[] = {
    {RootKey::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RootKey::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RootKey::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RootKey::Users, "HKEY_USERS", "HKU"},
    {RootKey::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
};

// Splits a key path at backslashes, skipping empty components.
std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::string_view RootKeyName(RootKey root) { return kRootKeys[static_cast<int>(root)].longName; }

std::optional<RootKey> ParseRootKey(std::string_view name) {
  for (const auto& entry : kRootKeys) {
    if (EqualsIgnoreAsciiCase(name, entry.longName) || EqualsIgnoreAsciiCase(name, entry.shortName))
      return entry.root;
  }
  return std::nullopt;
}

RegistryValue RegistryValue::String(std::string_view text) {
  RegistryValue value;
  value.type = kRegSz;
  value.data.assign(text.begin(), text.end());
  value.data.push_back(0);
  return value;
}

RegistryValue RegistryValue::DWord(std::uint32_t number) {
  RegistryValue value;
  value.type = kRegDword;
  for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<std::uint8_t>(number >> shift));
  return value;
}

RegistryValue RegistryValue::Binary(std::vector<std::uint8_t> bytes) {
  RegistryValue value;
  value.type = kRegBinary;
  value.data = std::move(bytes);
  return value;
}

std::string RegistryValue::AsString() const {
  auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

std::string RegistryTypeName(std::uint32_t type) {
  static constexpr const char* kNames[] = {"REG_NONE",
                                           "REG_SZ",
                                           "REG_EXPAND_SZ",
                                           "REG_BINARY",
                                           "REG_DWORD",
                                           "REG_DWORD_BIG_ENDIAN",
                                           "REG_LINK",
                                           "REG_MULTI_SZ",
                                           "REG_RESOURCE_LIST",
                                           "REG_FULL_RESOURCE_DESCRIPTOR",
                                           "REG_RESOURCE_REQUIREMENTS_LIST",
                                           "REG_QWORD"};
  if (type < std::size(kNames)) return kNames[type];
  return "type " + std::to_string(type);
}

std::optional<std::uint32_t> RegistryValue::AsDWord() const {
  if (data.size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
         static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

long QueryValueLimited(Registry& registry, RootKey root, std::string_view path, std::string_view name,
                       std::size_t bufferSize, RegistryValue& out) {
  RegistryValue value;
  long result = registry.QueryValue(root, path, name, value);
  if (result != win32::Success) return result;
  if (value.data.size() > bufferSize) return win32::MoreData;
  out = std::move(value);
  return win32::Success;
}

std::filesystem::path DefaultRegistryPath() {
  const char* configured = std::getenv("TESSERY_REGISTRY");
  if (configured != nullptr && *configured != '\0') return configured;
  return "/var/lib/tessery/registry.reg";
}

namespace detail {

RegistryTree::Key* RegistryTree::Key::FindSubkey(std::string_view subkeyName) const {
  for (const auto& subkey : subkeys) {
    if (EqualsIgnoreAsciiCase(subkey->name, subkeyName)) return subkey.get();
  }
  return nullptr;
}

RegistryValue* RegistryTree::Key::FindValue(std::string_view valueName) {
  for (auto& [valueKey, value] : values) {
    if (EqualsIgnoreAsciiCase(valueKey, valueName)) return &value;
  }
  return nullptr;
}

RegistryTree::RegistryTree() {
  for (const auto& entry : kRootKeys) {
    auto key = std::make_unique<Key>();
    key->name = std::string(entry.longName);
    roots_.push_back(std::move(key));
  }
}

RegistryTree::Key& RegistryTree::Root(RootKey root) { return *roots_[static_cast<int>(root)]; }
const RegistryTree::Key& RegistryTree::Root(RootKey root) const { return *roots_[static_cast<int>(root)]; }

RegistryTree::Key* RegistryTree::Find(RootKey root, std::string_view path) {
  Key* key = &Root(root);
  for (std::string_view part : SplitPath(path)) {
    key = key->FindSubkey(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegistryTree::Key& RegistryTree::Create(RootKey root, std::string_view path) {
  Key* key = &Root(root);
  for (std::string_view part : SplitPath(path)) {
    Key* next = key->FindSubkey(part);
    if (next == nullptr) {
      auto created = std::make_unique<Key>();
      created->name = std::string(part);
      next = created.get();
      key->subkeys.push_back(std::move(created));
    }
    key = next;
  }
  return *key;
}

long RegistryTree::OpenKey(RootKey root, std::string_view path) {
  return Find(root, path) != nullptr ? win32::Success : win32::FileNotFound;
}

long RegistryTree::CreateKey(RootKey root, std::string_view path) {
  Create(root, path);
  return win32::Success;
}

long RegistryTree::QueryValue(RootKey root, std::string_view path, std::string_view name, RegistryValue& out) {
  Key* key = Find(root, path);
  RegistryValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return win32::FileNotFound;
  out = *value;
  return win32::Success;
}

long RegistryTree::SetValue(RootKey root, std::string_view path, std::string_view name,
                            const RegistryValue& value) {
  Key* key = Find(root, path);
  if (key == nullptr) return win32::FileNotFound;
  if (RegistryValue* existing = key->FindValue(name)) {
    *existing = value;
  } else {
    key->values.emplace_back(std::string(name), value);
  }
  return win32::Success;
}

long RegistryTree::DeleteValue(RootKey root, std::string_view path, std::string_view name) {
  Key* key = Find(root, path);
  if (key == nullptr) return win32::FileNotFound;
  auto found = std::find_if(key->values.begin(), key->values.end(),
                            [&](const auto& entry) { return EqualsIgnoreAsciiCase(entry.first, name); });
  if (found == key->values.end()) return win32::FileNotFound;
  key->values.erase(found);
  return win32::Success;
}

namespace {

// Removes the key at `path` from its parent; `allowSubkeys` decides whether a key with subkeys goes.
long RemoveKey(RegistryTree& tree, RootKey root, std::string_view path, bool allowSubkeys) {
  auto parts = SplitPath(path);
  if (parts.empty()) return win32::AccessDenied;  // a root key is never deleted
  RegistryTree::Key* parent = &tree.Root(root);
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->FindSubkey(parts[i]);
    if (parent == nullptr) return win32::FileNotFound;
  }
  auto found = std::find_if(parent->subkeys.begin(), parent->subkeys.end(), [&](const auto& subkey) {
    return EqualsIgnoreAsciiCase(subkey->name, parts.back());
  });
  if (found == parent->subkeys.end()) return win32::FileNotFound;
  if (!allowSubkeys && !(*found)->subkeys.empty()) return win32::AccessDenied;
  parent->subkeys.erase(found);
  return win32::Success;
}

}  // namespace

long RegistryTree::DeleteKey(RootKey root, std::string_view path) { return RemoveKey(*this, root, path, false); }

long RegistryTree::DeleteTree(RootKey root, std::string_view path) { return RemoveKey(*this, root, path, true); }

long RegistryTree::EnumKeys(RootKey root, std::string_view path, std::vector<std::string>& names) {
  Key* key = Find(root, path);
  if (key == nullptr) return win32::FileNotFound;
  names.clear();
  for (const auto& subkey : key->subkeys) names.push_back(subkey->name);
  return win32::Success;
}

long RegistryTree::EnumValues(RootKey root, std::string_view path, std::vector<std::string>& names) {
  Key* key = Find(root, path);
  if (key == nullptr) return win32::FileNotFound;
  names.clear();
  for (const auto& entry : key->values) names.push_back(entry.first);
  return win32::Success;
}

namespace {

// The memory backend: one tree behind a mutex, so threads of one process may share it.
class MemoryRegistry final : public Registry {
 public:
  long OpenKey(RootKey root, std::string_view path) override { return Locked(&RegistryTree::OpenKey, root, path); }
  long CreateKey(RootKey root, std::string_view path) override {
    return Locked(&RegistryTree::CreateKey, root, path);
  }
  long QueryValue(RootKey root, std::string_view path, std::string_view name, RegistryValue& out) override {
    std::lock_guard lock(mutex_);
    return tree_.QueryValue(root, path, name, out);
  }
  long SetValue(RootKey root, std::string_view path, std::string_view name, const RegistryValue& value) override {
    std::lock_guard lock(mutex_);
    return tree_.SetValue(root, path, name, value);
  }
  long DeleteValue(RootKey root, std::string_view path, std::string_view name) override {
    std::lock_guard lock(mutex_);
    return tree_.DeleteValue(root, path, name);
  }
  long DeleteKey(RootKey root, std::string_view path) override {
    return Locked(&RegistryTree::DeleteKey, root, path);
  }
  long DeleteTree(RootKey root, std::string_view path) override {
    return Locked(&RegistryTree::DeleteTree, root, path);
  }
  long EnumKeys(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    std::lock_guard lock(mutex_);
    return tree_.EnumKeys(root, path, names);
  }
  long EnumValues(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    std::lock_guard lock(mutex_);
    return tree_.EnumValues(root, path, names);
  }

 private:
  long Locked(long (RegistryTree::*operation)(RootKey, std::string_view), RootKey root, std::string_view path) {
    std::lock_guard lock(mutex_);
    return (tree_.*operation)(root, path);
  }

  std::mutex mutex_;
  RegistryTree tree_;
};

}  // namespace

}  // namespace detail

std::unique_ptr<Registry> OpenMemoryRegistry() { return std::make_unique<detail::MemoryRegistry>(); }

}  // namespace platform
