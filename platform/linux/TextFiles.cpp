// Sequential text files on the host's file system.
#include "platform/TextFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "../common/LineInput.h"
#include "runtime/Error.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kDeviceIOError = 57;
constexpr std::int32_t kDiskFull = 61;
constexpr std::int32_t kBadFileNameOrNumber = 52;

bool FolderExists(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder.empty() ? fs::path(".") : folder, ec);
}

// The file error of a failed open of `file`.
[[noreturn]] void RaiseOpenError(int error, const fs::path& file) {
  switch (error) {
    case ENOENT:
      if (FolderExists(file.parent_path())) Raise(err::FileNotFound);
      Raise(err::PathNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      Raise(err::PathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      Raise(err::PermissionDenied);
    case ENOSPC:
    case EDQUOT:
      Raise(kDiskFull, "Disk full");
    default:
      Raise(err::PathFileAccessError);
  }
}

[[noreturn]] void RaiseTransferError(int error) {
  if (error == ENOSPC || error == EDQUOT) Raise(kDiskFull, "Disk full");
  Raise(kDeviceIOError, "Device I/O error");
}

class HostInput : public detail::LineInput {
 public:
  explicit HostInput(int fd) : fd_(fd) {}
  ~HostInput() override {
    if (fd_ >= 0) ::close(fd_);
  }

 protected:
  std::size_t ReadBytes(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) RaiseTransferError(errno);
    }
  }
  void CloseStream() override {
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class HostOutput : public TextOutput {
 public:
  explicit HostOutput(int fd) : fd_(fd) {}
  ~HostOutput() override {
    if (fd_ < 0) return;
    try {
      Flush();
    } catch (const Error&) {
      // Dropped: an output destroyed without Close has no one to report to.
    }
    ::close(fd_);
  }

  void Write(std::string_view text) override {
    if (fd_ < 0) Raise(kBadFileNameOrNumber, "Bad file name or number");
    pending_.append(text);
    if (pending_.size() >= std::size_t{64} * 1024) Flush();
  }

  void Close() override {
    if (fd_ < 0) return;
    const int fd = fd_;
    try {
      Flush();
    } catch (...) {
      ::close(fd);
      fd_ = -1;
      throw;
    }
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) RaiseTransferError(errno);
  }

 private:
  void Flush() {
    std::size_t done = 0;
    while (done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        pending_.clear();
        RaiseTransferError(error);
      }
      done += static_cast<std::size_t>(n);
    }
    pending_.clear();
  }

  int fd_;
  std::string pending_;
};

class HostTextFiles : public TextFiles {
 public:
  explicit HostTextFiles(const DrivePaths& drives) : drives_(drives) {}

  std::unique_ptr<TextInput> OpenForInput(std::string_view path) override {
    const fs::path file = drives_.Resolve(path);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) RaiseOpenError(errno, file);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      ::close(fd);
      Raise(err::PathFileAccessError);
    }
    return std::make_unique<HostInput>(fd);
  }

  std::unique_ptr<TextOutput> OpenForOutput(std::string_view path) override {
    const fs::path file = drives_.Resolve(path);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) RaiseOpenError(errno, file);
    return std::make_unique<HostOutput>(fd);
  }

 private:
  const DrivePaths& drives_;
};

}  // namespace

std::unique_ptr<TextFiles> OpenHostTextFiles(const DrivePaths& drives) {
  return std::make_unique<HostTextFiles>(drives);
}

}  // namespace platform
