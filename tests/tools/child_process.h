// Runs a program of the build as a real process, with its standard input given and its standard
// output and error collected.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace fidora::test {

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& input = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads standard output until it holds `needle` or `limit` has passed; true when it does.
  bool ReadUntil(std::string_view needle, std::chrono::milliseconds limit);

  // Reads everything and waits for the exit. Returns the exit status, or -1 when the process had
  // to be killed after `limit` (or ended by a signal).
  int Wait(std::chrono::milliseconds limit = std::chrono::seconds(20));

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  // Reads what is there within `wait_ms`; false when both pipes are at their end.
  bool Pump(int wait_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  bool exited_ = false;
};

// The path of a program of this build, e.g. Program("tools/client/fidora-client").
std::string Program(const std::string& relative);

}  // namespace fidora::test
