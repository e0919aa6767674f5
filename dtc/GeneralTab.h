// Helpers of the General tab that stand on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dtc {

// The part of `path` below the site root `root` with every "\" replaced by "/", or nullopt when the
// path lies outside the site. `root` is upper case and ends in "\" (or is empty: every path is
// inside); the first root-length bytes of `path` are compared with it after upper-casing their
// ASCII letters, so a folder that differs from the install directory only in letter case is inside.
std::optional<std::string> SiteRelativePath(std::string_view path, std::string_view root);

}  // namespace dtc
