// What every data-access backend shares: the ADO error numbers' texts and the data source's diagnostics.
#include "platform/Ado.h"

#include <utility>

namespace platform::ado {

namespace {

std::string Describe(const std::vector<Diagnostic>& diagnostics) {
  std::string text;
  for (const Diagnostic& d : diagnostics) {
    if (!text.empty()) text += "; ";
    text += d.message + " (SQLSTATE " + d.sqlState + ", native error " + std::to_string(d.nativeError) + ")";
  }
  return text;
}

// A failure always carries one record, so its text is never empty.
std::vector<Diagnostic> AtLeastOne(std::vector<Diagnostic> diagnostics) {
  if (diagnostics.empty())
    diagnostics.push_back({"HY000", 0, "The data source reported a failure without details"});
  return diagnostics;
}

}  // namespace

std::string Description(HRESULT number) {
  switch (number) {
    case hr::InvalidArgument:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             "another.";
    case hr::NoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
             "requires a current record.";
    case hr::ItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case hr::ObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case hr::ObjectOpen:
      return "Operation is not allowed when the object is open.";
    case hr::ConnectionInvalid:
      return "The connection cannot be used to perform this operation. It is either closed or invalid in "
             "this context.";
    case hr::CannotScrollBackwards:
      return "Rowset does not support fetching backward.";
    case hr::NoTransaction:
      return "No transaction is active.";
    case hr::TransactionExists:
      return "Only one transaction can be active on this session.";
    default:
      return {};
  }
}

DataAccessError::DataAccessError(std::vector<Diagnostic> diagnostics)
    : Error(hr::Fail, Describe(AtLeastOne(diagnostics))), diagnostics_(AtLeastOne(std::move(diagnostics))) {}

}  // namespace platform::ado
