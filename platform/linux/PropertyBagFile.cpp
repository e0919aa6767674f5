#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "platform/PropertyBag.h"

namespace platform {

namespace {

[[noreturn]] void RaiseAccess(const std::string& what, const std::filesystem::path& path, int error) {
  Raise(err::PathFileAccessError, StandardDescription(err::PathFileAccessError) + ": " + what + " '" +
                                      path.string() + "': " + std::strerror(error));
}

// Closes a descriptor and removes the temporary file unless the file was handed over by rename.
class TemporaryFile {
 public:
  TemporaryFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(path_.c_str());
  }

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Closes the descriptor; returns the errno of a failed close, or 0.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }
  void Renamed() { renamed_ = true; }

 private:
  std::string path_;
  int fd_;
  bool renamed_ = false;
};

// The permissions a new file gets from the process's umask, read without changing it.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) {
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      break;
    }
  }
  return 0666 & ~mask;
}

// Makes a rename in `folder` durable. The new file is complete and in place by then, so a failure
// here is not reported: the bag was saved.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

MemoryPropertyBag ReadPropertyBagFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) {
      Raise(err::FileNotFound, StandardDescription(err::FileNotFound) + ": '" + path.string() + "'");
    }
    RaiseAccess("cannot open", path, error);
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      RaiseAccess("cannot read", path, error);
    }
    text.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(fd);

  try {
    return ParsePropertyBagJson(text);
  } catch (const Error& error) {
    throw Error(error.Number(), error.Description() + " in '" + path.string() + "'");
  }
}

void WritePropertyBagFile(const std::filesystem::path& path, const MemoryPropertyBag& bag) {
  const std::string text = FormatPropertyBagJson(bag);

  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) RaiseAccess("cannot create a temporary file for", path, errno);
  TemporaryFile temporary(pattern, fd);

  // Keeps the permissions of the file being replaced; a new file gets the usual ones, not mkstemp's 0600.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
  if (::fchmod(fd, mode) != 0)
    RaiseAccess("cannot set the permissions of the temporary file for", path, errno);

  for (std::size_t written = 0; written < text.size();) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      RaiseAccess("cannot write", path, errno);
    }
    written += static_cast<std::size_t>(count);
  }
  if (::fsync(fd) != 0) RaiseAccess("cannot flush", path, errno);
  if (const int error = temporary.Close(); error != 0) RaiseAccess("cannot write", path, error);
  if (::rename(temporary.Path().c_str(), path.c_str()) != 0) RaiseAccess("cannot replace", path, errno);
  temporary.Renamed();
  SyncFolder(folder);
}

}  // namespace platform
