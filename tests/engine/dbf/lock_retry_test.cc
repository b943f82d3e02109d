// The lock-retry loop: how often it tries and how long it pauses, through the I/O seam.
#include "engine/dbf/lock_retry.h"

#include <gtest/gtest.h>

#include "support/faulty_io.h"

namespace fidora {
namespace {

using std::chrono::milliseconds;

TEST(LockRetry, TriesUntilTheLockIsHadAndPausesOnlyBetweenTries) {
  struct Case {
    TLockRetry retry;
    int free_at;  // the try that succeeds (0: none)
    int tries;
    milliseconds slept;
    bool locked;
  };
  const Case cases[] = {
      {TLockRetry::Within(milliseconds(5000), milliseconds(50)), 0, 100, milliseconds(99 * 50),
       false},
      {TLockRetry::Within(milliseconds(5000), milliseconds(50)), 3, 3, milliseconds(100), true},
      {TLockRetry::Within(milliseconds(10), milliseconds(50)), 0, 1, milliseconds(0), false},
      {TLockRetry::Within(milliseconds(100), milliseconds(0)), 0, 1, milliseconds(0), false},
      {{100, milliseconds(50)}, 1, 1, milliseconds(0), true},
  };
  for (const Case& c : cases) {
    test::FaultyIo io;
    int tries = 0;
    const bool locked = RetryLock(c.retry, io, [&] { return ++tries == c.free_at; });
    EXPECT_EQ(locked, c.locked);
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(io.slept(), c.slept);
  }
}

}  // namespace
}  // namespace fidora
