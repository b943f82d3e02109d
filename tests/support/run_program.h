// Runs a program of the build as a child process: with given standard input to completion
// (Run), or in the background until it prints a chosen line (Start + WaitForLine).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace fidora::test {

struct ProgramResult {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out;
  std::string err;
};

class ChildProcess {
 public:
  // Starts program with args; its standard input is `input` (then closed).
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& input = "") {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      posix_spawn_file_actions_addclose(&fa, fd);
    std::vector<char*> argv;
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (rc != 0) throw std::runtime_error("cannot start " + program);
    // Small inputs only: a pipe holds 64 KiB, which is plenty for these tests.
    size_t done = 0;
    while (done < input.size()) {
      const ssize_t n = write(in[1], input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(in[1]);
    out_fd_ = out[0];
    err_fd_ = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads standard output until a line equal to `line` arrived; false on timeout or end.
  bool WaitForLine(const std::string& line, int timeout_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
      if (out_.find(line + "\n") != std::string::npos) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{out_fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buf[4096];
      const ssize_t n = read(out_fd_, buf, sizeof buf);
      if (n <= 0) return out_.find(line + "\n") != std::string::npos;
      out_.append(buf, static_cast<size_t>(n));
    }
  }

  // Waits for the end and collects the rest of the output.
  ProgramResult Finish() {
    ProgramResult r;
    DrainBoth();
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = out_;
    r.err = err_;
    return r;
  }

 private:
  // Both pipes are read together so a child filling one never blocks on it.
  void DrainBoth() {
    char buf[4096];
    while (out_fd_ >= 0 || err_fd_ >= 0) {
      pollfd p[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
      if (poll(p, 2, -1) < 0) break;
      for (int i = 0; i < 2; ++i) {
        int& fd = i == 0 ? out_fd_ : err_fd_;
        if (fd < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? out_ : err_).append(buf, static_cast<size_t>(n));
        } else {
          close(fd);
          fd = -1;
        }
      }
    }
  }

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& input = "") {
  ChildProcess child(program, args, input);
  return child.Finish();
}

}  // namespace fidora::test
