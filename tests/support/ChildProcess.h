// A child process of a test: an executable started with posix_spawn, its standard output and error
// going to OUTPUT.out and OUTPUT.err, killed (SIGKILL) when the test leaves it running.
//
// The child gets the test's environment with the variables of `environment` set over it. NOTIFY_SOCKET
// is never passed on from the test's own environment (a test run under a supervisor would otherwise
// make the child report to that supervisor); a test that plays the supervisor names it in
// `environment`. The test program may block signals; the child starts with an empty signal mask.
// `standardOutput`, when given, is the descriptor the child writes its standard output to instead
// of OUTPUT.out (a pipe, say).
//
//   testsupport::ChildProcess child({TILLMOOR_EXECUTABLE, "-RegServer"}, folder / "register");
//   ASSERT_EQ(child.Wait(), 0);
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/Watchdog.h"

extern char** environ;

namespace testsupport {

class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> arguments, const std::filesystem::path& output,
               const std::map<std::string, std::string>& environment = {}, int standardOutput = -1) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text(*entry);
      const std::size_t equals = text.find('=');
      if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    variables.erase("NOTIFY_SOCKET");
    for (const auto& [name, value] : environment) variables[name] = value;
    std::vector<std::string> envTexts;
    for (const auto& [name, value] : variables) envTexts.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& text : arguments) argv.push_back(text.data());
    for (auto& text : envTexts) envp.push_back(text.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (standardOutput >= 0) {
      ::posix_spawn_file_actions_adddup2(&actions, standardOutput, 1);
    } else {
      ::posix_spawn_file_actions_addopen(&actions, 1, (output.string() + ".out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    ::posix_spawn_file_actions_addopen(&actions, 2, (output.string() + ".err").c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()), 0)
        << "cannot start " << arguments.front();
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int signal) {
    if (pid_ > 0 && !exited_) ::kill(pid_, signal);
  }

  // The exit status (128 + the signal's number when a signal ended it), or -1 when the process did
  // not end within `watchdog` (it is then left to the destructor, which kills it).
  int Wait(std::chrono::milliseconds watchdog = kWatchdog) {
    if (pid_ <= 0) return -1;
    if (!exited_) {
      const bool ended = Eventually([&] { return ::waitpid(pid_, &status_, WNOHANG) == pid_; }, watchdog);
      if (!ended) return -1;
      exited_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
};

}  // namespace testsupport
