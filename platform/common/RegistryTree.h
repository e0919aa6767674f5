// The registry's keys and values in memory, and their text form. Shared by the memory and the file
// backends, so both keep exactly the same rules; not part of the public platform interface.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace platform::detail {

// One registry tree with the operations of `Registry`. Key and value names compare without regard to
// ASCII letter case (EqualsIgnoreAsciiCase); other bytes compare exactly. Not synchronised: callers
// serialise.
class RegistryTree final : public Registry {
 public:
  struct Key {
    std::string name;
    std::vector<std::unique_ptr<Key>> subkeys;                  // in creation order
    std::vector<std::pair<std::string, RegistryValue>> values;  // in creation order

    Key* FindSubkey(std::string_view subkeyName) const;
    RegistryValue* FindValue(std::string_view valueName);
  };

  RegistryTree();

  [[nodiscard, gnu::warn_unused_result]] long OpenKey(RootKey root, std::string_view path) override;
  [[nodiscard, gnu::warn_unused_result]] long CreateKey(RootKey root, std::string_view path) override;
  [[nodiscard, gnu::warn_unused_result]] long QueryValue(RootKey root, std::string_view path,
                                                         std::string_view name, RegistryValue& out) override;
  [[nodiscard, gnu::warn_unused_result]] long SetValue(RootKey root, std::string_view path,
                                                       std::string_view name,
                                                       const RegistryValue& value) override;
  [[nodiscard, gnu::warn_unused_result]] long DeleteValue(RootKey root, std::string_view path,
                                                          std::string_view name) override;
  [[nodiscard, gnu::warn_unused_result]] long DeleteKey(RootKey root, std::string_view path) override;
  [[nodiscard, gnu::warn_unused_result]] long DeleteTree(RootKey root, std::string_view path) override;
  [[nodiscard, gnu::warn_unused_result]] long EnumKeys(RootKey root, std::string_view path,
                                                       std::vector<std::string>& names) override;
  [[nodiscard, gnu::warn_unused_result]] long EnumValues(RootKey root, std::string_view path,
                                                         std::vector<std::string>& names) override;

  // The key at `path` below `root`, or null. Empty components (doubled or edge backslashes) are skipped.
  Key* Find(RootKey root, std::string_view path);
  Key& Create(RootKey root, std::string_view path);
  Key& Root(RootKey root);
  const Key& Root(RootKey root) const;

 private:
  std::vector<std::unique_ptr<Key>> roots_;  // indexed by RootKey
};

// The tree in the registry export format: the header line, then one "[ROOT\path]" section per key
// that has values or no subkeys (every key with its full path, parents before children), CRLF line
// ends. Parsing accepts CRLF or LF, blank lines, ";" comment lines, "\" line continuations in hex
// data, and "[-key]" sections that delete a key. Returns 0, or ERROR_BADDB (1015) with a message
// naming the line in `error`.
std::string FormatRegistryText(const RegistryTree& tree);
[[nodiscard]] long ParseRegistryText(std::string_view text, RegistryTree& tree, std::string* error);

}  // namespace platform::detail
