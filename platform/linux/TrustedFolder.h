// The folders the Linux backends keep files in that decide what a process trusts, or that others must
// not reach into: the registry's folder, the systemd unit folder and the lock folder of named events.
//
// The rule, as a careful SSH server applies it to a user's files: a folder is trusted when it is a
// folder of the user running the program (or of root, where the kind allows it) that neither group
// nor others may write. A folder that group or others may write is trusted only when it has the
// sticky bit (then nobody else can remove or rename what is in it) and the file the program uses in
// it is safe: missing, or a regular file (not a symbolic link) of the same owners that neither group
// nor others may write. Only the folder itself is judged; the folders above it are the
// administrator's.
//
// A refusal returns ERROR_ACCESS_DENIED and records details naming the folder (SetErrorDetails).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace platform::linux_backend {

struct FolderKind {
  std::string_view name;  // "registry folder", for messages
  bool rootMayOwn;        // a folder of root is trusted too
  bool followLinks;       // the folder may be reached through a symbolic link (its target is judged)
};

inline constexpr FolderKind kRegistryFolder{"registry folder", true, true};
inline constexpr FolderKind kUnitFolder{"unit folder", true, true};
inline constexpr FolderKind kLockFolder{"lock folder", false, false};

// 0 when `folder` may be used for `file` (a path in it, or empty when no one file is meant);
// ERROR_FILE_NOT_FOUND (no details) when it does not exist; ERROR_ACCESS_DENIED or the code of a
// failed look-up otherwise, with details.
[[nodiscard]] long CheckTrustedFolder(const FolderKind& kind, const std::filesystem::path& folder,
                                      const std::filesystem::path& file);

// Creates `folder` and the missing folders above it. Each folder it creates gets its mode set
// explicitly, whatever the umask: `mode` for `folder`, 0755 for those above. Returns 0 or errno.
[[nodiscard]] int CreateFolders(const std::filesystem::path& folder, mode_t mode);

}  // namespace platform::linux_backend
