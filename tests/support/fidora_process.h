// Runs the real `fidora` for a test: headless, on free loopback ports, in a temporary data
// directory with its own runtime directory (so its single-instance lock is its own), with
// standard error captured to a file. Stopped with SIGTERM when the object goes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_socket.h"

extern char** environ;

namespace fidora::test {

inline std::string FidoraBinary() {
  return std::string(FIDORA_BINARY_DIR) + "/src/shell/fidora";
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class FidoraProcess {
 public:
  // Starts fidora with `args` in `work_dir`, with XDG_RUNTIME_DIR set to `runtime_dir`.
  FidoraProcess(const std::filesystem::path& work_dir, const std::filesystem::path& runtime_dir,
                std::vector<std::string> args)
      : stderr_path_(work_dir / ("fidora-stderr-" + std::to_string(++Counter()) + ".txt")) {
    std::vector<std::string> argv_text = {FidoraBinary()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 && entry.rfind("FIDORA_CONFIG=", 0) != 0)
        env_text.push_back(entry);
    }
    env_text.push_back("XDG_RUNTIME_DIR=" + runtime_dir.string());
    env_text.push_back("FIDORA_CONFIG=" + (work_dir / "no-such-vorlund.cfg").string());
    std::vector<char*> envp;
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderr_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, work_dir.c_str());
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~FidoraProcess() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      Wait(std::chrono::seconds(10));
    }
  }
  FidoraProcess(const FidoraProcess&) = delete;
  FidoraProcess& operator=(const FidoraProcess&) = delete;

  // Waits until `port` accepts connections (false when the process ended or time ran out).
  bool WaitUntilListening(uint16_t port,
                          std::chrono::milliseconds timeout = std::chrono::milliseconds(15000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Exited()) return false;
      LoopbackSocket probe;
      if (probe.Connect(port)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  void Signal(int number) const { ::kill(pid_, number); }

  // The exit status, or nullopt when it has not ended within `timeout`. -1 for a signal death.
  std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(15000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Exited()) {
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
  }

  std::string Stderr() const { return ReadFile(stderr_path_); }
  pid_t pid() const { return pid_; }

 private:
  static int& Counter() {
    static int counter = 0;
    return counter;
  }
  bool Exited() {
    if (status_) return true;
    if (pid_ <= 0) {
      status_ = -1;
      return true;
    }
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) != pid_) return false;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
  }

  pid_t pid_ = -1;
  std::filesystem::path stderr_path_;
  std::optional<int> status_;
};

}  // namespace fidora::test
