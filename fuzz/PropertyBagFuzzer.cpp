// A page's stored configuration, read from any bytes: the JSON bag form, then a new control's load.
//
// Checked:
//   - a text that parses as a bag writes out as JSON that parses back to the same names and values;
//   - whatever a new control loads, it saves again (no error), and the saved bag writes out as JSON;
//   - that JSON loads into another new control, which saves the same bag: load and save keep a page
//     as it is once it has been saved.
//
// Bounded cost: the format lets a few bytes ask for millions of rows ("DRAVCriteriaCount": 99999999
// is a well-formed bag whose load runs for minutes). The bag the control reads from here stops a load
// after kReadBudget reads, and a count (a name ending in "Count" or starting with "NrOf") between
// kLargestCount and the top of the 32-bit range fails like an unreadable property. Counts at the very
// edge of the 32-bit range still reach the control, since those fail fast or overflow.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "StartedControl.h"
#include "runtime/PropertyBag.h"

namespace {

using platform::MemoryPropertyBag;
using platform::Variant;

constexpr int kReadBudget = 20000;
constexpr double kLargestCount = 1000;

bool IsCountName(std::string_view name) {
  return name.starts_with("NrOf") || name.ends_with("Count");
}

// Reads from a bag within the budget above; writes are not expected.
class BoundedBag : public platform::PropertyBag {
 public:
  explicit BoundedBag(MemoryPropertyBag& inner) : inner_(inner) {}

  Variant ReadProperty(std::string_view name, const Variant& readDefault) override {
    if (++reads_ > kReadBudget) platform::Raise(platform::err::OutOfMemory, "fuzz read budget spent");
    Variant value = inner_.ReadProperty(name, readDefault);
    if (IsCountName(name) && !value.IsEmpty()) {
      double number = 0;
      try {
        number = value.ToDouble();
      } catch (const platform::Error&) {
        return value;  // not a number: the control's own conversion fails on it
      }
      if (number > kLargestCount && number < std::numeric_limits<std::int32_t>::max() - 2.0)
        platform::Raise(platform::err::OutOfMemory, "fuzz count limit");
    }
    return value;
  }
  void WriteProperty(std::string_view, const Variant&, const std::optional<Variant>&) override {
    fuzzing::Fail("the control wrote to the bag it loads from");
  }

 private:
  MemoryPropertyBag& inner_;
  int reads_ = 0;
};

using Control = fuzzing::StartedControl;

std::string BagText(const MemoryPropertyBag& bag) {
  std::string text;
  for (const auto& [name, value] : bag.Entries()) text += name + " = " + value.ToString() + "\n";
  return text;
}

// Saves `control` and writes the bag as JSON; every step must succeed.
std::string Save(Control& control, std::string_view what) {
  MemoryPropertyBag saved;
  if (!control.control->UserControl_WriteProperties(saved))
    fuzzing::Fail(std::string(what) + ": a loaded configuration does not save", control.Messages());
  try {
    return platform::FormatPropertyBagJson(saved);
  } catch (const platform::Error& error) {
    fuzzing::Fail(std::string(what) + ": a saved bag cannot be written as JSON", error.Description());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MemoryPropertyBag bag;
  try {
    bag = platform::ParsePropertyBagJson(text);
  } catch (const platform::Error& error) {
    if (error.Number() != platform::err::BadPropertyBag)
      fuzzing::Fail("a bag text was refused with another error");
    return 0;
  }

  // The JSON form keeps every name and value.
  try {
    const MemoryPropertyBag reread = platform::ParsePropertyBagJson(platform::FormatPropertyBagJson(bag));
    if (reread.Entries() != bag.Entries())
      fuzzing::Fail("a bag written as JSON reads back differently", BagText(bag) + "--\n" + BagText(reread));
  } catch (const platform::Error& error) {
    fuzzing::Fail("a parsed bag does not write and read back as JSON", error.Description());
  }

  Control first;
  BoundedBag bounded(bag);
  if (!first.control->UserControl_ReadProperties(bounded)) return 0;  // refused with its message
  const std::string json = Save(first, "first save");

  MemoryPropertyBag stored;
  try {
    stored = platform::ParsePropertyBagJson(json);
  } catch (const platform::Error& error) {
    fuzzing::Fail("a saved bag's JSON does not parse", error.Description() + "\n" + json);
  }
  Control second;
  if (!second.control->UserControl_ReadProperties(stored))
    fuzzing::Fail("a saved bag does not load", second.Messages() + "--\n" + json);
  fuzzing::ExpectSame("a saved page saved again after loading", Save(second, "second save"), json);
  return 0;
}
