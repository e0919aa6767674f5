// The drive-path rules, written once for every backend: drive letters, separators, "." and "..",
// and the component lookup that falls back to ignoring ASCII letter case.
#include "platform/DrivePaths.h"

#include <string>
#include <system_error>
#include <vector>

#include "runtime/Ascii.h"
#include "runtime/Error.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The name under which `name` exists in `folder`: the name itself when an entry of that exact name
// exists, else the first entry (in byte order) equal to it without regard to ASCII case, else none.
std::optional<std::string> FindEntry(const fs::path& folder, std::string_view name) {
  std::error_code ec;
  const fs::file_type type = fs::symlink_status(folder / fs::path(name), ec).type();
  if (type != fs::file_type::not_found && type != fs::file_type::none) return std::string(name);
  std::optional<std::string> found;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (EqualsIgnoreAsciiCase(entry, name) && (!found || entry < *found)) found = std::move(entry);
  }
  return found;
}

}  // namespace

fs::path DrivePaths::Resolve(std::string_view path) const {
  if (path.empty()) Raise(err::PathFileAccessError);
  if (path.find('\0') != std::string_view::npos) Raise(err::PathNotFound);

  fs::path current;
  std::string_view rest;
  bool onDrive = false;
  if (path.size() >= 2 && IsAsciiAlpha(path[0]) && path[1] == ':') {
    const std::optional<fs::path> root = DriveRoot(path[0]);
    if (!root || root->empty()) Raise(err::PathNotFound);
    current = *root;
    rest = path.substr(2);
    onDrive = true;
  } else if (IsSeparator(path[0])) {
    Raise(err::PathNotFound);  // "\\server\share" or "\name": no drive to resolve against
  } else {
    current = WorkingFolder();
    rest = path;
  }

  // depth: components below the starting folder; found: how many of them exist as looked up.
  std::size_t depth = 0;
  std::size_t found = 0;
  for (std::string_view part : Components(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (depth > 0) {
        current = current.parent_path();
        --depth;
        if (found > depth) found = depth;
      } else if (!onDrive) {
        current = current.parent_path();  // a relative path may climb above the working folder
      }
      continue;
    }
    std::optional<std::string> name;
    if (found == depth) name = FindEntry(current, part);
    current /= name ? fs::path(*name) : fs::path(part);
    ++depth;
    if (name) ++found;
  }
  return current;
}

}  // namespace platform
