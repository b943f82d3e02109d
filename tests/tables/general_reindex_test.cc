// The general reindex and its safe pack: progress lines, the tables packed with one record
// kept, every index file built anew, the stop at a table that cannot be opened, and a table
// another program holds open.
#include "tables/general_reindex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "engine/table/xb_dataset.h"
#include "protocol/server_settings.h"
#include "recording_events.h"
#include "support/run_program.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tables/data_module.h"
#include "tables/safe_pack.h"

namespace fidora::test {
namespace {

namespace fs = std::filesystem;

std::string Tool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

// Keys and record numbers of an NTX file as Perl's XBase::Index reads them ("key:recno").
std::vector<std::string> PerlKeys(const fs::path& ntx) {
  const std::string command = "perl " + std::string(FIDORA_SOURCE_DIR) +
                              "/tests/engine/table/ntx_keys.pl '" + ntx.string() + "' 2>&1";
  std::vector<std::string> keys;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      keys.push_back("unreadable: " + line);
      continue;
    }
    std::string key = line.substr(0, tab);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    keys.push_back(key + ":" + std::to_string(std::stoul(line.substr(tab + 1))));
  }
  if (pipe) pclose(pipe);
  return keys;
}

struct TableCounts {
  uint32_t records = 0, deleted = 0;
};

TableCounts Count(const std::string& path) {
  TTableHandler table(path, true, false);
  table.Open();
  TableCounts counts;
  counts.records = table.record_count();
  for (uint32_t n = 1; n <= counts.records; ++n) {
    table.ReadRecord(n);
    counts.deleted += table.IsDeleted() ? 1 : 0;
  }
  return counts;
}

class GeneralReindex : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerSettings().DataPath = dir.dir();
    dm.SetDataPath();
  }
  void TearDown() override { ServerSettings().DataPath.clear(); }
  TempDir dir;
  TDM dm{SystemFileIo()};
  RecordingEvents events;
};

TEST_F(GeneralReindex, PacksEveryTableKeepingARecordAndBuildsTheNineIndexFiles) {
  WriteTable(
      dir.dir() + "CLUB.DBF", kClubColumns, 2,
      [](uint32_t) {
        return std::vector<std::string>{"GOLD", "x", "5"};
      },
      [](uint32_t) { return true; });
  WriteTable(
      dir.dir() + "TRACKLOG.DBF", kLogColumns, 12000, [](uint32_t i) { return LogRow(i, 50); },
      [](uint32_t i) { return i % 10 == 3; });
  WriteTable(dir.dir() + "TRACKER.DBF", TrackerColumns(), 60, TrackerRow,
             [](uint32_t i) { return i % 6 == 0; });

  EXPECT_EQ(ReindexGeneralData(dm, events), "");

  ASSERT_GE(events.progress.size(), 4u);
  EXPECT_EQ(events.progress[0], "Reindex General Data");
  EXPECT_EQ(events.progress[1], "\tCLUB.DBF");
  EXPECT_EQ(events.progress[2], "\tTRACKLOG.DBF");
  EXPECT_EQ(events.progress.back(), "\tTRACKER.DBF");
  const std::regex percent("\\+\tTRACKLOG\\.DBF - (\\d+)%");
  size_t percentages = 0;
  for (size_t i = 3; i + 1 < events.progress.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(events.progress[i], m, percent)) << events.progress[i];
    EXPECT_LE(std::stoi(m[1]), 100);
    ++percentages;
  }
  // Two builds of 10 800 records, two phases each, a notice per record: one line per 5000.
  EXPECT_EQ(percentages, 8u);
  EXPECT_EQ(events.events_run, 3);
  EXPECT_TRUE(events.messages.empty());

  for (const TGeneralIndexTable& table : GeneralIndexTables()) {
    const TableCounts counts = Count(dir.dir() + table.table);
    EXPECT_EQ(counts.deleted, 0u) << table.table;
    EXPECT_GT(counts.records, 0u) << table.table;
    for (const TGeneralIndex& index : table.indexes)
      EXPECT_EQ(IndexProblems(dir.dir() + table.table, dir.dir() + index.file),
                std::vector<std::string>{})
          << index.file;
  }
  // A table packed empty keeps one blank record, its numbers 0.
  TXbDataSet club;
  club.SetDatabaseName(dir.dir());
  club.SetTableName("CLUB.DBF");
  club.Open();
  EXPECT_EQ(club.RecordCount(), 1u);
  EXPECT_EQ(club.RawFieldText("CLUB"), std::string(10, ' '));
  EXPECT_EQ(club.RawFieldText("CLUBPTS"), "     0");
  club.Close();

  // An independent reader finds the live shoppers in TRAKNUM.NTX in key order.
  std::vector<std::string> expected;
  uint32_t recno = 0;
  for (uint32_t i = 0; i < 60; ++i)
    if (i % 6 != 0) expected.push_back(ShopperNumber(i) + ":" + std::to_string(++recno));
  EXPECT_EQ(PerlKeys(dir / "TRAKNUM.NTX"), expected);
  EXPECT_FALSE(dm.tWork.Active());
}

TEST_F(GeneralReindex, AMissingPurchaseLogStopsTheRunAfterTheClubIndex) {
  WriteServiceShop(dir.dir(), 10, 10);
  fs::remove(dir / "TRACKLOG.DBF");
  fs::remove(dir / "CLUB.NTX");
  fs::remove(dir / "TRAKNUM.NTX");

  EXPECT_EQ(ReindexGeneralData(dm, events), "Failed to re-build index : TRACKLOG.DBF");
  EXPECT_EQ(events.progress,
            (std::vector<std::string>{"Reindex General Data", "\tCLUB.DBF", "\tTRACKLOG.DBF"}));
  EXPECT_EQ(events.messages,
            (std::vector<std::string>{
                "Safe Pack Failed: Could not get exclusive access to TRACKLOG.DBF"}));
  EXPECT_TRUE(fs::exists(dir / "CLUB.NTX"));
  EXPECT_FALSE(fs::exists(dir / "TRAKNUM.NTX"));
  EXPECT_FALSE(dm.tWork.Active());
}

TEST_F(GeneralReindex, ATableAnotherProgramHasOpenIsIndexedUnpacked) {
  WriteServiceShop(dir.dir(), 10, 10);
  WriteTable(dir.dir() + "TRACKER.DBF", TrackerColumns(), 10, TrackerRow,
             [](uint32_t i) { return i == 4; });
  ChildProcess holder(Tool(), {"lock", dir.dir() + "TRACKER.DBF", "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));

  EXPECT_EQ(ReindexGeneralData(dm, events), "");
  EXPECT_EQ(events.messages,
            (std::vector<std::string>{
                "Safe Pack Failed: Could not get exclusive access to TRACKER.DBF"}));
  EXPECT_EQ(Count(dir.dir() + "TRACKER.DBF").deleted, 1u);
  EXPECT_TRUE(IndexProblems(dir.dir() + "TRACKER.DBF", dir.dir() + "TRAKPHON.NTX").empty());
}

TEST_F(GeneralReindex, ARunStartedWhileEventsRunLeavesTheOuterRunIntact) {
  WriteServiceShop(dir.dir(), 30, 300);
  // A terminal's REINDEX served while the operator's one lets events run.
  class NestingEvents : public RecordingEvents {
   public:
    explicit NestingEvents(TDM& dm) : dm_(dm) {}
    void LetEventsRun() override {
      if (events_run++ != 1) return;
      RecordingEvents inner;
      nested_error = ReindexGeneralData(dm_, inner);
    }
    std::string nested_error = "not run";

   private:
    TDM& dm_;
  } nesting(dm);

  EXPECT_EQ(ReindexGeneralData(dm, nesting), "");
  EXPECT_EQ(nesting.nested_error, "");
  for (const TGeneralIndexTable& table : GeneralIndexTables())
    for (const TGeneralIndex& index : table.indexes)
      EXPECT_TRUE(IndexProblems(dir.dir() + table.table, dir.dir() + index.file).empty())
          << index.file;
}

TEST_F(GeneralReindex, SafePackRefusesAnOpenDataset) {
  WriteServiceShop(dir.dir(), 3, 3);
  dm.tWork.SetTableName("CLUB.DBF");
  dm.tWork.Open();
  EXPECT_FALSE(SafePack(dm.tWork, true, events));
  EXPECT_EQ(events.messages,
            (std::vector<std::string>{
                "Safe Pack Failed: Open table can not be packed - Table CLUB.DBF"}));
  EXPECT_TRUE(dm.tWork.Active());
  dm.tWork.Close();
}

}  // namespace
}  // namespace fidora::test
