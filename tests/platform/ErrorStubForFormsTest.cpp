// Temporary definitions of the run-time error functions so that the form tests link on their own.
#include "platform/Error.h"

namespace platform {

Error::Error(std::int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

std::string StandardDescription(std::int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::InvalidPropertyValue:
      return "Invalid property value";
    case err::InvalidPropertyArrayIndex:
      return "Invalid property array index";
    case err::InvalidRowValue:
      return "Invalid Row value";
    case err::InvalidColValue:
      return "Invalid Col value";
    case err::CannotRemoveLastNonFixedRow:
      return "Cannot remove last non-fixed row";
    default:
      return "Application-defined or object-defined error";
  }
}

void Raise(std::int32_t number) {
  throw Error(number, StandardDescription(number));
}
void Raise(std::int32_t number, std::string description) {
  throw Error(number, std::move(description));
}

}  // namespace platform
