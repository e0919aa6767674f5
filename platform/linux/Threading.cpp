// Linux backend of Threading: the shared rules on the monotonic clock, with named events kept as
// flocks on lock files so that they reach every process of the user and die with their holder.
//
// A POSIX named semaphore would stay taken when its holder is killed; an flock is released by the
// kernel when the last descriptor of its open file goes, which happens when the holder dies. Each
// acquisition opens the file afresh, so two acquisitions are two open files and exclude each other
// even inside one process.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../common/ThreadingCore.h"
#include "PosixError.h"
#include "TrustedFolder.h"
#include "runtime/Ascii.h"

namespace platform {

namespace {

using linux_backend::Win32FromErrno;

// A lock file name for an event name: letters, digits, '.', '_' and '-' stay, every other byte
// becomes %XX, so different names never share a file and no name leaves the folder.
std::string LockFileName(std::string_view name) {
  std::string file;
  for (unsigned char c : name) {
    const bool plain = IsAsciiAlnum(static_cast<char>(c)) || c == '.' || c == '_' || c == '-';
    if (plain) {
      file.push_back(static_cast<char>(c));
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      file += escaped;
    }
  }
  return file + ".lock";
}

// Creates the folder when it is missing (0700, whatever the umask) and accepts it only when it is
// trusted: a real folder of the calling user (not a link) that nobody else may write, or a sticky one
// where the lock file is safe (TrustedFolder.h).
long PrepareFolder(const std::filesystem::path& folder, const std::filesystem::path& lockFile) {
  if (const int error = linux_backend::CreateFolders(folder, 0700); error != 0) {
    const long code = Win32FromErrno(error);
    SetErrorDetails(code,
                    "The lock folder " + folder.string() + " cannot be created: " + std::strerror(error));
    return code;
  }
  return linux_backend::CheckTrustedFolder(linux_backend::kLockFolder, folder, lockFile);
}

int OpenLockFile(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

class LockFileEventState final : public detail::EventState {
 public:
  explicit LockFileEventState(std::filesystem::path path) : path_(std::move(path)) {}
  ~LockFileEventState() override { Release(); }

  detail::TakeResult TryTake() override {
    const int fd = OpenLockFile(path_);
    if (fd < 0) return detail::TakeResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      Release();  // cannot hold one already: that acquisition would have excluded this one
      held_ = fd;
      return detail::TakeResult::Taken;
    }
    const int error = errno;
    ::close(fd);
    return (error == EWOULDBLOCK || error == EINTR) ? detail::TakeResult::NotSignalled
                                                    : detail::TakeResult::Failed;
  }

  // Releases an acquisition made in this process; an event held elsewhere stays held.
  bool Set() override {
    Release();
    return true;
  }
  bool Reset() override { return false; }
  std::optional<bool> Peek() override { return std::nullopt; }
  bool Polled() const override { return true; }

 private:
  void Release() {
    if (held_ >= 0) ::close(held_);
    held_ = -1;
  }

  const std::filesystem::path path_;
  int held_ = -1;
};

class LockFileEvents final : public detail::NamedEventSource {
 public:
  std::shared_ptr<detail::EventState> Create(std::string_view name, bool manualReset, bool initialState,
                                             long& error) override {
    if (manualReset || !initialState) {
      error = win32::InvalidParameter;
      return nullptr;
    }
    const std::filesystem::path folder = NamedEventFolder();
    const std::filesystem::path path = folder / LockFileName(name);
    if (long code = PrepareFolder(folder, path); code != win32::Success) {
      error = code;
      return nullptr;
    }
    const int fd = OpenLockFile(path);
    if (fd < 0) {
      const int failure = errno;
      error = Win32FromErrno(failure);
      SetErrorDetails(error,
                      "The lock file " + path.string() + " cannot be opened: " + std::strerror(failure));
      return nullptr;
    }
    struct stat info {};
    long code = win32::Success;
    if (::fstat(fd, &info) != 0 ||
        (info.st_uid == ::geteuid() && (info.st_mode & 0777) != 0600 && ::fchmod(fd, 0600) != 0)) {
      const int failure = errno;
      code = Win32FromErrno(failure);
      SetErrorDetails(
          code, "The lock file " + path.string() + " cannot be kept to its owner: " + std::strerror(failure));
    } else if (info.st_uid != ::geteuid()) {
      code = win32::AccessDenied;
      SetErrorDetails(code, "The lock file " + path.string() + " belongs to user " +
                                std::to_string(info.st_uid) + ", not to the user running the program");
    }
    ::close(fd);
    if (code != win32::Success) {
      error = code;
      return nullptr;
    }
    return std::make_shared<LockFileEventState>(path);
  }
};

}  // namespace

std::filesystem::path NamedEventFolder() {
  const char* configured = std::getenv("TESSERY_LOCK_DIR");
  if (configured != nullptr && *configured != '\0') return configured;
  const uid_t user = ::geteuid();
  if (user == 0) return "/run/tessery";
  return "/tmp/tessery-" + std::to_string(user);
}

std::unique_ptr<Threading> OpenThreading() {
  return detail::MakeThreading(SteadyClock(), std::make_unique<LockFileEvents>(), {});
}

}  // namespace platform
