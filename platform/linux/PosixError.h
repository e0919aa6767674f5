// errno values as the Win32 codes the platform reports, for the Linux backends of this folder.
#pragma once

#include <cerrno>

#include "platform/Win32Error.h"

namespace platform::linux_backend {

inline long Win32FromErrno(int error) {
  switch (error) {
    case 0:
      return win32::Success;
    case ENOENT:
      return win32::FileNotFound;
    case ENOTDIR:
      return win32::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return win32::AccessDenied;
    case ENOMEM:
    case EAGAIN:
      return win32::NotEnoughMemory;
    case EINVAL:
    case ENAMETOOLONG:
      return win32::InvalidParameter;
    case ENOSPC:
      return 112;  // ERROR_DISK_FULL
    default:
      return 31;  // ERROR_GEN_FAILURE
  }
}

}  // namespace platform::linux_backend
