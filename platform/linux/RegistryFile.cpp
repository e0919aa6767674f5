// The file backend of the registry: the whole registry is one text file in the export format
// (RegistryText.cpp), read afresh by every call.
//
// Every call takes a flock on "<file>.lock", opened anew for the call: a call that may write takes it
// exclusively, so writers of all threads and processes are serialised and no one reads meanwhile; a
// call that only reads shares it with other readers, which never change the file (a cycle's payment
// workers read the component's settings side by side instead of in turn). It reads and parses the file (a
// missing file is an empty registry) and runs the operation on that tree. A call that only reads and
// finds the file holding the very text the object parsed last uses that parse again: parsing is most of
// a read's cost, and a payment reads the registry five times. A call that changed the tree writes
// the new text through an AtomicFile in the same folder, so the file is always either the old or the new
// registry; the folder is created on the first write. Calls that only read never write, and a call
// that leaves the tree as it was (creating a key that exists, setting a value to what it holds) does
// not rewrite a hand-edited file.
//
// Who may write the registry decides what root loads, so the files are kept closed to others whatever
// the umask: the registry file is 0644 (a file that exists keeps its permissions less any execute bit
// and any write permission for group and others), its folder 0755 when it is created, the lock file
// 0600 (a lock file others may open is one they may hold: flock needs only read access). The folder
// must be trusted (TrustedFolder.h), for reading as for writing: a registry others could have written
// is not read. A reader that cannot open the lock file (the machine's registry read by a designer)
// reads without the lock: the rename makes every state of the file a complete one.
//
// A call waits at most the lock wait (10 s unless the opener says otherwise) for the lock, polling it,
// and fails with 33 (ERROR_LOCK_VIOLATION) when another process held it all that time. While a stop
// is under way (StopSignals.h) it waits at most kStopGrace, then fails with 995
// (ERROR_OPERATION_ABORTED): a holder that kept the lock that long is stuck, and the process is
// ending, while the threads of a cycle that is finishing still take turns as ever (for milliseconds).
//
// Errors: a file that cannot be parsed is 1015 (ERROR_BADDB) and is never overwritten; permission
// failures and folders or lock files that are not trusted are 5 (ERROR_ACCESS_DENIED); other I/O
// failures 1016 (ERROR_REGISTRY_IO_FAILED). Key and value names holding CR, LF or NUL cannot be
// written in the text form and are refused with 87 (ERROR_INVALID_PARAMETER) when a call would create
// them. Failures of the file, its folder or its lock record details naming them (SetErrorDetails).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "../common/RegistryTree.h"
#include "AtomicFile.h"
#include "StopSignals.h"
#include "TrustedFolder.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kStopGrace{1};

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

class FileRegistry final : public Registry {
 public:
  FileRegistry(fs::path file, std::chrono::milliseconds lockWait)
      : file_(std::move(file)), lockPath_(file_.string() + ".lock"), lockWait_(lockWait) {}

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

  // Returns `code` with `details` recorded for the caller's message.
  static long Fail(long code, std::string details) {
    SetErrorDetails(code, std::move(details));
    return code;
  }
  static long Fail(long code, std::string_view what, const std::string& path, int error) {
    return Fail(code, std::string(what) + " " + path + ": " + std::strerror(error));
  }

  // Takes the lock. A reader goes on without it when the lock file cannot be opened or the folder
  // does not exist (`lock` stays invalid); a writer cannot.
  long Lock(bool forWriting, Descriptor& lock) const {
    const fs::path folder = Folder();
    if (forWriting) {
      if (const int error = linux_backend::CreateFolders(folder, 0755); error != 0)
        return Fail(CodeForErrno(error), "cannot create the registry folder", folder.string(), error);
    }
    const long trusted = linux_backend::CheckTrustedFolder(linux_backend::kRegistryFolder, folder, file_);
    if (trusted == win32::FileNotFound) {
      if (!forWriting) return win32::Success;  // no folder, no file: an empty registry
      return Fail(win32::RegistryIoFailed, "cannot create the registry folder", folder.string(), ENOENT);
    }
    if (trusted != win32::Success) return trusted;

    int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && !forWriting && errno != ELOOP)
      fd = ::open(lockPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      if (error == ELOOP)
        return Fail(win32::AccessDenied, "The registry lock " + lockPath_ + " is a symbolic link");
      if (!forWriting) return win32::Success;
      return Fail(CodeForErrno(error), "cannot open the registry lock", lockPath_, error);
    }
    lock.Reset(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      const int error = errno;
      return Fail(CodeForErrno(error), "cannot look at the registry lock", lockPath_, error);
    }
    if (!S_ISREG(info.st_mode))
      return Fail(win32::AccessDenied, "The registry lock " + lockPath_ + " is not a file");
    if (info.st_uid == ::geteuid()) {
      // An older lock file may be open to others; from now on only its owner may open it.
      if ((info.st_mode & 0077) != 0 && ::fchmod(fd, 0600) != 0) {
        const int error = errno;
        return Fail(CodeForErrno(error), "cannot close the registry lock to others", lockPath_, error);
      }
    } else if (forWriting) {
      return Fail(win32::AccessDenied, "The registry lock " + lockPath_ + " belongs to user " +
                                           std::to_string(info.st_uid) + ", who could hold it for ever");
    }
    return WaitForLock(fd, forWriting ? LOCK_EX : LOCK_SH);
  }

  // Polls the lock until it is taken (`operation`: LOCK_EX or LOCK_SH), the lock wait has passed, or a
  // stop is under way and the grace has passed.
  long WaitForLock(int fd, int operation) const {
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + lockWait_;
    std::chrono::milliseconds pause{1};
    for (;;) {
      if (::flock(fd, operation | LOCK_NB) == 0) return win32::Success;
      const int error = errno;
      if (error != EWOULDBLOCK && error != EINTR)
        return Fail(win32::RegistryIoFailed, "cannot take the registry lock", lockPath_, error);
      const auto now = std::chrono::steady_clock::now();
      if (now - start >= kStopGrace && linux_backend::StopUnderWay()) {
        return Fail(win32::OperationAborted,
                    "The wait for the registry lock " + lockPath_ + " was ended by a stop request");
      }
      if (now >= deadline) {
        const long long ms = lockWait_.count();
        return Fail(win32::LockViolation,
                    "The registry lock " + lockPath_ + " stayed held by another process for " +
                        (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms"));
      }
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
      pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
  }

  // Reads the whole file into `text`; a missing file is an empty text.
  long ReadText(std::string& text) const {
    Descriptor fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
      const int error = errno;
      if (error == ENOENT) return win32::Success;
      return Fail(CodeForErrno(error), "cannot open the registry file", file_.string(), error);
    }
    // Read straight into the text, in steps of the file's size (one step and the end, as a rule), so
    // that a payment worker's fresh stack is not touched by a large buffer for every read.
    struct stat info {};
    const std::size_t step = std::max<std::size_t>(
        ::fstat(fd.Get(), &info) == 0 ? static_cast<std::size_t>(info.st_size) + 1 : 0, 4096);
    for (;;) {
      const std::size_t used = text.size();
      text.resize(used + step);
      const ssize_t count = ::read(fd.Get(), text.data() + used, step);
      text.resize(used + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
      if (count == 0) break;
      if (count < 0) {
        const int error = errno;
        if (error == EINTR) continue;
        return Fail(CodeForErrno(error), "cannot read the registry file", file_.string(), error);
      }
    }
    return win32::Success;
  }

  long Parse(const std::string& text, detail::RegistryTree& tree) const {
    std::string error;
    const long result = detail::ParseRegistryText(text, tree, &error);
    if (result != win32::Success)
      return Fail(result, "The registry file " + file_.string() + " is not a registry: " + error);
    return result;
  }

  long Load(detail::RegistryTree& tree) const {
    std::string text;
    const long result = ReadText(text);
    return result != win32::Success ? result : Parse(text, tree);
  }

  // The tree of `text` for a call that only reads: the last one parsed when the file still holds the
  // same text, else a new parse that becomes the last one. Such a tree is never changed (calls that
  // change the registry parse a tree of their own), so threads may read it side by side.
  long Parsed(const std::string& text, std::shared_ptr<detail::RegistryTree>& tree) const {
    {
      std::lock_guard lock(parsedMutex_);
      if (parsedTree_ && parsedText_ == text) {
        tree = parsedTree_;
        return win32::Success;
      }
    }
    auto fresh = std::make_shared<detail::RegistryTree>();
    if (const long result = Parse(text, *fresh); result != win32::Success) return result;
    std::lock_guard lock(parsedMutex_);
    parsedText_ = text;
    parsedTree_ = fresh;
    tree = std::move(fresh);
    return win32::Success;
  }

  template <typename Operation>
  long Read(Operation operation) const {
    Descriptor lock;
    long result = Lock(false, lock);
    if (result != win32::Success) return result;
    std::string text;
    result = ReadText(text);
    if (result != win32::Success) return result;
    std::shared_ptr<detail::RegistryTree> tree;
    result = Parsed(text, tree);
    if (result != win32::Success) return result;
    return operation(*tree);
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
    const std::string prefix =
        fs::path(linux_backend::AtomicFile::TemporaryPrefix(file_)).filename().string();
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
    // A file that exists keeps its permissions, less execute bits and write permission for group and
    // others; a new one is 0644, whatever the umask.
    struct stat existing {};
    const mode_t mode = ::stat(file_.c_str(), &existing) == 0 ? (existing.st_mode & 0644) : 0644;
    if (const linux_backend::FileError error = linux_backend::ReplaceFile(file_, text, mode))
      return Fail(CodeForErrno(error.number), error.step, file_.string(), error.number);
    return win32::Success;
  }

  fs::path file_;
  std::string lockPath_;
  std::chrono::milliseconds lockWait_;
  mutable std::mutex parsedMutex_;
  mutable std::string parsedText_;
  mutable std::shared_ptr<detail::RegistryTree> parsedTree_;
};

}  // namespace

std::unique_ptr<Registry> OpenFileRegistry(std::filesystem::path file, std::chrono::milliseconds lockWait) {
  return std::make_unique<FileRegistry>(std::move(file), lockWait);
}

}  // namespace platform
