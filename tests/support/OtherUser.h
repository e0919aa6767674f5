// A second, unprivileged user for tests that run as root: the account a server that refuses root runs
// as, or a hostile local user. setpriv (util-linux) runs a program as that user.
//
//   std::optional<testsupport::OtherUser> user = testsupport::OtherUser::Find({"nobody"});
//   if (!user) GTEST_SKIP() << "needs root and the user nobody";
//   ChildProcess holder(user->Command({testsupport::Which("flock"), lock.string(), "true"}), output);
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The full path of a program found on PATH; the name itself when it is not found.
inline std::string Which(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::filesystem::path candidate =
        std::filesystem::path(folders.substr(start, end - start)) / program;
    if (!candidate.parent_path().empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return program;
}

struct OtherUser {
  uid_t uid = 0;
  gid_t gid = 0;
  std::string name;

  // The first of `names` that exists, when the tests run as root (only root can act as another
  // user); none otherwise.
  static std::optional<OtherUser> Find(std::initializer_list<const char*> names) {
    if (::geteuid() != 0) return std::nullopt;
    for (const char* name : names) {
      if (const passwd* user = ::getpwnam(name)) return OtherUser{user->pw_uid, user->pw_gid, name};
    }
    return std::nullopt;
  }

  // The words that run what follows them as this user, for a shell command line.
  std::string ShellPrefix() const {
    return "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(gid) + " --clear-groups ";
  }

  // `argv` run as this user.
  std::vector<std::string> Command(std::vector<std::string> argv) const {
    std::vector<std::string> all{Which("setpriv"), "--reuid=" + std::to_string(uid),
                                 "--regid=" + std::to_string(gid), "--clear-groups"};
    all.insert(all.end(), argv.begin(), argv.end());
    return all;
  }
};

}  // namespace testsupport
