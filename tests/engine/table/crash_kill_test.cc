// The engine's work killed (SIGKILL) at random points: a pack, a reindex and appends with two
// indexes, each run in a child process whose I/O calls end it at a chosen call (a write may
// be torn at a sector boundary first). Afterwards the table holds either its old or its new
// contents, and every index file is either right for it or opens as corrupted and is rebuilt
// from its own header; appends lose no acknowledged record, and the next append completes
// what a killed one left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <set>

#include "crash_fixture.h"

namespace fidora::test {
namespace {

constexpr int kKillPoints = 50;

// kKillPoints distinct calls out of 1..calls, spread at random (a fixed seed: runs repeat).
std::vector<int64_t> KillPoints(int64_t calls, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int64_t> pick(1, calls);
  std::set<int64_t> points;
  while (static_cast<int64_t>(points.size()) < std::min<int64_t>(kKillPoints, calls))
    points.insert(pick(rng));
  return {points.begin(), points.end()};
}

class CrashKill : public ::testing::Test {
 protected:
  void SetUp() override { CrashShop::Build(shop_); }

  // A fresh copy of the shop (or of another) for one run.
  std::string Fresh() { return Fresh(shop_); }
  std::string Fresh(const TempDir& from) {
    CopyFiles(from.path(), runs_ / "run");
    return (runs_ / "run").string() + "/";
  }

  // A pack of the shop in dir with both index files open, run by a child.
  static ChildWork Pack(const std::string& dir) {
    return [dir](FileIo& io, const auto&) {
      auto t = OpenShop(dir, io, /*exclusive=*/true);
      t->OpenIndexes("NAMES.NTX;NUMS.NTX", "NAMES");
      t->Pack();
    };
  }

  // The records a pack leaves: the live ones.
  static std::vector<std::string> Packed(const std::vector<std::string>& records) {
    std::vector<std::string> packed;
    std::copy_if(records.begin(), records.end(), std::back_inserter(packed),
                 [](const std::string& r) { return r[0] != '*'; });
    return packed;
  }

  // An invalid index is rebuilt from its own header; then (as a valid one) it must be right.
  void ExpectRightOrRebuilt(const std::string& dir, const std::string& index, int* invalid) {
    IndexVerdict v = Inspect(dir, index);
    if (v.invalid) {
      ++*invalid;
      OpenShop(dir, SystemFileIo())->ReindexFile(dir + index);
      v = Inspect(dir, index);
      EXPECT_FALSE(v.invalid) << index << " rebuilt from its header";
    }
    EXPECT_TRUE(v.problems.empty()) << index << ": " << v.problems.front();
  }

  TempDir shop_, runs_;
};

TEST_F(CrashKill, PackLeavesOldOrPackedTableAndNoWrongIndex) {
  const std::vector<std::string> before = Records(shop_.dir());
  const std::vector<std::string> packed = Packed(before);
  const int64_t calls = RunInChild(Pack(Fresh()), CallCountingIo::Mode::kCount).calls;
  int killed = 0, old_table = 0, invalid = 0;
  for (int64_t at : KillPoints(calls, 14001)) {
    SCOPED_TRACE("killed at I/O call " + std::to_string(at) + " of " + std::to_string(calls));
    const std::string dir = Fresh();
    killed +=
        RunInChild(Pack(dir), CallCountingIo::Mode::kKill, at, static_cast<unsigned>(at)).killed;
    const std::vector<std::string> records = Records(dir);
    ASSERT_TRUE(records == before || records == packed) << "the table is neither old nor packed";
    old_table += records == before;
    for (const std::string& index : CrashShop::kIndexes) ExpectRightOrRebuilt(dir, index, &invalid);
  }
  EXPECT_EQ(killed, kKillPoints);
  std::cout << "pack: " << calls << " I/O calls, " << killed << " kills: " << old_table
            << " left the old table, " << killed - old_table << " the packed one; " << invalid
            << " index files were left invalid and rebuilt from their headers\n";
}

// A table with memo texts switches two files: killed at every one of its I/O calls, the pack
// leaves each record with its own memo text, in the old table or the packed one.
TEST_F(CrashKill, PackOfAMemoTableKeepsEveryRecordWithItsMemoText) {
  TempDir memo_shop;
  CrashShop::Build(memo_shop, 40, /*with_memo=*/true);
  const std::vector<std::string> before = Records(memo_shop.dir());
  const std::vector<std::string> packed = Packed(before);
  const int64_t calls = RunInChild(Pack(Fresh(memo_shop)), CallCountingIo::Mode::kCount).calls;
  int old_table = 0, invalid = 0;
  for (int64_t at = 1; at <= calls; ++at) {
    SCOPED_TRACE("killed at I/O call " + std::to_string(at) + " of " + std::to_string(calls));
    const std::string dir = Fresh(memo_shop);
    ASSERT_TRUE(
        RunInChild(Pack(dir), CallCountingIo::Mode::kKill, at, static_cast<unsigned>(at)).killed);
    const std::vector<std::string> records = Records(dir);
    ASSERT_TRUE(records == before || records == packed) << "the table is neither old nor packed";
    old_table += records == before;
    for (const std::string& index : CrashShop::kIndexes) ExpectRightOrRebuilt(dir, index, &invalid);
  }
  std::cout << "pack with memo texts: killed at each of " << calls << " I/O calls: " << old_table
            << " left the old table, " << calls - old_table << " the packed one; " << invalid
            << " index files were left invalid and rebuilt from their headers\n";
}

TEST_F(CrashKill, ReindexLeavesEveryIndexOldOrNew) {
  const std::vector<std::string> before = Records(shop_.dir());
  // The handler's reindex of its open files, and each file rebuilt from its own header as
  // fidora-dbf reindex does.
  const auto reindex = [](const std::string& dir, bool by_file) -> ChildWork {
    return [dir, by_file](FileIo& io, const auto&) {
      auto t = OpenShop(dir, io);
      if (by_file) {
        for (const std::string& index : CrashShop::kIndexes) t->ReindexFile(dir + index);
        return;
      }
      t->OpenIndexes("NAMES.NTX;NUMS.NTX", "NUMS");
      t->Reindex();
    };
  };
  for (const bool by_file : {false, true}) {
    const int64_t calls = RunInChild(reindex(Fresh(), by_file), CallCountingIo::Mode::kCount).calls;
    int killed = 0, invalid = 0;
    for (int64_t at : KillPoints(calls, by_file ? 14012 : 14002)) {
      SCOPED_TRACE("killed at I/O call " + std::to_string(at) + " of " + std::to_string(calls));
      const std::string dir = Fresh();
      killed += RunInChild(reindex(dir, by_file), CallCountingIo::Mode::kKill, at,
                           static_cast<unsigned>(at))
                    .killed;
      ASSERT_EQ(Records(dir), before);
      for (const std::string& index : CrashShop::kIndexes)
        ExpectRightOrRebuilt(dir, index, &invalid);
    }
    // A rebuild of these small files may take fewer calls than there are kill points: then it
    // is killed at every one of them.
    EXPECT_EQ(killed, std::min<int64_t>(kKillPoints, calls));
    EXPECT_EQ(invalid, 0) << "a rebuild replaces a file whole: it never leaves one invalid";
    std::cout << (by_file ? "reindex from headers: " : "reindex: ") << calls << " I/O calls, "
              << killed << " kills, every index old or new\n";
  }
}

TEST_F(CrashKill, AppendsWithTwoIndexesLoseNothingAndTheNextAppendCompletesThem) {
  constexpr int kAppends = 25;
  const std::vector<std::string> before = Records(shop_.dir());
  const auto appends = [](const std::string& dir) -> ChildWork {
    return [dir](FileIo& io, const auto& ack) {
      auto t = OpenShop(dir, io);
      t->OpenIndexes("NAMES.NTX;NUMS.NTX", "NAMES");
      for (int i = 1; i <= kAppends; ++i) {
        const std::string name = fmt::format("A{:03}", i);
        t->BlankRecord();
        t->SetFieldText("NAME", name);
        t->SetFieldText("NUM", std::to_string(i % 5));
        t->AppendRecord();
        ack(name);
      }
    };
  };
  const int64_t calls = RunInChild(appends(Fresh()), CallCountingIo::Mode::kCount).calls;
  int killed = 0, invalid = 0, lacking = 0;
  for (int64_t at : KillPoints(calls, 14003)) {
    SCOPED_TRACE("killed at I/O call " + std::to_string(at) + " of " + std::to_string(calls));
    const std::string dir = Fresh();
    const ChildRun run =
        RunInChild(appends(dir), CallCountingIo::Mode::kKill, at, static_cast<unsigned>(at));
    killed += run.killed;
    // Every acknowledged record is there, in order; at most the one being appended follows.
    std::vector<std::string> records = Records(dir);
    ASSERT_TRUE(std::equal(before.begin(), before.end(), records.begin()));
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(before.size()));
    ASSERT_GE(records.size(), run.acknowledged.size());
    ASSERT_LE(records.size(), run.acknowledged.size() + 1);
    for (size_t i = 0; i < run.acknowledged.size(); ++i)
      EXPECT_EQ(records[i].substr(0, 4), run.acknowledged[i]);

    // An index the kill left behind the table is noticed by the quick check of its last record.
    for (const std::string& index : CrashShop::kIndexes) {
      const IndexVerdict v = Inspect(dir, index);
      if (v.invalid) {
        ++invalid;
        OpenShop(dir, SystemFileIo())->ReindexFile(dir + index);
      } else if (!v.problems.empty()) {
        ++lacking;
        auto t = OpenShop(dir, SystemFileIo());
        t->OpenIndex(dir + index);
        EXPECT_FALSE(t->IndexHoldsRecord(index.substr(0, index.find('.')), t->record_count()))
            << index << ": " << v.problems.front();
      }
    }
    // The next append completes the entries; then both indexes are right and find every
    // acknowledged record.
    auto t = OpenShop(dir, SystemFileIo());
    t->OpenIndexes("NAMES.NTX;NUMS.NTX", "NAMES");
    AppendRow(*t, "NEXT", 1);
    for (const std::string& index : CrashShop::kIndexes) {
      const IndexVerdict v = Inspect(dir, index);
      EXPECT_FALSE(v.invalid);
      EXPECT_TRUE(v.problems.empty()) << index << ": " << v.problems.front();
    }
    for (const std::string& name : run.acknowledged) EXPECT_TRUE(t->Find(name)) << name;
  }
  EXPECT_EQ(killed, kKillPoints);
  std::cout << "appends: " << calls << " I/O calls, " << killed << " kills; " << lacking
            << " index files lacked the last record until the next append, " << invalid
            << " were left invalid mid-change and rebuilt\n";
}

}  // namespace
}  // namespace fidora::test
