// How a field's value is read from its text, as a data source's driver returns every column that is
// not binary: numbers, dates and times, bits. The data-access backends fetch values as text and give
// them their variant type here, from the kind of the column and the text itself, so a driver that
// converts loosely (0 for "ABC" read as a number) never decides a value. Written once, without the
// driver, so the rules are tested and fuzzed on their own.
#pragma once

#include <string>

#include "runtime/Variant.h"

namespace platform::ado {

// What a column's SQL type says about reading its text.
enum class ColumnKind {
  SmallInteger,  // 8 and 16-bit integers
  Integer,       // 32 and 64-bit integers
  Exact,         // decimal and numeric: exact to their digits
  Float,         // real, float, double
  Bit,
  DateTime,  // date, time, timestamp
  Binary,    // bytes, kept as they are
  Text,
};

// The field's value from `text` (taken) for a column of `kind`:
// - SmallInteger, Integer: [+-]digits as an Integer when the column is small and it fits, else a Long
//   when it fits, else a Double while every digit is exact (below 1e15), else the text.
// - Exact: a whole number as for Integer; a decimal [+-](d[.d]|.d)[(e|E)[+-]d] as a Double when it
//   has at most 15 significant digits, else the text, so no digit is lost.
// - Float: the decimal as a Double.
// - Bit: "1" True, "0" False.
// - DateTime: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fraction]]" (or 'T' between), "HH:MM[:SS[.fraction]]"
//   as a Date (a time alone on day 0); years from 100, days that exist, hours to 23.
// - Binary, Text: the text.
// A text that does not read as its kind, or whose number does not fit a Double, is kept as the
// text itself (a String): a value is never turned into 0 or a wrong number.
Variant FieldFromText(ColumnKind kind, std::string&& text);

}  // namespace platform::ado
