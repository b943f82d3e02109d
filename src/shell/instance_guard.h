// The single-instance guard: an exclusive flock on the lock file "QOR_Morvex_Shopper.lock" in
// $XDG_RUNTIME_DIR (else /tmp/QOR_Morvex_Shopper-<uid>.lock), held for the life of the process.
// The kernel frees it when a server dies, so a crashed server never blocks the next start.
#pragma once

#include <chrono>
#include <string>

namespace fidora {

class TInstanceGuard {
 public:
  enum class TResult { Owned, AlreadyRunning, Failed };

  TInstanceGuard() = default;
  ~TInstanceGuard();
  TInstanceGuard(const TInstanceGuard&) = delete;
  TInstanceGuard& operator=(const TInstanceGuard&) = delete;

  // Tries for at most `wait` to become the one server.
  TResult Acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(200));

  static std::string LockFilePath();

 private:
  int fd_ = -1;
};

}  // namespace fidora
