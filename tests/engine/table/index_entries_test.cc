// Index entries checked against their records: a stale entry is reported instead of followed,
// the quick check of one record's entry, appends that complete what a stopped append left
// out, and rebuilds that replace a file only when nobody else has it open. The errors carry
// their kinds.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/dbf/xb_error.h"
#include "support/raw_records.h"
#include "support/xb_error_text.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

struct Names {
  TempDir dir;
  std::unique_ptr<TTableHandler> t;
  std::string index;
  Names() {
    const std::string path = MakeTable(dir, "names");
    FillTable(path, {{"apple", 1}, {"pear", 2}, {"fig", 3}, {"kiwi", 4}});
    t = OpenHandler(path, true);
    index = dir.dir() + "names.ntx";
    t->IndexOn(index, "", "UPPER(NAME)", "", false, true);
    t->OpenIndexes("names.ntx", "NAMES");
  }
  // Changes a record's NAME in the file only, as a program without the index would.
  void RenameBehindTheIndex(uint32_t recno, const std::string& name) {
    std::fstream f(t->path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(t->header_length() + (recno - 1) * t->record_length() + 1);
    f << fmt::format("{:<16}", name);
  }
};

XbErrorKind KindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EXbError& e) {
    return e.kind();
  }
  return XbErrorKind::kOther;
}

TEST(IndexEntries, AStaleEntryIsReportedInsteadOfFollowed) {
  Names n;
  n.RenameBehindTheIndex(2, "zebra");  // the entry PEAR now names a record holding ZEBRA
  const std::string corrupted = "Index file names.ntx->NAMES is corrupted";
  // A lookup, a near seek, an ordered walk and a skip all land on record 2 by its entry.
  EXPECT_EQ(ErrorOf([&] { n.t->SeekInTag("NAMES", "PEAR"); }), corrupted);
  n.t->set_near(true);
  EXPECT_EQ(ErrorOf([&] { n.t->Find("PEA"); }), corrupted);
  EXPECT_EQ(ErrorOf([&] {
              for (bool ok = n.t->ReadRecord(kRecFirst); ok; ok = n.t->ReadRecord(kRecNext)) {
              }
            }),
            corrupted);
  n.t->set_use_deleted(true);
  n.t->ReadRecord(1);
  EXPECT_EQ(ErrorOf([&] { n.t->Skip(3); }), corrupted) << "the fast skip reads by entry too";
  EXPECT_EQ(KindOf([&] { n.t->SeekInTag("NAMES", "PEAR"); }), XbErrorKind::kCorrupted);
  // Entries that still match are found as ever; the reindex mends the stale one.
  EXPECT_EQ(n.t->SeekInTag("NAMES", "KIWI"), 4u);
  n.t->Reindex();
  EXPECT_EQ(n.t->SeekInTag("NAMES", "ZEBRA"), 2u);
  EXPECT_EQ(Walk(*n.t), (std::vector<uint32_t>{1, 3, 4, 2}));
}

TEST(IndexEntries, AppendCompletesTheEntriesTheLastRecordsLack) {
  Names n;
  // Two records land in the table without their entries, as an append stopped between the
  // record and the index (or a program without the index) leaves them.
  AppendRawRecords(n.t->path(), 2, [](uint32_t i, std::string& out) {
    out += fmt::format(" {:<16.16}{:>5}{:8}", i == 0 ? "plum" : "date", 5 + i, "");
  });
  n.t->RefreshHeader();
  EXPECT_TRUE(n.t->IndexHoldsRecord("NAMES", 4));
  EXPECT_FALSE(n.t->IndexHoldsRecord("NAMES", 5));
  EXPECT_FALSE(n.t->IndexHoldsRecord("names", 6));
  EXPECT_EQ(KindOf([&] { n.t->IndexHoldsRecord("NAMES", 7); }), XbErrorKind::kNotFound);
  EXPECT_EQ(KindOf([&] { n.t->IndexHoldsRecord("OTHER", 1); }), XbErrorKind::kNotFound);
  EXPECT_EQ(AppendRow(*n.t, "cherry", 7), 7u);
  for (uint32_t r = 1; r <= 7; ++r) EXPECT_TRUE(n.t->IndexHoldsRecord("NAMES", r)) << r;
  EXPECT_TRUE(CheckIndex(*n.t, "NAMES").empty());
  EXPECT_EQ(n.t->SeekInTag("NAMES", "PLUM"), 5u);
}

TEST(IndexEntries, QuickCheckFindsARecordAmongManyEqualKeys) {
  TempDir dir;
  const std::string path = MakeTable(dir, "same");
  std::vector<std::pair<std::string, int>> rows(3000, {"same", 1});
  FillTable(path, rows);
  auto t = OpenHandler(path, true);
  t->IndexOn(dir.dir() + "same.ntx", "", "NAME", "", false, true);
  t->OpenIndexes("same.ntx", "SAME");
  for (uint32_t r : {1u, 1500u, 3000u}) EXPECT_TRUE(t->IndexHoldsRecord("SAME", r)) << r;
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);  // behind the index
  f.seekp(t->header_length() + 1499 * t->record_length() + 1);
  f << "other";
  f.close();
  EXPECT_FALSE(t->IndexHoldsRecord("SAME", 1500));
  EXPECT_TRUE(t->IndexHoldsRecord("SAME", 1499));
}

// A record that lacks its entry among many of the same key gets it back when it is written with
// its key unchanged: in the master order and outside it, and also when the entries of its key
// were read just before for another record's write.
TEST(IndexEntries, AWriteThatKeepsTheKeyAddsTheEntryTheIndexLacks) {
  struct Case {
    const char* master;  // the selected order
    bool key_read_before;
  };
  for (const Case c : {Case{"", false}, Case{"", true}, Case{"SAME", false}, Case{"SAME", true}}) {
    SCOPED_TRACE(testing::Message()
                 << "master '" << c.master << "', read before " << c.key_read_before);
    TempDir dir;
    const std::string path = MakeTable(dir, "same");
    FillTable(path, std::vector<std::pair<std::string, int>>(500, {"same", 1}));
    auto t = OpenHandler(path, true);
    t->IndexOn(dir.dir() + "same.ntx", "", "NAME", "", false, true);
    AppendRawRecords(path, 1, [](uint32_t, std::string& out) {
      out += fmt::format(" {:<16.16}{:>5}{:8}", "same", 2, "");
    });
    t->RefreshHeader();
    t->OpenIndexes("same.ntx", c.master);
    auto write_num = [&](uint32_t r, int num) {
      ASSERT_TRUE(t->ReadRecord(r));
      ASSERT_TRUE(t->LockRecord(r));
      t->SetFieldText("NUM", std::to_string(num));
      t->WriteRecord(r);
      t->Unlock();
    };
    if (c.key_read_before) write_num(250, 7);
    ASSERT_FALSE(t->IndexHoldsRecord("SAME", 501));
    write_num(501, 3);
    EXPECT_TRUE(t->IndexHoldsRecord("SAME", 501));
    EXPECT_TRUE(CheckIndex(*t, "SAME").empty());
    write_num(501, 4);  // and once there, it is not added twice
    EXPECT_TRUE(CheckIndex(*t, "SAME").empty());
  }
}

TEST(IndexEntries, ARebuildReplacesTheFileOnlyWhenNobodyElseHasItOpen) {
  Names n;
  const auto before = std::filesystem::file_size(n.index);
  TDiskFile reader(n.index, true, false);
  reader.Open();
  EXPECT_EQ(ErrorOf([&] { n.t->IndexOn(n.index, "", "NAME", "", false, true); }),
            "Access denied to file " + n.index);
  n.t->OpenIndexes("names.ntx", "NAMES");
  EXPECT_EQ(ErrorOf([&] { n.t->Reindex(); }), "Access denied to file " + n.index);
  EXPECT_EQ(std::filesystem::file_size(n.index), before);
  EXPECT_FALSE(std::filesystem::exists(n.index + ".tmp")) << "the new file is not left behind";
  EXPECT_TRUE(CheckIndex(*n.t, "NAMES").empty()) << "the old file is still in use";
  reader.Close();
  n.t->Reindex();
  EXPECT_TRUE(CheckIndex(*n.t, "NAMES").empty());
}

TEST(IndexEntries, ErrorsCarryTheirKinds) {
  Names n;
  const std::string table = n.t->path();
  const struct {
    const char* what;
    std::function<void()> fail;
    XbErrorKind kind;
  } cases[] = {
      {"missing table", [&] { TTableHandler(n.dir.dir() + "none.dbf", true, false).Open(); },
       XbErrorKind::kNotFound},
      {"missing tag", [&] { n.t->SetOrder("NONE", false); }, XbErrorKind::kNotFound},
      {"exclusive open of a shared table", [&] { TTableHandler(table, false, true).Open(); },
       XbErrorKind::kAccessDenied},
      {"pack of a shared table", [&] { n.t->Pack(); }, XbErrorKind::kAccessDenied},
      {"bad filter", [&] { n.t->SetFilter("NAME +", false, true); }, XbErrorKind::kExpression},
      {"filter without a logical", [&] { n.t->SetFilter("NAME", false, true); },
       XbErrorKind::kExpression},
      {"a second record lock",
       [&] {
         ASSERT_TRUE(n.t->LockRecord(1));
         n.t->LockRecord(2);
       },
       XbErrorKind::kLock},
      {"damaged header",
       [&] {
         std::ofstream(n.dir.dir() + "bad.dbf") << "not a table at all, not at all";
         TTableHandler(n.dir.dir() + "bad.dbf", true, false).Open();
       },
       XbErrorKind::kCorrupted},
      {"value too big", [&] { n.t->SetFieldText("NUM", "1234567"); }, XbErrorKind::kOther},
  };
  for (const auto& c : cases) EXPECT_EQ(KindOf(c.fail), c.kind) << c.what;
  n.t->Unlock();
}

}  // namespace
}  // namespace fidora::test
