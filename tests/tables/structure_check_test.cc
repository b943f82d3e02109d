// The table structure check: a table that lacks required fields is rebuilt once with every
// live record and its memo text, beside the old one and switched in by rename; a missing table
// is created; the general reindex follows any change. An independent reader (python3-dbfread)
// reads the rebuilt table.
#include "tables/structure_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "engine/dbf/file_io.h"
#include "engine/table/xb_dataset.h"
#include "protocol/server_settings.h"
#include "recording_events.h"
#include "support/faulty_io.h"
#include "support/file_bytes.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tables/data_module.h"

namespace fidora::test {
namespace {

namespace fs = std::filesystem;

// What python3-dbfread reads: one line of "NAME TYPE LENGTH DECIMALS" per field, then one line
// per live record with its values joined by "|".
std::string ReadByDbfread(const fs::path& table) {
  const std::string script =
      "import sys, dbfread\n"
      "t = dbfread.DBF(sys.argv[1], encoding='cp437', load=False)\n"
      "for f in t.fields: print(f.name, f.type, f.length, f.decimal_count)\n"
      "for r in t: print('|'.join(str(v) for v in r.values()))\n";
  const std::string command =
      "/usr/bin/python3 -c \"" + script + "\" '" + table.string() + "' 2>&1";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
  if (pipe) pclose(pipe);
  return out;
}

// A data directory with the module bound to it: a complete small shop, whose tables the tests
// take away or replace.
class StructureCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir / "Debug");
    ServerSettings().DataPath = dir.dir();
    WriteServiceShop(dir.dir(), 5, 20);
    dm.SetDataPath();
  }
  void TearDown() override { ServerSettings().DataPath.clear(); }

  // TRACKER.DBF of an older installation with a memo field: shoppers 1 to 4, the second
  // deleted, memo texts on the first, second and fourth (one longer than a block).
  void WriteOldTrackerWithMemos() {
    std::vector<Column> columns = kOldTrackerColumns;
    columns.push_back({"NOTES", 'M', 10, 0});
    WriteTable(dir.dir() + "TRACKER.DBF", columns, 0, {});
    TXbDataSet t;
    t.SetDatabaseName(dir.dir());
    t.SetTableName("TRACKER.DBF");
    t.Open();
    const std::vector<std::string> memos = {"likes tea", "gone away", "",
                                            std::string(700, 'x') + "end"};
    for (uint32_t i = 0; i < 4; ++i) {
      t.Append();
      const std::vector<std::string> row = TrackerRow(i + 1);
      for (size_t c = 0; c < kOldTrackerColumns.size(); ++c)
        t.SetRawFieldText(kOldTrackerColumns[c].name, row[c]);
      if (!memos[i].empty()) t.WriteMemo("NOTES", memos[i]);
      t.Post();
    }
    t.SetRecNo(2);
    t.Delete();
    t.Close();
  }

  TempDir dir;
  TDM dm{SystemFileIo()};
  RecordingEvents events;
};

TEST_F(StructureCheck, ATrackerLackingEmailAndOfferIsRebuiltOnceWithItsLiveRecordsAndMemos) {
  WriteOldTrackerWithMemos();
  fs::remove(dir / "VOUCHERS.DBF");
  const auto old_dbf = FileBytes(dir / "TRACKER.DBF");
  const auto old_dbt = FileBytes(dir / "TRACKER.dbt");

  EXPECT_TRUE(CheckAllTables(dm, SystemFileIo(), events));

  const std::vector<std::string> expected_progress_start = {
      "Check Table : TRACKER.DBF", "Updating Table : TRACKER.DBF", "Check Table : VOUCHERS.DBF",
      "Check Table : TRACKCHLOG.DBF", "Reindex General Data"};
  ASSERT_GE(events.progress.size(), expected_progress_start.size());
  EXPECT_EQ(std::vector<std::string>(events.progress.begin(), events.progress.begin() + 5),
            expected_progress_start);
  EXPECT_TRUE(events.messages.empty()) << events.messages.front();

  const std::string read = ReadByDbfread(dir / "TRACKER.DBF");
  EXPECT_EQ(read.substr(0, read.find("100001")),
            "ACCOUNTNUM C 16 0\nSURNAME C 25 0\nFIRSTNAME C 20 0\nADDR1 C 35 0\nADDR2 C 35 0\n"
            "PHONE C 15 0\nDOLLAVAIL N 10 2\nEXP_DATE D 8 0\nDELIVERY C 35 0\nOFFRITEM N 4 0\n"
            "NOTES M 10 0\nEMAIL C 45 0\nOFFER C 2 0\n");
  EXPECT_NE(read.find("100001|Surname7919|First1|1 High Street|Riverside|0400000001|1.01|"
                      "2027-01-01||1|likes tea||\n"),
            std::string::npos)
      << read;
  EXPECT_NE(read.find("|3|None||\n"), std::string::npos) << read;
  EXPECT_NE(read.find("|4|" + std::string(700, 'x') + "end||\n"), std::string::npos) << read;
  EXPECT_EQ(read.find("100002"), std::string::npos) << "the deleted record came over";

  // The previous files are kept, nothing of the work is left, the indexes were built.
  EXPECT_EQ(FileBytes(dir / "TRACKER.old.dbf"), old_dbf);
  EXPECT_EQ(FileBytes(dir / "TRACKER.old.dbt"), old_dbt);
  EXPECT_FALSE(fs::exists(dir / "TRACKER.new.dbf"));
  EXPECT_FALSE(fs::exists(dir / "TRACKER.new.dbt"));
  EXPECT_TRUE(IndexProblems(dir.dir() + "TRACKER.DBF", dir.dir() + "TRAKNUM.NTX").empty());

  // The missing voucher table was created with exactly its required fields.
  EXPECT_EQ(ReadByDbfread(dir / "VOUCHERS.DBF"), "SELLDATE D 8 0\nNUMBER C 16 0\nAMOUNT N 8 2\n");

  // Once is enough.
  RecordingEvents again;
  EXPECT_FALSE(CheckAllTables(dm, SystemFileIo(), again));
  EXPECT_FALSE(again.Saw("Reindex General Data"));
  EXPECT_FALSE(again.Saw("Updating Table : TRACKER.DBF"));
}

TEST_F(StructureCheck, CompleteTablesAreLeftAlone) {
  const auto before = FileBytes(dir / "TRACKER.DBF");
  EXPECT_FALSE(CheckAllTables(dm, SystemFileIo(), events));
  EXPECT_EQ(events.progress,
            (std::vector<std::string>{"Check Table : TRACKER.DBF", "Check Table : VOUCHERS.DBF",
                                      "Check Table : TRACKCHLOG.DBF"}));
  EXPECT_EQ(FileBytes(dir / "TRACKER.DBF"), before);
  EXPECT_FALSE(fs::exists(dir / "TRACKER.old.dbf"));
}

TEST_F(StructureCheck, ANarrowOffritemBecomesFourDigitsKeepingSeven) {
  std::vector<Column> columns = TrackerColumns();
  columns[9] = {"OFFRITEM", 'N', 2, 0};
  WriteTable(dir.dir() + "TRACKER.DBF", columns, 1, [](uint32_t) {
    std::vector<std::string> row = TrackerRow(1);
    row[9] = " 7";
    return row;
  });
  EXPECT_TRUE(CheckTable(dm, SystemFileIo(), RequiredStructures()[0], events));
  EXPECT_TRUE(events.log.empty()) << "a wider field cuts nothing";

  TXbDataSet t;
  t.SetDatabaseName(dir.dir());
  t.SetTableName("TRACKER.DBF");
  t.Open();
  EXPECT_EQ(t.RawFieldText("OFFRITEM"), "   7");
  EXPECT_EQ(t.FieldByName("OFFRITEM").AsInteger(), 7);
  t.Close();
  EXPECT_NE(ReadByDbfread(dir / "TRACKER.DBF").find("OFFRITEM N 4 0\n"), std::string::npos);
}

TEST_F(StructureCheck, AFailedSwitchLeavesATableThatReadsAsBefore) {
  WriteOldTrackerWithMemos();
  const std::string before = ReadByDbfread(dir / "TRACKER.DBF");
  const auto old_dbf = FileBytes(dir / "TRACKER.DBF");
  // The memo file is switched first; the table file's rename fails after it.
  FaultyIo io;
  io.Fail(FaultyIo::kRename, 2);
  EXPECT_THROW(CheckTable(dm, io, RequiredStructures()[0], events), std::exception);
  EXPECT_EQ(FileBytes(dir / "TRACKER.DBF"), old_dbf);
  EXPECT_EQ(ReadByDbfread(dir / "TRACKER.DBF"), before);
  EXPECT_FALSE(dm.tGeneric.Active());
  EXPECT_FALSE(dm.tWork.Active());

  // The next check finishes the job and clears the leftovers.
  EXPECT_TRUE(CheckTable(dm, SystemFileIo(), RequiredStructures()[0], events));
  EXPECT_NE(ReadByDbfread(dir / "TRACKER.DBF").find("|likes tea||\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "TRACKER.new.dbf"));
}

struct MergeCase {
  std::vector<std::string> current, required, definitions;
  bool changed;
  std::vector<std::string> narrowed;
};

TEST(MergeDefinitions, AddsWhatIsMissingAndReplacesWhatDiffers) {
  const std::vector<MergeCase> cases = {
      {{"A;C;10;0"}, {"B;N;4;0"}, {"A;C;10;0", "B;N;4;0"}, false, {}},
      {{"B;N;4;0"}, {"b;n;4;0"}, {"B;N;4;0"}, false, {}},
      {{"OFFRITEM;N;2;0", "X;C;1;0"}, {"OFFRITEM;N;4;0"}, {"OFFRITEM;N;4;0", "X;C;1;0"}, true, {}},
      {{"EMAIL;C;60;0"},
       {"EMAIL;C;45;0"},
       {"EMAIL;C;45;0"},
       true,
       {"EMAIL;C;60;0 -> EMAIL;C;45;0"}},
      {{"AMOUNT;N;8;4"},
       {"AMOUNT;N;8;2"},
       {"AMOUNT;N;8;2"},
       true,
       {"AMOUNT;N;8;4 -> AMOUNT;N;8;2"}},
      {{"DATE;C;8;0"}, {"DATE;D;8;0"}, {"DATE;D;8;0"}, true, {"DATE;C;8;0 -> DATE;D;8;0"}},
      {{}, {"SELLDATE;D;8;0", "NUMBER;C;16;0"}, {"SELLDATE;D;8;0", "NUMBER;C;16;0"}, false, {}},
  };
  for (const MergeCase& c : cases) {
    const TMergedStructure merged = MergeDefinitions(c.current, c.required);
    EXPECT_EQ(merged.definitions, c.definitions) << c.required.front();
    EXPECT_EQ(merged.changed, c.changed) << c.required.front();
    EXPECT_EQ(merged.narrowed, c.narrowed) << c.required.front();
  }
}

}  // namespace
}  // namespace fidora::test
