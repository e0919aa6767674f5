// The file backend of the registry: the whole registry is one text file in the export format
// (RegistryText.cpp), read afresh by every call.
//
// Every call takes an exclusive flock on "<file>.lock", opened anew for the call, so calls of all
// threads and processes using the file are serialised. It reads and parses the file (a missing file is
// an empty registry) and runs the operation on that tree. A call that changed the tree writes the new
// text to a temporary file "<file>.tmp-<pid>-<n>" in the same folder, fsyncs it and renames it over the
// file, so the file is always either the old or the new registry; the folder is created on the first
// write. Calls that only read never write, and a call that leaves the tree as it was (creating a key
// that exists, setting a value to what it holds) does not rewrite a hand-edited file.
//
// A reader that cannot open or create the lock file (a registry folder the caller may read but not
// write) reads without the lock: the rename makes every state of the file a complete one.
//
// Errors: a file that cannot be parsed is 1015 (ERROR_BADDB) and is never overwritten; permission
// failures are 5 (ERROR_ACCESS_DENIED); other I/O failures 1016 (ERROR_REGISTRY_IO_FAILED). Key and
// value names holding CR, LF or NUL cannot be written in the text form and are refused with 87
// (ERROR_INVALID_PARAMETER) when a call would create them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "../common/RegistryTree.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

long CodeForErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return win32::AccessDenied;
    default:
      return win32::RegistryIoFailed;
  }
}

// True when `name` can be written in the text form.
bool Writable(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == name.npos;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Returns the errno of a failed close, or 0.
  int Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Removes the temporary file unless it was handed over by rename.
class TemporaryName {
 public:
  explicit TemporaryName(std::string path) : path_(std::move(path)) {}
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  ~TemporaryName() {
    if (!renamed_) ::unlink(path_.c_str());
  }
  const std::string& Path() const { return path_; }
  void Renamed() { renamed_ = true; }

 private:
  std::string path_;
  bool renamed_ = false;
};

std::atomic<unsigned> temporaryCounter{0};

class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(fs::path file) : file_(std::move(file)), lockPath_(file_.string() + ".lock") {}

  long OpenKey(RootKey root, std::string_view path) override {
    return Read([&](detail::RegistryTree& tree) { return tree.OpenKey(root, path); });
  }
  long CreateKey(RootKey root, std::string_view path) override {
    if (!Writable(path)) return win32::InvalidParameter;
    return Change([&](detail::RegistryTree& tree) { return tree.CreateKey(root, path); });
  }
  long QueryValue(RootKey root, std::string_view path, std::string_view name, RegistryValue& out) override {
    return Read([&](detail::RegistryTree& tree) { return tree.QueryValue(root, path, name, out); });
  }
  long SetValue(RootKey root, std::string_view path, std::string_view name,
                const RegistryValue& value) override {
    if (!Writable(name)) return win32::InvalidParameter;
    return Change([&](detail::RegistryTree& tree) { return tree.SetValue(root, path, name, value); });
  }
  long DeleteValue(RootKey root, std::string_view path, std::string_view name) override {
    return Change([&](detail::RegistryTree& tree) { return tree.DeleteValue(root, path, name); });
  }
  long DeleteKey(RootKey root, std::string_view path) override {
    return Change([&](detail::RegistryTree& tree) { return tree.DeleteKey(root, path); });
  }
  long DeleteTree(RootKey root, std::string_view path) override {
    return Change([&](detail::RegistryTree& tree) { return tree.DeleteTree(root, path); });
  }
  long EnumKeys(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    return Read([&](detail::RegistryTree& tree) { return tree.EnumKeys(root, path, names); });
  }
  long EnumValues(RootKey root, std::string_view path, std::vector<std::string>& names) override {
    return Read([&](detail::RegistryTree& tree) { return tree.EnumValues(root, path, names); });
  }

 private:
  fs::path Folder() const { return file_.has_parent_path() ? file_.parent_path() : fs::path("."); }

  // Takes the lock. A reader goes on without it when the lock file cannot be opened (`lock` stays
  // invalid); a writer cannot.
  long Lock(bool forWriting, Descriptor& lock) const {
    if (forWriting) {
      std::error_code error;
      fs::create_directories(Folder(), error);
      if (error) return CodeForErrno(error.value());
    }
    int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && !forWriting) fd = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return forWriting ? CodeForErrno(errno) : win32::Success;
    lock.Reset(fd);
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) return win32::RegistryIoFailed;
    }
    return win32::Success;
  }

  long Load(detail::RegistryTree& tree) const {
    Descriptor fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return errno == ENOENT ? win32::Success : CodeForErrno(errno);
    std::string text;
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
      if (count == 0) break;
      if (count < 0) {
        if (errno == EINTR) continue;
        return CodeForErrno(errno);
      }
      text.append(buffer, static_cast<std::size_t>(count));
    }
    return detail::ParseRegistryText(text, tree, nullptr);
  }

  template <typename Operation>
  long Read(Operation operation) const {
    Descriptor lock;
    long result = Lock(false, lock);
    if (result != win32::Success) return result;
    detail::RegistryTree tree;
    result = Load(tree);
    if (result != win32::Success) return result;
    return operation(tree);
  }

  template <typename Operation>
  long Change(Operation operation) const {
    Descriptor lock;
    long result = Lock(true, lock);
    if (result != win32::Success) return result;
    detail::RegistryTree tree;
    result = Load(tree);
    if (result != win32::Success) return result;
    const std::string before = detail::FormatRegistryText(tree);
    result = operation(tree);
    if (result != win32::Success) return result;
    std::string after = detail::FormatRegistryText(tree);
    if (after == before) return win32::Success;
    return Store(after);
  }

  // Removes temporary files that a writer which died mid-write left behind. Runs under the lock, so
  // no other writer is using one.
  void RemoveStaleTemporaries() const {
    const std::string prefix = file_.filename().string() + ".tmp-";
    DIR* dir = ::opendir(Folder().c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
      if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix) {
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
      }
    }
    ::closedir(dir);
  }

  long Store(const std::string& text) const {
    RemoveStaleTemporaries();
    const std::string base = file_.string() + ".tmp-" + std::to_string(::getpid()) + "-";
    std::string temporaryPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temporaryPath = base + std::to_string(temporaryCounter.fetch_add(1));
      fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) return CodeForErrno(errno);
    }
    if (fd < 0) return win32::RegistryIoFailed;
    Descriptor out(fd);
    TemporaryName temporary(temporaryPath);

    // A file that exists keeps its permissions; a new one gets the umask's.
    struct stat existing {};
    if (::stat(file_.c_str(), &existing) == 0) ::fchmod(fd, existing.st_mode & 07777);

    for (std::size_t written = 0; written < text.size();) {
      const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
      if (count < 0) {
        if (errno == EINTR) continue;
        return CodeForErrno(errno);
      }
      written += static_cast<std::size_t>(count);
    }
    if (::fsync(fd) != 0) return CodeForErrno(errno);
    if (const int error = out.Close(); error != 0) return CodeForErrno(error);
    if (::rename(temporary.Path().c_str(), file_.c_str()) != 0) return CodeForErrno(errno);
    temporary.Renamed();

    // Makes the rename durable; the new file is complete and in place, so a failure here is not one.
    Descriptor folder(::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) ::fsync(folder.Get());
    return win32::Success;
  }

  fs::path file_;
  std::string lockPath_;
};

}  // namespace

std::unique_ptr<Registry> OpenFileRegistry(std::filesystem::path file) {
  return std::make_unique<FileRegistry>(std::move(file));
}

}  // namespace platform
