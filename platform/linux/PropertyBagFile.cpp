// Property-bag files read whole and replaced through the atomic-file helper, their mode kept.
#include "platform/PropertyBagFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "AtomicFile.h"

namespace platform {

namespace {

[[noreturn]] void RaiseAccess(std::string_view what, const std::filesystem::path& path, int error) {
  Raise(err::PathFileAccessError, StandardDescription(err::PathFileAccessError) + ": " + std::string(what) +
                                      " '" + path.string() + "': " + std::strerror(error));
}

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
  // Keeps the permissions of the file being replaced; a new file gets those the umask gives, as a
  // file the user saves with any editor.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
  if (const linux_backend::FileError error = linux_backend::ReplaceFile(path, text, mode))
    RaiseAccess(error.step, path, error.number);
}

}  // namespace platform
