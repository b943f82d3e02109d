// The table handler on real files: ordered navigation, seeks, index upkeep, pack and zap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/dbf/xb_error.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

using Recs = std::vector<uint32_t>;

TEST(TableHandler, IndexOnAnEmptyTableGivesTheDocumentedFile) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "club"));
  t->IndexOn(dir.dir() + "club.ntx", "", "UPPER(NAME)", "", false, true);
  EXPECT_EQ(t->TagCount(), 0);  // IndexOn leaves no index file open
  EXPECT_EQ(std::filesystem::file_size(dir / "club.ntx"), 2048u);
  TIndexDiskStorage s(dir.dir() + "club.ntx", false, false, false);
  const NtxWalk w = WalkNtx(s);
  EXPECT_EQ(w.header.key_size, 16);
  EXPECT_EQ(w.header.max_items, 38);
  EXPECT_EQ(w.header.root, 1024u);
  EXPECT_EQ(w.header.key_expr, "UPPER(NAME)");
}

struct Shop {
  TempDir dir;
  std::unique_ptr<TTableHandler> t;
  Shop() {
    t = OpenHandler(MakeTable(dir, "shop"));
    const char* names[] = {"pear", "Apple", "fig", "apricot", "banana", "cherry"};
    const int nums[] = {5, -10, 0, -5, 12, 3};
    for (int i = 0; i < 6; ++i) AppendRow(*t, names[i], nums[i], i % 2 ? "" : "01/03/2024");
    t->IndexOn(dir.dir() + "names.ntx", "", "UPPER(NAME)", "", false, true);
    t->IndexOn(dir.dir() + "nums.ntx", "", "NUM", "", false, true);
    t->IndexOn(dir.dir() + "days.ntx", "", "DTOS(DAY)+UPPER(NAME)", "", false, false);
    t->OpenIndexes("names.ntx;nums.ntx, days.ntx", "NAMES");
  }
};

TEST(TableHandler, NavigatesInTagOrderAndHidesDeletedRecords) {
  Shop s;
  TTableHandler& t = *s.t;
  EXPECT_EQ(Walk(t), (Recs{2, 4, 5, 6, 3, 1}));
  t.SetOrder("nums", true);
  EXPECT_EQ(Walk(t), (Recs{2, 4, 3, 6, 1, 5}));  // -10, -5, 0, 3, 5, 12
  t.SetOrder("DAYS", false);
  EXPECT_EQ(Walk(t), (Recs{1, 3, 5, 6, 4, 2}));  // descending: dated first
  t.SetOrder("NAMES", false);
  t.ReadRecord(4);
  t.Delete();
  t.ReadRecord(2);
  t.Delete();
  EXPECT_EQ(Walk(t), (Recs{5, 6, 3, 1}));
  EXPECT_TRUE(t.ReadRecord(2));  // by number a deleted record is still read
  t.set_use_deleted(true);
  EXPECT_EQ(Walk(t), (Recs{2, 4, 5, 6, 3, 1}));
  t.SetOrder("", false);
  EXPECT_EQ(Walk(t), (Recs{1, 2, 3, 4, 5, 6}));
  EXPECT_THROW(t.SetOrder("NOPE", false), EXbError);
}

TEST(TableHandler, FindHonoursExactAndNear) {
  Shop s;
  TTableHandler& t = *s.t;
  EXPECT_TRUE(t.Find("AP"));
  EXPECT_EQ(t.recno(), 2u);  // APPLE
  t.set_exact(true);
  EXPECT_FALSE(t.Find("AP"));
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.recno(), 1u);  // the bottom record (PEAR) is current
  EXPECT_TRUE(t.Find("FIG"));
  EXPECT_EQ(t.recno(), 3u);
  t.set_exact(false);
  t.set_near(true);
  EXPECT_FALSE(t.Find("CA"));
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(t.recno(), 6u);  // CHERRY, the next greater key
  t.set_near(false);
  EXPECT_FALSE(t.Find("ZZZ"));
  EXPECT_TRUE(t.Eof());

  t.SetOrder("NUMS", false);
  EXPECT_TRUE(t.Find("-5"));
  EXPECT_EQ(t.recno(), 4u);
  // A lookup in another tag is exact and leaves the table where it is.
  EXPECT_EQ(t.SeekInTag("NAMES", "FIG"), 3u);
  EXPECT_EQ(t.SeekInTag("NAMES", "FI"), 0u);
  EXPECT_EQ(t.recno(), 4u);
  t.Skip(1);
  EXPECT_EQ(t.recno(), 3u);  // NUMS order goes on from -5 to 0
}

TEST(TableHandler, SkipAndFilter) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "four"));
  for (int i = 1; i <= 4; ++i) AppendRow(*t, fmt::format("N{}", i), i);
  t->set_use_deleted(true);
  t->ReadRecord(3);
  t->Skip(5);
  EXPECT_EQ(t->recno(), 4u);
  EXPECT_TRUE(t->Eof());

  t->SetFilterRequested(true);
  t->SetFilter("NUM > 1 .AND. NUM < 4", false, true);
  EXPECT_EQ(Walk(*t), (Recs{2, 3}));
  t->ReadRecord(2);
  t->SetFieldText("NUM", "9");
  t->WriteRecord(2);  // the written record leaves the filter set
  EXPECT_EQ(Walk(*t), (Recs{3}));
  t->SetFilter("NUM > 100", false, true);
  EXPECT_FALSE(t->ReadRecord(kRecFirst));
  EXPECT_TRUE(t->Eof() && t->Bof());
  EXPECT_THROW(t->SetFilter("NAME", false, true), EXbError);
  EXPECT_EQ(t->CountRecords(false), 4u);
}

TEST(TableHandler, WritesKeepEveryOpenIndexCurrent) {
  Shop s;
  TTableHandler& t = *s.t;
  for (int i = 0; i < 150; ++i) AppendRow(t, fmt::format("name{:03d}", (i * 37) % 150), i - 75);
  for (uint32_t r = 1; r <= t.record_count(); r += 3) {
    t.ReadRecord(r);
    t.SetFieldText("NAME", fmt::format("edited{}", r));
    t.SetFieldText("NUM", std::to_string(1000 - static_cast<int>(r)));
    t.WriteRecord(r);
  }
  for (const char* f : {"NAMES", "NUMS", "DAYS"}) {
    const auto problems = CheckIndex(t, f);
    EXPECT_TRUE(problems.empty()) << f << ": " << problems.front();
  }
  EXPECT_TRUE(t.Find("EDITED100"));
  EXPECT_EQ(t.recno(), 100u);
}

TEST(TableHandler, LocateUsesATagOrScans) {
  Shop s;
  TTableHandler& t = *s.t;
  EXPECT_TRUE(t.Locate("NAME", {"FIG"}, 0, false, true));
  EXPECT_EQ(t.recno(), 3u);
  EXPECT_TRUE(t.Locate("NUM", {"-5"}, 0, false, false));
  EXPECT_EQ(t.recno(), 4u);
  EXPECT_TRUE(t.Locate("NAME", {"ban"}, 0, true, false));  // partial scan
  EXPECT_EQ(t.recno(), 5u);
  EXPECT_FALSE(t.Locate("NAME", {"kiwi"}, 0, false, false));
}

// An accented name (Windows-1252 bytes: "Ch\xE2teau" is Château, "CH\xC2TEAU" its upper case)
// folds the same way in the index key, the tag name, a case-insensitive locate, file and field
// names.
TEST(TableHandler, AccentedNamesFoldAlikeOnEveryPath) {
  TempDir dir;
  TDbfBuild build(dir.dir() + "wine");
  build.AddField("NAME", 'C', 16, 0);
  build.AddField("r\xE9gion", 'C', 10, 0);
  build.Build();
  auto t = OpenHandler(build.path());
  for (const char* name : {"Margaux", "Ch\xE2teau"}) {
    t->BlankRecord();
    t->SetFieldText("NAME", name);
    t->AppendRecord();
  }
  EXPECT_EQ(t->FieldNo("R\xC9GION"), 2);
  EXPECT_EQ(t->FieldNo("r\xE9gion"), 2);

  t->IndexOn(dir.dir() + "Ch\xE2teau.ntx", "", "UPPER(NAME)", "", false, true);
  ASSERT_EQ(t->OpenIndexes("Ch\xE2teau.ntx", ""), 0);
  EXPECT_EQ(t->TagByNumber(1)->TagName(), "CH\xC2TEAU");
  EXPECT_EQ(t->OpenIndex("CH\xC2TEAU.NTX"), -1);  // the same file, already open
  for (const char* tag : {"ch\xE2teau", "CH\xC2TEAU"}) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(t->SeekInTag(tag, "CH\xC2TEAU"), 2u);
    t->SetOrder(tag, false);
    EXPECT_TRUE(t->Find("CH\xC2TEAU"));
    EXPECT_EQ(t->recno(), 2u);
  }

  t->SetOrder("", false);
  for (const char* wanted : {"CH\xC2TEAU", "ch\xE2teau"}) {
    SCOPED_TRACE(wanted);
    t->ReadRecord(1);
    EXPECT_TRUE(t->Locate("NAME", {wanted}, 0, false, true));
    EXPECT_EQ(t->recno(), 2u);
  }
  EXPECT_FALSE(t->Locate("NAME", {"CH\xC2TEAU"}, 0, false, false));
}

TEST(TableHandler, PackRebuildsAndReplacesTheTable) {
  TempDir dir;
  const std::string path = MakeTable(dir, "packme", true);
  auto t = OpenHandler(path);
  for (int i = 1; i <= 10; ++i) {
    AppendRow(*t, fmt::format("row{:02d}", 11 - i), i);
    t->SetMemo(t->FieldNo("NOTE"), fmt::format("memo of row {}", i));
    t->WriteRecord(t->recno());
  }
  t->IndexOn(dir.dir() + "rows.ntx", "", "NAME", "", false, true);
  t->OpenIndexes("rows.ntx", "ROWS");
  for (uint32_t r : {2u, 5u, 9u}) {
    t->ReadRecord(r);
    t->Delete();
  }
  const uint32_t header = t->header_length(), rec = t->record_length();
  t->Pack();
  EXPECT_EQ(t->record_count(), 7u);
  EXPECT_EQ(std::filesystem::file_size(path), header + 7 * rec + 1);
  EXPECT_EQ(Walk(*t), (Recs{7, 6, 5, 4, 3, 2, 1}));  // rows 10..1 without 9, 6, 2 by name
  {
    auto p = CheckIndex(*t, "ROWS");
    EXPECT_TRUE(p.empty()) << p.front();
  }
  t->ReadRecord(2);
  EXPECT_EQ(t->FieldText("NAME"), "row08");
  EXPECT_EQ(t->GetMemo(t->FieldNo("NOTE")), "memo of row 3");
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
  EXPECT_EQ(files, 3u);  // packme.dbf, packme.dbt, rows.ntx: no temporary file left
}

TEST(TableHandler, ZapEmptiesTableMemoAndIndexes) {
  TempDir dir;
  const std::string path = MakeTable(dir, "zapme", true);
  auto t = OpenHandler(path);
  for (int i = 1; i <= 50; ++i) {
    AppendRow(*t, fmt::format("z{}", i), i);
    t->SetMemo(t->FieldNo("NOTE"), "some memo text");
    t->WriteRecord(t->recno());
  }
  t->IndexOn(dir.dir() + "z.ntx", "", "NAME", "", false, true);
  t->OpenIndexes("z.ntx", "Z");
  t->Zap();
  EXPECT_EQ(t->record_count(), 0u);
  EXPECT_EQ(std::filesystem::file_size(path), t->header_length() + 1);
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(t->header_length()));
  EXPECT_EQ(in.get(), 0x1A);
  EXPECT_EQ(std::filesystem::file_size(dir / "zapme.dbt"), 512u);
  EXPECT_EQ(std::filesystem::file_size(dir / "z.ntx"), 2048u);
  EXPECT_FALSE(t->ReadRecord(kRecFirst));
  AppendRow(*t, "again", 1);
  EXPECT_EQ(Walk(*t), Recs{1});
  {
    auto p = CheckIndex(*t, "Z");
    EXPECT_TRUE(p.empty()) << p.front();
  }
}

TEST(TableHandler, RenameTakesTheIndexNamedLikeTheTable) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "old"));
  AppendRow(*t, "x", 1);
  t->IndexOn(dir.dir() + "old.ntx", "", "NAME", "", false, true);
  t->IndexOn(dir.dir() + "other.ntx", "", "NUM", "", false, true);
  t->OpenIndexes("old.ntx;other.ntx", "OLD");
  t->Rename("new");
  EXPECT_TRUE(std::filesystem::exists(dir / "new.ntx"));
  EXPECT_TRUE(std::filesystem::exists(dir / "other.ntx"));
  EXPECT_FALSE(std::filesystem::exists(dir / "old.ntx"));
  EXPECT_EQ(t->MasterName(), "NEW");
  AppendRow(*t, "y", 2);  // the renamed index is still open and kept current
  EXPECT_TRUE(CheckIndex(*t, "NEW").empty());
  EXPECT_TRUE(CheckIndex(*t, "OTHER").empty());
}

TEST(TableHandler, PackAndZapNeedAnExclusiveTable) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "shared"), true);
  EXPECT_THROW(t->Pack(), EXbError);
  EXPECT_THROW(t->Zap(), EXbError);
}

}  // namespace
}  // namespace fidora::test

namespace fidora::test {
namespace {

TEST(TableHandler, DeletedRecordsAreIndexedAndSkipped) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "gone"));
  for (int i = 1; i <= 5; ++i) AppendRow(*t, fmt::format("r{}", 6 - i), i);
  for (uint32_t r : {1u, 2u}) {
    t->ReadRecord(r);
    t->Delete();
  }
  EXPECT_TRUE(t->ReadRecord(kRecFirst));
  EXPECT_EQ(t->recno(), 3u);  // physical order, the first two hidden
  t->ReadRecord(3);
  t->Delete();
  t->ReadRecord(4);
  t->Delete();
  t->ReadRecord(5);
  t->Delete();
  // Every record deleted: the index still holds them all.
  t->IndexOn(dir.dir() + "gone.ntx", "", "NAME", "", false, true);
  t->OpenIndexes("gone.ntx", "GONE");
  EXPECT_EQ(t->IndexFileOfTag("GONE")->Tag().ReadKey(TxReadMode::kFirst), 5u);
  EXPECT_TRUE(CheckIndex(*t, "GONE").empty());
  EXPECT_FALSE(t->ReadRecord(kRecFirst));
  EXPECT_TRUE(t->Eof());
}

TEST(TableHandler, ForConditionFollowsEdits) {
  TempDir dir;
  auto t = OpenHandler(MakeTable(dir, "cond"));
  for (int i = 1; i <= 40; ++i) AppendRow(*t, fmt::format("n{:02d}", i), i % 3 - 1);
  t->IndexOn(dir.dir() + "pos.ntx", "", "UPPER(NAME)", "NUM > 0", false, true);
  t->OpenIndexes("pos.ntx", "POS");
  EXPECT_EQ(Walk(*t).size(), 13u);  // i % 3 == 2
  for (uint32_t r = 1; r <= 40; r += 2) {
    t->ReadRecord(r);
    t->SetFieldText("NUM", r % 4 == 1 ? "5" : "-5");
    t->WriteRecord(r);
  }
  const auto problems = CheckIndex(*t, "POS");
  EXPECT_TRUE(problems.empty()) << problems.front();
  for (uint32_t r : Walk(*t)) {
    t->ReadRecord(r);
    EXPECT_GT(t->GetNumber(t->FieldNo("NUM")), 0);
  }
}

TEST(TableHandler, ARecordReadByNumberIsFreshDespiteReadAhead) {
  TempDir dir;
  const std::string path = MakeTable(dir, "fresh");
  FillTable(path, {{"one", 1}, {"two", 2}, {"three", 3}});
  auto reader = OpenHandler(path, true);
  auto writer = OpenHandler(path, true);
  reader->SetOrder("", false);  // physical order by name: read-ahead on
  EXPECT_EQ(Walk(*reader), (Recs{1, 2, 3}));
  writer->ReadRecord(2);
  writer->SetFieldText("NAME", "changed");
  writer->WriteRecord(2);
  reader->ReadRecord(2);
  EXPECT_EQ(reader->FieldText("NAME"), "changed");
}

TEST(TableHandler, BuildReportsProgressThroughTheDataset) {
  TempDir dir;
  const std::string path = MakeTable(dir, "prog");
  {
    auto t = OpenHandler(path);
    for (int i = 1; i <= 3; ++i) AppendRow(*t, fmt::format("p{}", i), i);
  }
  TDataSetHandler t(path, false, true);
  t.Open();
  std::vector<std::string> seen;
  t.on_status = [&](int a, int b, int c) { seen.push_back(fmt::format("{},{},{}", a, b, c)); };
  t.IndexOn(dir.dir() + "prog.ntx", "", "NAME", "", false, true);
  EXPECT_EQ(seen, (std::vector<std::string>{"-1,1,3", "1,1,0", "1,2,0", "1,3,0", "0,0,0", "-1,2,3",
                                            "2,1,0", "2,2,0", "2,3,0", "0,0,0"}));
  t.on_filter_record = [&] { return t.recno() != 2; };
  t.OpenIndexes("prog.ntx", "PROG");
  EXPECT_EQ(Walk(t), (Recs{1, 3}));
}

}  // namespace
}  // namespace fidora::test
