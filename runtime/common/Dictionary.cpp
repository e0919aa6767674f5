// The insertion-ordered dictionary, with its item lookup adding an absent key as the platform's does.
#include "runtime/Dictionary.h"

#include <iterator>
#include <utility>

#include "runtime/Error.h"

namespace platform {

// The index holds iterators into `entries_`, so a copy takes the entries and builds its own index;
// moves keep the list nodes and therefore the iterators.
Dictionary::Dictionary(const Dictionary& other) : entries_(other.entries_) {
  Reindex();
}

Dictionary& Dictionary::operator=(const Dictionary& other) {
  if (this != &other) {
    Dictionary copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void Dictionary::Add(std::string key, Variant item) {
  if (index_.find(key) != index_.end()) Raise(err::KeyAlreadyExists);
  entries_.push_back(Entry{std::move(key), std::move(item)});
  try {
    index_.emplace(entries_.back().key, std::prev(entries_.end()));
  } catch (...) {
    entries_.pop_back();
    throw;
  }
}

bool Dictionary::Exists(std::string_view key) const {
  return index_.find(key) != index_.end();
}

void Dictionary::Remove(std::string_view key) {
  const auto found = index_.find(key);
  if (found == index_.end()) Raise(err::ElementNotFound);
  entries_.erase(found->second);
  index_.erase(found);
}

void Dictionary::RemoveAll() {
  index_.clear();
  entries_.clear();
}

Variant& Dictionary::Item(std::string_view key) {
  const auto found = index_.find(key);
  if (found != index_.end()) return found->second->item;
  Add(std::string(key), Variant());
  return entries_.back().item;
}

const Variant* Dictionary::Find(std::string_view key) const {
  const auto found = index_.find(key);
  return found == index_.end() ? nullptr : &found->second->item;
}

std::vector<std::string> Dictionary::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const Entry& entry : entries_) keys.push_back(entry.key);
  return keys;
}

void Dictionary::Reindex() {
  index_.clear();
  index_.reserve(entries_.size());
  for (auto it = entries_.begin(); it != entries_.end(); ++it) index_.emplace(it->key, it);
}

}  // namespace platform
