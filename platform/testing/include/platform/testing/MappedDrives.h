// Test backend of DrivePaths: the drives and the working folder are the folders a test gives
// (usually temporary folders).
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/DrivePaths.h"
#include "runtime/Ascii.h"

namespace platform::testing {

class MappedDrives : public DrivePaths {
 public:
  explicit MappedDrives(std::filesystem::path workingFolder = ".")
      : workingFolder_(std::move(workingFolder)) {}

  // Maps drive `letter` (either case) to `root`; an empty root unmaps it.
  void Map(char letter, std::filesystem::path root) {
    if (const auto i = Index(letter)) roots_[*i] = std::move(root);
  }
  void SetWorkingFolder(std::filesystem::path folder) { workingFolder_ = std::move(folder); }

  std::optional<std::filesystem::path> DriveRoot(char letter) const override {
    const auto i = Index(letter);
    if (!i || roots_[*i].empty()) return std::nullopt;
    return roots_[*i];
  }
  std::filesystem::path WorkingFolder() const override { return workingFolder_; }

 private:
  static std::optional<std::size_t> Index(char letter) {
    if (!IsAsciiAlpha(letter)) return std::nullopt;
    return static_cast<std::size_t>(AsciiToUpper(letter) - 'A');
  }

  std::array<std::filesystem::path, 26> roots_;
  std::filesystem::path workingFolder_;
};

}  // namespace platform::testing
