// The one loop behind every wait for a lock another program may hold: file, record and
// index locks, and the services' record-lock retries.
#pragma once

#include <algorithm>
#include <chrono>

#include "engine/dbf/file_io.h"

namespace fidora {

// How a lock is waited for: `attempts` tries (at least one), `pause` apart.
struct TLockRetry {
  int attempts = 1;
  std::chrono::milliseconds pause{0};

  // As many tries as fit into the timeout at one every pause; one try when pause is not positive.
  static TLockRetry Within(std::chrono::milliseconds timeout, std::chrono::milliseconds pause) {
    if (pause.count() <= 0) return {1, pause};
    return {static_cast<int>(std::max<long long>(1, timeout / pause)), pause};
  }
};

// Calls try_lock until it returns true, at most retry.attempts times, and pause(retry.pause)
// between two tries (never after the last). True when a try succeeded.
template <typename TryLock, typename Pause>
bool RetryLockPausing(const TLockRetry& retry, TryLock&& try_lock, Pause&& pause) {
  for (int i = 0; i < retry.attempts; ++i) {
    if (try_lock()) return true;
    if (i + 1 < retry.attempts) pause(retry.pause);
  }
  return false;
}

// RetryLockPausing, sleeping through io.
template <typename TryLock>
bool RetryLock(const TLockRetry& retry, FileIo& io, TryLock&& try_lock) {
  return RetryLockPausing(retry, try_lock, [&io](std::chrono::milliseconds d) { io.SleepFor(d); });
}

}  // namespace fidora
