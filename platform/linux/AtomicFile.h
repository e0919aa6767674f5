// A new version of a file, put in place whole or not at all. The one way the Linux backends replace
// a file (the registry file, property-bag files, the service's systemd unit).
//
// Create() makes a temporary file "<name>.tmp-<random>" in the target's own folder, exclusively
// (O_CREAT | O_EXCL | O_NOFOLLOW: nothing planted under its name is opened or followed) and with the
// mode it is given, set explicitly whatever the umask. Keep() flushes it, renames it over the target
// and flushes the folder, so after a crash the target is the old file or the new one. Discard()
// removes it; so does the destructor when Keep() was not reached.
//
// Failures come back as a FileError: the errno value and the step that failed, worded for a message
// ("cannot write"); each caller turns it into its own error form.
//
//   AtomicFile file(target);
//   if (FileError error = file.Create(0644)) return ...;
//   if (FileError error = file.Write(text)) return ...;
//   if (FileError error = file.Keep()) return ...;
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::linux_backend {

struct [[nodiscard]] FileError {
  int number = 0;         // errno; 0: no failure
  std::string_view step;  // "cannot create a temporary file for", "cannot write", ...

  explicit operator bool() const { return number != 0; }
};

class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // What every temporary file for `target` starts with (its folder and "<name>.tmp-"), so that a
  // writer may clear those a writer that died left behind.
  static std::string TemporaryPrefix(const std::filesystem::path& target);

  FileError Create(mode_t mode);
  FileError Write(std::string_view bytes);
  FileError Keep();
  void Discard();

 private:
  std::filesystem::path target_;
  std::string temporary_;
  int fd_ = -1;
};

// The whole sequence for a text that is at hand: Create, Write, Keep.
FileError ReplaceFile(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

}  // namespace platform::linux_backend
