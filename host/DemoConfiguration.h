// A sample HeaderDTC configuration in which every item differs from what a new control holds:
// what the demo saves and reloads, and what tests round-trip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dtc/Types.h"
#include "runtime/Forms.h"
#include "runtime/Variant.h"

namespace host {

// What the sample needs of a control: its editor form (controls by name), SetKeyValue and the public
// properties. Hosts reach a control through its component interface, tests hold the control itself.
class SampleTarget {
 public:
  virtual ~SampleTarget() = default;
  virtual platform::Form& EditorForm() = 0;
  virtual void SetKeyValue(std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation,
                           std::string& iValue, dtc::SpecificationType& iType) = 0;
  virtual void LetProperty(std::string_view name, std::optional<std::int32_t> index,
                           const platform::Variant& value) = 0;
};

// Fills a freshly started control the way a designer's session would leave it: providers chosen,
// return fields (kept in step in the translation lists and link combos), criteria of every value kind
// entered through SetKeyValue, translations marked, a linked provider with links. Expects a control
// whose provider combos offer KRMOrders first and KRMCustomers second.
void BuildSampleConfiguration(SampleTarget& control);

}  // namespace host
