// Whether a folder may be trusted: owned by the caller or root, and closed to others' writes unless sticky.
#include "TrustedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "PosixError.h"

namespace platform::linux_backend {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

bool TrustedOwner(const FolderKind& kind, uid_t owner) {
  return owner == ::geteuid() || (kind.rootMayOwn && owner == 0);
}

long Refuse(const FolderKind& kind, const std::filesystem::path& folder, const std::string& why) {
  std::string text = "The " + std::string(kind.name) + " " + folder.string() + " " + why;
  SetErrorDetails(win32::AccessDenied, std::move(text));
  return win32::AccessDenied;
}

// A file in a folder others may write: missing, or a regular file of a trusted owner that only its
// owner may write.
bool SafeFile(const FolderKind& kind, const std::filesystem::path& file) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode) && TrustedOwner(kind, info.st_uid) && (info.st_mode & kWritableByOthers) == 0;
}

std::string OwnersText(const FolderKind& kind) {
  return kind.rootMayOwn ? "the user running the program or root" : "the user running the program";
}

}  // namespace

long CheckTrustedFolder(const FolderKind& kind, const std::filesystem::path& folder,
                        const std::filesystem::path& file) {
  struct stat info {};
  const int result = kind.followLinks ? ::stat(folder.c_str(), &info) : ::lstat(folder.c_str(), &info);
  if (result != 0) {
    const int error = errno;
    if (error == ENOENT) return win32::FileNotFound;
    const long code = Win32FromErrno(error);
    SetErrorDetails(code, "The " + std::string(kind.name) + " " + folder.string() +
                              " cannot be looked at: " + std::strerror(error));
    return code;
  }
  if (S_ISLNK(info.st_mode)) return Refuse(kind, folder, "is a symbolic link");
  if (!S_ISDIR(info.st_mode)) return Refuse(kind, folder, "is not a folder");
  if (!TrustedOwner(kind, info.st_uid)) {
    return Refuse(kind, folder,
                  "belongs to user " + std::to_string(info.st_uid) + ", not to " + OwnersText(kind));
  }
  if ((info.st_mode & kWritableByOthers) != 0) {
    if ((info.st_mode & S_ISVTX) == 0) return Refuse(kind, folder, "is writable by group or others");
    if (!file.empty() && !SafeFile(kind, file)) {
      return Refuse(kind, folder,
                    "is writable by group or others, and " + file.string() +
                        " in it is not a regular file of " + OwnersText(kind) +
                        " that only its owner may write");
    }
  }
  return win32::Success;
}

int CreateFolders(const std::filesystem::path& given, mode_t mode) {
  // "a/b/" names the folder "a/b".
  const std::filesystem::path folder = given.has_filename() ? given : given.parent_path();
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path path = folder; !path.empty(); path = path.parent_path()) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) break;
    if (errno != ENOENT) return errno;
    missing.push_back(path);
    if (path == path.parent_path()) break;
  }
  for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
    const mode_t wanted = *path == folder ? mode : 0755;
    if (::mkdir(path->c_str(), wanted) != 0) {
      if (errno == EEXIST) continue;  // made by someone else meanwhile: judged by its user
      return errno;
    }
    // The umask took bits away from the mode mkdir was given.
    const int fd = ::open(path->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fchmod(fd, wanted);
    const int error = errno;
    ::close(fd);
    if (result != 0) return error;
  }
  return 0;
}

}  // namespace platform::linux_backend
