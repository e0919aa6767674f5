// The control container's property bag: named values a control stores with the page that holds it.
//
// Keeps: ReadProperty with a read default and WriteProperty with a write default; a value that
// equals its write default (LooselyEqual) is not stored, and a name that is not stored reads as the
// read default. Names compare byte for byte, so two map keys that differ only in letter case stay
// two names. Leaves out: binary blobs and nested objects.
//
// Backends:
//   - MemoryPropertyBag: names in the order they were first written; what hosts and tests hold.
//   - the JSON form: one JSON object, names in write order, each value a plain JSON string, number
//     or Boolean, so people and tools can read and write bags. Integral numbers read back as Long,
//     others as Double; Integer and Long are written as numbers, Boolean as true/false, text and Date
//     as strings. Bag files in that form are read and written by platform/PropertyBagFile.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Variant.h"

namespace platform {

class PropertyBag {
 public:
  virtual ~PropertyBag() = default;

  // The value stored under `name`, or `readDefault` when none is.
  virtual Variant ReadProperty(std::string_view name, const Variant& readDefault = {}) = 0;
  // Stores `value` under `name`; when a write default is given and the value equals it, nothing is
  // stored (and an earlier value under that name is removed).
  virtual void WriteProperty(std::string_view name, const Variant& value,
                             const std::optional<Variant>& writeDefault = std::nullopt) = 0;
};

class MemoryPropertyBag : public PropertyBag {
 public:
  Variant ReadProperty(std::string_view name, const Variant& readDefault = {}) override;
  void WriteProperty(std::string_view name, const Variant& value,
                     const std::optional<Variant>& writeDefault = std::nullopt) override;

  bool Contains(std::string_view name) const;
  // Stored names and values in the order they were first written.
  const std::vector<std::pair<std::string, Variant>>& Entries() const noexcept { return entries_; }

 private:
  std::vector<std::pair<std::string, Variant>> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

// A bag whose every operation fails with one error: what a host hands to a control's load when the
// stored bag could not be read, so that the control reports the failure its own way.
class FailingPropertyBag : public PropertyBag {
 public:
  // The error is kept to be thrown by every call, not thrown here.
  // NOLINTNEXTLINE(bugprone-throw-keyword-missing)
  explicit FailingPropertyBag(Error error) : error_(std::move(error)) {}
  Variant ReadProperty(std::string_view, const Variant&) override { throw error_; }
  void WriteProperty(std::string_view, const Variant&, const std::optional<Variant>&) override {
    throw error_;
  }

 private:
  Error error_;
};

// JSON text of a bag, and back. Parsing rejects (Error err::BadPropertyBag, with what is wrong and
// where) text that is not one JSON object, a name that occurs twice, and values that are arrays,
// objects or null.
std::string FormatPropertyBagJson(const MemoryPropertyBag& bag);
MemoryPropertyBag ParsePropertyBagJson(std::string_view text);

}  // namespace platform
