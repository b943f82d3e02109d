// Random appends and edits against a sorted model of the order, with and without a FOR
// condition, unique and descending; the tree is checked after every batch.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <random>

#include "index_fixture.h"

namespace fidora::test {
namespace {

struct Config {
  bool unique, ascending, with_for;
};

class OrderModel {
 public:
  explicit OrderModel(const Config& c) : c_(c) {}
  void Insert(const std::string& key, uint32_t recno) {
    if (c_.unique)
      for (const auto& e : entries_)
        if (e.first == key) return;
    size_t pos = 0;
    while (pos < entries_.size() && Compare(key, entries_[pos].first) >= 0) ++pos;
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(pos), {key, recno});
  }
  bool Remove(uint32_t recno) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->second == recno) {
        entries_.erase(it);
        return true;
      }
    return false;
  }
  bool Has(uint32_t recno) const {
    for (const auto& e : entries_)
      if (e.second == recno) return true;
    return false;
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (const auto& e : entries_) out.push_back(e.first + ":" + std::to_string(e.second));
    return out;
  }
  // First entry not less than a prefix key (exact seek off).
  uint32_t Seek(const std::string& key) const {
    for (const auto& e : entries_)
      if (Compare(key, e.first, 0) <= 0) return Compare(key, e.first, 0) == 0 ? e.second : 0;
    return 0;
  }

 private:
  int Compare(const std::string& a, const std::string& b, int partial = -1) const {
    const int r = CompareKeys(a, b, partial);
    return c_.ascending ? r : -r;
  }
  Config c_;
  std::vector<std::pair<std::string, uint32_t>> entries_;
};

void RunModel(const Config& config, int operations, uint32_t seed) {
  SCOPED_TRACE(fmt::format("unique {} ascending {} for {} seed {}", config.unique, config.ascending,
                           config.with_for, seed));
  std::mt19937 rng(seed);
  auto random_key = [&] {
    std::string k;
    const int len = static_cast<int>(rng() % 7);  // empty keys too
    for (int i = 0; i < len; ++i) k += "ABCD"[rng() % 4];
    return k;
  };
  ModelTable table(IndexKeyValue::Text(std::string(8, ' ')));
  MemoryIndex index =
      CreateMemoryIndex(table, config.unique, config.ascending, config.with_for ? "FOR" : "");
  OrderModel model(config);
  TNtxTag& tag = index.file->Tag();

  for (int op = 1; op <= operations; ++op) {
    const bool accept = !config.with_for || rng() % 4 != 0;
    const std::string key = random_key();
    if (table.records.empty() || rng() % 10 < 6) {
      const uint32_t recno = table.Append(Rec(key, accept), {index.file.get()});
      if (accept) model.Insert(key, recno);
    } else {
      const auto recno = static_cast<uint32_t>(1 + rng() % table.records.size());
      const ModelRecord old = table.records[recno - 1];
      const ModelRecord now = rng() % 5 == 0 ? ModelRecord{old.key, accept} : Rec(key, accept);
      table.Edit(recno, now, {index.file.get()});
      const bool same = now.key.text == old.key.text;
      const bool had = model.Has(recno);
      if (!same || !now.accept) model.Remove(recno);
      if (now.accept && (!same || !had)) model.Insert(now.key.text, recno);
    }
    if (op % 250 == 0 || op == operations) {
      const std::vector<std::string> expected = model.Lines();
      ASSERT_EQ(NavigatedKeys(tag), expected) << "after " << op;
      std::vector<std::string> back = NavigatedKeys(tag, true);
      std::reverse(back.begin(), back.end());
      ASSERT_EQ(back, expected);
      tag.ReleaseKeyStack();
      ASSERT_EQ(WalkedKeys(*index.storage), expected);
      const auto problems = CheckNtxAgainstTable(*index.storage, table);
      ASSERT_TRUE(problems.empty()) << problems.front();
      for (int s = 0; s < 20; ++s) {
        const std::string probe = random_key();
        if (probe.empty()) continue;
        ASSERT_EQ(tag.SeekKey(probe), model.Seek(probe)) << probe;
      }
    }
  }
}

TEST(NtxModel, RandomUpdatesMatchASortedModel) {
  const Config configs[] = {
      {false, true, false}, {false, true, true},  {false, false, false},
      {true, true, false},  {false, false, true},
  };
  uint32_t seed = 1;
  for (const Config& c : configs) RunModel(c, 3000, seed++);
}

// A longer run in which the tree reaches three levels.
TEST(NtxModel, ThreeLevelTree) {
  ModelTable table(IndexKeyValue::Text(std::string(8, ' ')));
  MemoryIndex index = CreateMemoryIndex(table);
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 4000; ++i) {
    keys.push_back(fmt::format("{:06d}", rng() % 100000));
    table.Append(Rec(keys.back()), {index.file.get()});
  }
  index.file->Tag().ReleaseKeyStack();
  const NtxWalk walk = WalkNtx(*index.storage);
  EXPECT_GE(walk.depth, 3u);
  EXPECT_TRUE(CheckNtxAgainstTable(*index.storage, table).empty());
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(walk.entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(walk.entries[i].key, keys[i]);
}

// A block of records with one key moves to a key past every other and back, again and again,
// as renumbering a shopper moves the purchase-log rows: the removals empty whole pages and
// leave branches with no key of their own, and every entry must still be found and moved.
TEST(NtxModel, ABlockOfKeysMovesBackAndForth) {
  // Keys as a shopper's purchase-log rows have them: the number, then the date.
  ModelTable table(IndexKeyValue::Text(std::string(24, ' ')));
  MemoryIndex index = CreateMemoryIndex(table);
  TNtxTag& tag = index.file->Tag();
  OrderModel model({false, true, false});
  std::mt19937 rng(3);
  std::vector<std::pair<uint32_t, std::string>> block;  // record, date
  for (int i = 0; i < 3300; ++i) {
    const std::string date = fmt::format("2026{:04d}", rng() % 1300);
    const bool moving = i % 10 == 0 || i >= 3000;
    const std::string key =
        (moving ? std::string("1002") : fmt::format("{:04d}", 1000 + rng() % 200)) + date;
    const uint32_t recno = table.Append(Rec(key), {index.file.get()});
    model.Insert(key, recno);
    if (moving) block.emplace_back(recno, date);
  }
  for (int pass = 1; pass <= 4; ++pass) {
    const std::string number = pass % 2 == 1 ? "500 " : "1002";
    for (const auto& [recno, date] : block) {
      table.Edit(recno, Rec(number + date), {index.file.get()});
      model.Remove(recno);
      model.Insert(number + date, recno);
    }
    tag.ReleaseKeyStack();
    ASSERT_EQ(WalkedKeys(*index.storage), model.Lines()) << "pass " << pass;
    ASSERT_EQ(NavigatedKeys(tag), model.Lines()) << "pass " << pass;
    const auto problems = CheckNtxAgainstTable(*index.storage, table);
    ASSERT_TRUE(problems.empty()) << "pass " << pass << ": " << problems.front();
  }
}

}  // namespace
}  // namespace fidora::test
