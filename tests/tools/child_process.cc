#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace fidora::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& input) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  // Test inputs are small: they fit the pipe, so writing them at once cannot block.
  if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
    throw std::runtime_error("cannot write standard input");
  }
  ::close(in[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (!exited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

bool ChildProcess::Pump(int wait_ms) {
  pollfd waiting[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (out_fd_ < 0 && err_fd_ < 0) return false;
  if (::poll(waiting, 2, wait_ms) <= 0) return true;
  auto drain = [](int& fd, short revents, std::string& into) {
    if (fd < 0 || !revents) return;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<size_t>(n));
    } else {
      ::close(fd);
      fd = -1;
    }
  };
  drain(out_fd_, waiting[0].revents, out_);
  drain(err_fd_, waiting[1].revents, err_);
  return out_fd_ >= 0 || err_fd_ >= 0;
}

bool ChildProcess::ReadUntil(std::string_view needle, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (out_.find(needle) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline || out_fd_ < 0) return false;
    Pump(50);
  }
  return true;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline && Pump(50)) {
  }
  int status = 0;
  if (out_fd_ >= 0 || err_fd_ >= 0) ::kill(pid_, SIGKILL);  // still running at the limit
  ::waitpid(pid_, &status, 0);
  exited_ = true;
  if (out_fd_ >= 0 || err_fd_ >= 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Program(const std::string& relative) {
  return std::string(FIDORA_BINARY_DIR) + "/" + relative;
}

}  // namespace fidora::test
