// Random edits, appends, deletes and recalls on a real table with three indexes open (one
// with a FOR condition, one descending), checked after every batch against the sorted keys
// of the table and by the index check.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "table_fixture.h"

namespace fidora::test {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(TableModel, RandomChangesKeepEveryIndexSorted) {
  TempDir dir;
  const std::string path = MakeTable(dir, "model");
  std::mt19937 rng(21);
  auto name = [&] {
    std::string s;
    for (int i = 0, n = 1 + static_cast<int>(rng() % 6); i < n; ++i) s += "abcAB"[rng() % 5];
    return s;
  };
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 1200; ++i) rows.emplace_back(name(), static_cast<int>(rng() % 200) - 100);
  FillTable(path, rows);
  auto t = OpenHandler(path);
  t->IndexOn(dir.dir() + "name.ntx", "", "UPPER(NAME)", "", false, true);
  t->IndexOn(dir.dir() + "num.ntx", "", "NUM", "", false, false);
  t->IndexOn(dir.dir() + "pos.ntx", "", "NAME+STR(NUM,5)", "NUM > 0", false, true);
  t->OpenIndexes("name.ntx;num.ntx;pos.ntx", "NAME");
  t->set_use_deleted(true);

  for (int op = 1; op <= 2000; ++op) {
    const auto dice = static_cast<unsigned>(rng() % 100);
    if (dice < 5) {
      AppendRow(*t, name(), static_cast<int>(rng() % 200) - 100);
    } else {
      const auto r = static_cast<uint32_t>(1 + rng() % t->record_count());
      t->ReadRecord(r);
      if (dice < 15) {
        if (t->TDbfFile::IsDeleted())
          t->Recall();
        else
          t->Delete();
      } else {
        if (dice % 2) t->SetFieldText("NAME", name());
        if (dice % 3) t->SetFieldText("NUM", std::to_string(static_cast<int>(rng() % 200) - 100));
        t->WriteRecord(r);
      }
    }
    if (op % 500 != 0) continue;
    for (const char* tag : {"NAME", "NUM", "POS"}) {
      const auto problems = CheckIndex(*t, tag);
      ASSERT_TRUE(problems.empty()) << tag << " after " << op << ": " << problems.front();
    }
    // The NAME order walks the table's keys in sorted order.
    std::vector<std::string> expected, walked;
    for (uint32_t r = 1; r <= t->record_count(); ++r) {
      t->ReadRecord(r);
      expected.push_back(Upper(t->FieldText("NAME")));
    }
    std::sort(expected.begin(), expected.end());
    t->SetOrder("NAME", false);
    for (uint32_t r : Walk(*t)) {
      t->ReadRecord(r);
      walked.push_back(Upper(t->FieldText("NAME")));
    }
    ASSERT_EQ(walked, expected) << "after " << op;
  }
}

}  // namespace
}  // namespace fidora::test
