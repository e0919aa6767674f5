// Win32 error texts, and the details a failing call leaves for its thread's ErrorDescription.
#include "platform/Win32Error.h"

#include <utility>

namespace platform {

std::string Win32ErrorText(long code) {
  switch (code) {
    case win32::Success:
      return "The operation completed successfully.";
    case win32::FileNotFound:
      return "The system cannot find the file specified.";
    case win32::PathNotFound:
      return "The system cannot find the path specified.";
    case win32::AccessDenied:
      return "Access is denied.";
    case win32::InvalidHandle:
      return "The handle is invalid.";
    case win32::NotEnoughMemory:
      return "Not enough memory resources are available to process this command.";
    case win32::InvalidData:
      return "The data is invalid.";
    case win32::LockViolation:
      return "The process cannot access the file because another process has locked a portion of the file.";
    case win32::NotSupported:
      return "The request is not supported.";
    case win32::InvalidParameter:
      return "The parameter is incorrect.";
    case win32::MoreData:
      return "More data is available.";
    case win32::NoMoreItems:
      return "No more data is available.";
    case win32::OperationAborted:
      return "The I/O operation has been aborted because of either a thread exit or an application request.";
    case win32::RegistryCorrupt:
      return "The configuration registry database is corrupt.";
    case win32::RegistryIoFailed:
      return "An I/O operation initiated by the registry failed unrecoverably.";
    default:
      return "Error " + std::to_string(code);
  }
}

namespace {

struct ErrorDetails {
  long code = 0;
  std::string text;
};
thread_local ErrorDetails lastDetails;

}  // namespace

void SetErrorDetails(long code, std::string details) {
  lastDetails.code = code;
  lastDetails.text = std::move(details);
}

std::string ErrorDescription(long code) {
  if (code == 0 || lastDetails.code != code || lastDetails.text.empty()) return Win32ErrorText(code);
  lastDetails.code = 0;
  return std::move(lastDetails.text);
}

}  // namespace platform
