// A file replaced whole or not at all: a temporary beside it (O_EXCL, O_NOFOLLOW), fsynced and renamed.
#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace platform::linux_backend {

namespace {

std::atomic<unsigned> counter{0};

// A name nobody can guess ahead: the process, a counter and the clock's nanoseconds.
std::string RandomSuffix() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned long long mixed = (static_cast<unsigned long long>(now) * 0x9E3779B97F4A7C15ull) ^
                                   (static_cast<unsigned long long>(::getpid()) << 32) ^ counter.fetch_add(1);
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", mixed);
  return text;
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

std::string AtomicFile::TemporaryPrefix(const std::filesystem::path& target) {
  return (FolderOf(target) / (target.filename().string() + ".tmp-")).string();
}

FileError AtomicFile::Create(mode_t mode) {
  Discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TemporaryPrefix(target_) + RandomSuffix();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 07777);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(path);
      // The umask took bits away from the mode open was given.
      if (::fchmod(fd_, mode & 07777) != 0) {
        const int error = errno;
        Discard();
        return {error, "cannot set the permissions of the temporary file for"};
      }
      return {};
    }
    if (errno != EEXIST) return {errno, "cannot create a temporary file for"};
  }
  return {EEXIST, "cannot create a temporary file for"};
}

FileError AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) return {EBADF, "cannot write"};
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return {errno, "cannot write"};
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return {};
}

FileError AtomicFile::Keep() {
  if (fd_ < 0) return {EBADF, "cannot write"};
  if (::fsync(fd_) != 0) return {errno, "cannot flush"};
  const int result = ::close(fd_);
  fd_ = -1;
  if (result != 0) return {errno, "cannot write"};
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return {errno, "cannot replace"};
  temporary_.clear();
  // Makes the rename durable. The new file is complete and in place by then, so a failure here is
  // not one.
  const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return {};
}

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

FileError ReplaceFile(const std::filesystem::path& target, std::string_view bytes, mode_t mode) {
  AtomicFile file(target);
  if (FileError error = file.Create(mode)) return error;
  if (FileError error = file.Write(bytes)) return error;
  return file.Keep();
}

}  // namespace platform::linux_backend
