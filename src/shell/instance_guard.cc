#include "shell/instance_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace fidora {

std::string TInstanceGuard::LockFilePath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/QOR_Morvex_Shopper.lock";
  return "/tmp/QOR_Morvex_Shopper-" + std::to_string(::getuid()) + ".lock";
}

TInstanceGuard::~TInstanceGuard() {
  if (fd_ >= 0) ::close(fd_);
}

TInstanceGuard::TResult TInstanceGuard::Acquire(std::chrono::milliseconds wait) {
  if (fd_ < 0) fd_ = ::open(LockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return TResult::Failed;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return TResult::Owned;
    if (errno != EWOULDBLOCK && errno != EINTR) return TResult::Failed;
    if (std::chrono::steady_clock::now() >= deadline) return TResult::AlreadyRunning;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace fidora
