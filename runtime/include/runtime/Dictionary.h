// The scripting runtime's dictionary: unique text keys, one variant value each, in insertion order.
//
// Keeps: Add (error 457 for a key already present), Exists, Remove (error 32811 for an absent key),
// RemoveAll, Count, keys and items in insertion order, and the platform's quirk that reading the
// item of an absent key adds that key with an Empty value. Keys compare byte for byte (binary
// comparison mode). Leaves out: text comparison mode and changing a key in place.
//
// Every operation is O(1) apart from enumeration.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/Variant.h"

namespace platform {

class Dictionary {
 public:
  struct Entry {
    std::string key;
    Variant item;
  };
  using const_iterator = std::list<Entry>::const_iterator;

  Dictionary() = default;
  Dictionary(const Dictionary& other);
  Dictionary& operator=(const Dictionary& other);
  Dictionary(Dictionary&&) noexcept = default;
  Dictionary& operator=(Dictionary&&) noexcept = default;

  void Add(std::string key, Variant item);
  bool Exists(std::string_view key) const;
  void Remove(std::string_view key);
  void RemoveAll();
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // The item of `key`; an absent key is added with an Empty item first.
  Variant& Item(std::string_view key);
  // The item of `key`, or nullptr; never adds.
  const Variant* Find(std::string_view key) const;

  std::vector<std::string> Keys() const;
  const_iterator begin() const noexcept { return entries_.begin(); }
  const_iterator end() const noexcept { return entries_.end(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  void Reindex();

  std::list<Entry> entries_;
  std::unordered_map<std::string, std::list<Entry>::iterator, Hash, std::equal_to<>> index_;
};

// Maps are objects: a property that hands one out hands out the same object.
using DictionaryPtr = std::shared_ptr<Dictionary>;

}  // namespace platform
