#include "net/table_locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace fidora {
namespace {

TEST(TableLocksTest, EnterWaitsUntilEveryNameIsFree) {
  TCritical locks;
  locks.Enter("b");
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    locks.Enter(
        "A\xA6"
        "B");
    entered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(entered);
  EXPECT_EQ(locks.Held(), std::vector<std::string>{"B"});  // nothing taken while waiting
  locks.Leave("B");
  waiter.join();
  EXPECT_TRUE(entered);
  EXPECT_EQ(locks.Held(), (std::vector<std::string>{"A", "B"}));
}

TEST(TableLocksTest, NamesAreComparedWithoutCaseAndLeftOneAtATime) {
  TCritical locks;
  EXPECT_TRUE(locks.TryEnter("club.dbf"));
  EXPECT_FALSE(
      locks.TryEnter("TRACKER.DBF\xA6"
                     "CLUB.DBF"));
  EXPECT_TRUE(locks.TryEnter("TRACKER.DBF"));
  locks.Leave("CLUB.DBF\xA6NOT.HELD");
  EXPECT_EQ(locks.Held(), std::vector<std::string>{"TRACKER.DBF"});
  // Duplicates in one text are held twice; an empty field is an empty name.
  EXPECT_TRUE(locks.TryEnter("X\xA6X\xA6"));
  EXPECT_FALSE(locks.TryEnter(""));
  locks.Leave("X");
  EXPECT_FALSE(locks.TryEnter("X"));
  locks.Leave("X\xA6");
  EXPECT_TRUE(locks.TryEnter("X"));
}

TEST(TableLocksTest, GuardLeavesOnEveryPath) {
  try {
    TTableLockGuard guard("STOCK.DBF");
    EXPECT_FALSE(TableLocks().TryEnter("stock.dbf"));
    throw std::runtime_error("handler failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(TableLocks().Held().empty());
}

}  // namespace
}  // namespace fidora
