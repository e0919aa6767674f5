// Drive paths on Linux: drive X is the folder named by $TESSERY_DRIVE_X.
#include "platform/DrivePaths.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include "runtime/Ascii.h"

namespace platform {
namespace {

class EnvironmentDrives : public DrivePaths {
 public:
  std::optional<std::filesystem::path> DriveRoot(char letter) const override {
    if (!IsAsciiAlpha(letter)) return std::nullopt;
    letter = AsciiToUpper(letter);
    const std::string variable = std::string("TESSERY_DRIVE_") + letter;
    const char* value = std::getenv(variable.c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::filesystem::path(value);
  }

  std::filesystem::path WorkingFolder() const override {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path(".") : folder;
  }
};

}  // namespace

std::unique_ptr<DrivePaths> DrivePathsFromEnvironment() {
  return std::make_unique<EnvironmentDrives>();
}

}  // namespace platform
