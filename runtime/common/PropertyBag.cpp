// The property bag in memory with its write defaults, and its JSON text read and written.
#include "runtime/PropertyBag.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void RaiseBadBag(const std::string& what) {
  Raise(err::BadPropertyBag, StandardDescription(err::BadPropertyBag) + ": " + what);
}

// Builds a bag from the parser's events: one object of scalar values, each name once.
class BagReader : public nlohmann::json_sax<Json> {
 public:
  MemoryPropertyBag bag;
  std::string problem;

  bool null() override { return Reject("null"); }
  bool boolean(bool value) override { return Store(value, "a Boolean"); }
  bool number_integer(number_integer_t value) override { return StoreIntegral(static_cast<double>(value)); }
  bool number_unsigned(number_unsigned_t value) override { return StoreIntegral(static_cast<double>(value)); }
  bool number_float(number_float_t value, const string_t&) override { return Store(value, "a number"); }
  bool string(string_t& value) override { return Store(Variant(std::move(value)), "a string"); }
  bool binary(binary_t&) override { return Reject("binary data"); }

  bool start_object(std::size_t) override {
    if (depth_ > 0) return Reject("an object");
    depth_ = 1;
    return true;
  }
  bool key(string_t& name) override {
    if (bag.Contains(name)) {
      problem = "duplicate property name '" + name + "'";
      return false;
    }
    name_ = std::move(name);
    return true;
  }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return Reject("an array"); }
  bool end_array() override { return true; }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
    // Drops the library's "[json.exception.parse_error.101] " tag and keeps line, column and reason.
    std::string message = error.what();
    if (const auto tag = message.find("] ");
        !message.empty() && message.front() == '[' && tag != std::string::npos) {
      message.erase(0, tag + 2);
    }
    problem = "not valid JSON: " + message;
    return false;
  }

 private:
  bool Store(const Variant& value, const char* kind) {
    if (depth_ == 0) return Reject(kind);
    bag.WriteProperty(name_, value);
    return true;
  }
  bool StoreIntegral(double value) {
    if (value >= -2147483648.0 && value <= 2147483647.0)
      return Store(static_cast<std::int32_t>(value), "a number");
    return Store(value, "a number");
  }
  bool Reject(const std::string& what) {
    if (depth_ == 0) {
      problem = "the text holds " + what + " where a JSON object of properties is expected";
    } else {
      problem = "property '" + name_ + "' holds " + what +
                "; a property value must be a string, a number, true or false";
    }
    return false;
  }

  int depth_ = 0;
  std::string name_;
};

Json ToJson(const std::string& name, const Variant& value) {
  switch (value.Type()) {
    case VarType::Integer:
    case VarType::Long:
      return value.ToLong();
    case VarType::Double: {
      const double number = value.ToDouble();
      if (!std::isfinite(number)) {
        Raise(err::InvalidPropertyValue,
              StandardDescription(err::InvalidPropertyValue) + ": property '" + name + "' holds " +
                  (std::isnan(number) ? "a NaN" : "an infinite number") + ", which a bag file cannot hold");
      }
      return number;
    }
    case VarType::Boolean:
      return value.ToBoolean();
    case VarType::Date:
    case VarType::String:
      return value.ToString();
    case VarType::Null:
      // A bag file has no form for Null that load would accept; refuse it rather than write a file
      // that no longer loads.
      Raise(err::InvalidPropertyValue, StandardDescription(err::InvalidPropertyValue) + ": property '" +
                                           name + "' holds Null, which a bag file cannot hold");
    case VarType::Empty:
      break;
  }
  return nullptr;
}

}  // namespace

Variant MemoryPropertyBag::ReadProperty(std::string_view name, const Variant& readDefault) {
  const auto found = index_.find(std::string(name));
  return found == index_.end() ? readDefault : entries_[found->second].second;
}

// Empty is never stored, as in bag files: a name written with Empty reads back as the read default.
void MemoryPropertyBag::WriteProperty(std::string_view name, const Variant& value,
                                      const std::optional<Variant>& writeDefault) {
  std::string key(name);
  const auto found = index_.find(key);
  if (value.IsEmpty() || (writeDefault && LooselyEqual(value, *writeDefault))) {
    if (found == index_.end()) return;
    const std::size_t position = found->second;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
    index_.erase(found);
    for (auto& [stored, at] : index_) {
      if (at > position) --at;
    }
    return;
  }
  if (found != index_.end()) {
    entries_[found->second].second = value;
    return;
  }
  entries_.emplace_back(key, value);
  try {
    index_.emplace(std::move(key), entries_.size() - 1);
  } catch (...) {
    entries_.pop_back();
    throw;
  }
}

bool MemoryPropertyBag::Contains(std::string_view name) const {
  return index_.count(std::string(name)) != 0;
}

// The text is what the JSON library writes for the object indented by 2, built entry by entry: the
// library's ordered object looks names up one by one, which made writing a bag of n entries take
// time in proportion to n squared. A bag's names are distinct, so nothing needs looking up.
std::string FormatPropertyBagJson(const MemoryPropertyBag& bag) {
  // Values first, so that a value no bag file can hold is reported before a text that is not UTF-8.
  std::vector<std::pair<const std::string*, Json>> entries;
  entries.reserve(bag.Entries().size());
  for (const auto& [name, value] : bag.Entries()) {
    if (!value.IsEmpty()) entries.emplace_back(&name, ToJson(name, value));
  }
  if (entries.empty()) return "{}\n";
  std::string text = "{";
  for (const auto& [name, value] : entries) {
    text += text.size() == 1 ? "\n  " : ",\n  ";
    try {
      text += Json(*name).dump();
      text += ": ";
      text += value.dump();
    } catch (const Json::type_error&) {
      Raise(err::InvalidPropertyValue, StandardDescription(err::InvalidPropertyValue) + ": property '" +
                                           *name + "' has a name or text that is not valid UTF-8");
    }
  }
  text += "\n}\n";
  return text;
}

MemoryPropertyBag ParsePropertyBagJson(std::string_view text) {
  BagReader reader;
  if (!Json::sax_parse(text.begin(), text.end(), &reader)) {
    RaiseBadBag(reader.problem.empty() ? "not valid JSON" : reader.problem);
  }
  return std::move(reader.bag);
}

}  // namespace platform
