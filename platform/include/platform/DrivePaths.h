// Drive paths: a file path as the system writes it ("C:\PROG\Vistelle\include\DTC_TEMPLATE.ASP",
// "c:/temp/DTC.TXT", or a bare relative path such as "Vistelle\include\DTC_TEMPLATE.ASP") mapped to
// a path of the host's file system.
//
// Keeps: drive letters (either case), each mapped to a host folder that is that drive's root; "\"
// and "/" as separators, doubled separators read as one; "." and ".." components, resolved by name
// (".." stops at the drive root, so no path leaves its drive); a relative path (no drive, no leading
// separator) resolves against the working folder. Each component is looked up in its folder by its
// exact name first and then without regard to ASCII letter case (when several names differ only in
// case, the first in byte order wins), so a path the system upper-cased still finds
// "Vistelle/include" on a case-sensitive file system. A component that matches nothing (a file about
// to be created, a missing folder) is kept as written, and so is everything after it; opening such a
// path then fails the way the file operation reports a missing file or folder.
// Leaves out: UNC paths ("\\server\share"), paths rooted without a drive ("\name"), 8.3 short names,
// device names (CON, NUL), alternate data streams. Those, unmapped drives and paths holding a NUL
// character raise Path not found (76); an empty path raises Path/File access error (75).
// "C:name" (drive-relative) reads as "C:\name": every drive's current folder is its root here.
//
// Backends:
//   - DrivePathsFromEnvironment(): drive X maps to the folder named by $TESSERY_DRIVE_X (upper-case
//     letter in the variable's name; unset or empty: the drive is not mapped); the working folder is
//     the process's current folder at the time of each call.
//   - platform::testing::MappedDrives (platform/testing): drives and working folder given by the test.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace platform {

class DrivePaths {
 public:
  virtual ~DrivePaths() = default;

  // The host folder that is the root of drive `letter` ('A' to 'Z', either case), or none.
  virtual std::optional<std::filesystem::path> DriveRoot(char letter) const = 0;
  // The folder relative paths resolve against.
  virtual std::filesystem::path WorkingFolder() const = 0;

  // The host path of `path` (the rules above). Raises 75 or 76 for paths it cannot map.
  std::filesystem::path Resolve(std::string_view path) const;
};

std::unique_ptr<DrivePaths> DrivePathsFromEnvironment();

}  // namespace platform
