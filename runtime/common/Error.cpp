// Run-time errors: the platform's standard descriptions of their numbers, and raising them.
#include "runtime/Error.h"

#include <utility>

namespace platform {

Error::Error(std::int32_t number, std::string description)
    : std::runtime_error(description + " (" + std::to_string(number) + ")"),
      number_(number),
      description_(std::move(description)) {}

std::string StandardDescription(std::int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::Overflow:
      return "Overflow";
    case err::OutOfMemory:
      return "Out of memory";
    case err::SubscriptOutOfRange:
      return "Subscript out of range";
    case err::TypeMismatch:
      return "Type mismatch";
    case err::InternalError:
      return "Internal error";
    case err::FileNotFound:
      return "File not found";
    case err::InputPastEndOfFile:
      return "Input past end of file";
    case err::PermissionDenied:
      return "Permission denied";
    case err::PathFileAccessError:
      return "Path/File access error";
    case err::PathNotFound:
      return "Path not found";
    case err::InvalidPropertyValue:
      return "Invalid property value";
    case err::InvalidPropertyArrayIndex:
      return "Invalid property array index";
    case err::PropertyIsReadOnly:
      return "Property is read-only";
    case err::NoSuchPropertyOrMethod:
      return "Object doesn't support this property or method";
    case err::WrongArguments:
      return "Wrong number of arguments or invalid property assignment";
    case err::KeyAlreadyExists:
      return "This key is already associated with an element of this collection";
    case err::InvalidRowValue:
      return "Invalid Row value";
    case err::InvalidColValue:
      return "Invalid Col value";
    case err::CannotRemoveLastNonFixedRow:
      return "Cannot remove last non-fixed row";
    case err::ElementNotFound:
      return "Element not found";
    case err::BadPropertyBag:
      return "Property bag is not valid";
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
