// The executable's own path, read from /proc/self/exe.
#include "platform/Process.h"

#include <filesystem>

namespace platform {

std::string ModuleFileName() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

}  // namespace platform
