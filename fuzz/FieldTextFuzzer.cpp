// A field's value from the text a driver returns, for any column kind and any bytes. The first byte
// chooses the kind, the rest is the text. Whatever is read must be the text's own value:
// - a String is the text itself, byte for byte;
// - a number is the number the variant's own parser reads from the text (an independent reading),
//   an Integer only for a small-integer column, a Long only where an Integer cannot hold it, a whole
//   number as a Double only where a Long cannot hold it and a Double still shows every digit;
// - a Boolean is a bit column's "1" or "0";
// - a Date written as text and read again is the same Date, on the day the text names.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/common/AdoFieldText.h"

namespace {

using platform::Variant;
using platform::VarType;
using platform::ado::ColumnKind;
using platform::ado::FieldFromText;

constexpr ColumnKind kKinds[] = {ColumnKind::SmallInteger, ColumnKind::Integer, ColumnKind::Exact,
                                 ColumnKind::Float,        ColumnKind::Bit,     ColumnKind::DateTime,
                                 ColumnKind::Binary,       ColumnKind::Text};

bool IsWholeText(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

void CheckNumber(ColumnKind kind, const std::string& text, const Variant& value) {
  const std::optional<double> parsed = platform::ParseNumber(text);
  if (!parsed || text.find_first_of(" \t") != std::string::npos)
    fuzzing::Fail("a number from a text that holds none", text);
  const double expected = *parsed;
  if (value.ToDouble() != expected)
    fuzzing::Fail("a number other than the text's", text + " -> " + value.ToString());
  const bool integerColumn = kind == ColumnKind::SmallInteger || kind == ColumnKind::Integer;
  const bool whole = IsWholeText(text);
  if (integerColumn && !whole) fuzzing::Fail("an integer column read a text that is not whole", text);
  if (value.Type() == VarType::Integer && kind != ColumnKind::SmallInteger)
    fuzzing::Fail("an Integer from a column that is not small", text);
  if (value.Type() == VarType::Long && kind == ColumnKind::SmallInteger && expected >= -32768 &&
      expected <= 32767)
    fuzzing::Fail("a Long that an Integer holds", text);
  if (value.Type() == VarType::Double && whole && (integerColumn || kind == ColumnKind::Exact)) {
    if (expected >= std::numeric_limits<std::int32_t>::min() &&
        expected <= std::numeric_limits<std::int32_t>::max())
      fuzzing::Fail("a Double that a Long holds", text);
    if (std::fabs(expected) >= 1e15) fuzzing::Fail("a whole Double that loses digits", text);
  }
}

void CheckDate(const std::string& text, const Variant& value) {
  // Written to the second: a fraction does not come back, and may round to the next day.
  if (text.find('.') != std::string::npos) return;
  const std::string written = value.ToString();
  // A time alone is on day 0; a date names its day.
  const std::string day = text.size() >= 10 && text[4] == '-' ? text.substr(0, 10) : "1899-12-30";
  if (written.compare(0, 10, day) != 0)
    fuzzing::Fail("a Date on another day than the text's", text + " -> " + written);
  const Variant reread = FieldFromText(ColumnKind::DateTime, std::string(written));
  if (!(reread == value))
    fuzzing::Fail("a Date that does not read back from its text", text + " -> " + written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::ByteReader reader(data, size);
  const ColumnKind kind = kKinds[reader.Below(std::size(kKinds))];
  const std::string text = reader.Rest();
  const Variant value = FieldFromText(kind, std::string(text));
  switch (value.Type()) {
    case VarType::String:
      fuzzing::ExpectSame("a field kept as text", value.ToString(), text);
      break;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
      if (kind != ColumnKind::SmallInteger && kind != ColumnKind::Integer && kind != ColumnKind::Exact &&
          kind != ColumnKind::Float)
        fuzzing::Fail("a number from a column that holds none", text);
      CheckNumber(kind, text, value);
      break;
    case VarType::Boolean:
      if (kind != ColumnKind::Bit || text != (value.ToBoolean() ? "1" : "0"))
        fuzzing::Fail("a Boolean other than a bit's 1 or 0", text);
      break;
    case VarType::Date:
      if (kind != ColumnKind::DateTime) fuzzing::Fail("a Date from a column that holds none", text);
      CheckDate(text, value);
      break;
    case VarType::Empty:
    case VarType::Null:
      fuzzing::Fail("a field read as Empty or Null", text);
  }
  return 0;
}
