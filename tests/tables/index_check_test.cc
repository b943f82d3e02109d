// The quick index check: entries missing or wrong for the last records of a service table, or
// an index file that does not open, are written to the status log and repaired by the general
// reindex; an entry that turns up at the second look is no problem.
#include "tables/index_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/table/xb_dataset.h"
#include "protocol/server_settings.h"
#include "recording_events.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tables/data_module.h"

namespace fidora::test {
namespace {

namespace fs = std::filesystem;

class IndexCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteServiceShop(dir.dir(), 50, 3000);
    ServerSettings().DataPath = dir.dir();
    dm.SetDataPath();
    settings.pause = [this](std::chrono::milliseconds) { ++pauses; };
  }
  void TearDown() override { ServerSettings().DataPath.clear(); }

  // Sales appended by a till that lost its power before it wrote their keys.
  void AppendUnindexedSales(uint32_t count) {
    AppendRawRecords(dir.dir() + "TRACKLOG.DBF", count, [](uint32_t i, std::string& out) {
      out += StoredRecord(kLogColumns, LogRow(3000 + i, 50));
    });
  }

  std::vector<std::string> Problems(const std::string& table) {
    std::vector<std::string> texts;
    for (const TIndexProblem& p : FindIndexProblems(dir.dir(), ServiceTable(table), settings))
      texts.push_back(p.text);
    return texts;
  }

  TempDir dir;
  TDM dm{SystemFileIo()};
  RecordingEvents events;
  TIndexCheckSettings settings;
  int pauses = 0;
};

TEST_F(IndexCheck, SoundIndexesNeedNothing) {
  EXPECT_FALSE(CheckServiceIndexes(dm, events, settings));
  EXPECT_TRUE(events.log.empty());
  EXPECT_TRUE(events.progress.empty());
  EXPECT_EQ(pauses, 0);
}

TEST_F(IndexCheck, AnIndexShortOfItsLastRecordsIsLoggedAndRebuilt) {
  AppendUnindexedSales(3);
  EXPECT_EQ(Problems("TRACKLOG.DBF"),
            (std::vector<std::string>{"TRACKLOG.NTX of TRACKLOG.DBF lacks record 3001",
                                      "TRAKHIST.NTX of TRACKLOG.DBF lacks record 3001"}));
  EXPECT_EQ(pauses, 1);

  EXPECT_TRUE(CheckServiceIndexes(dm, events, settings));
  EXPECT_EQ(events.log, (std::vector<std::string>{
                            "Index check : TRACKLOG.NTX of TRACKLOG.DBF lacks record 3001",
                            "Index check : TRAKHIST.NTX of TRACKLOG.DBF lacks record 3001"}));
  EXPECT_TRUE(events.Saw("Reindex General Data"));
  EXPECT_TRUE(Problems("TRACKLOG.DBF").empty());
}

TEST_F(IndexCheck, ARecordMissingAtTheEndOfALongRunOfEqualKeysIsFound) {
  // Every shopper lives in Riverside: TRAKADR2.NTX is one run of equal keys, over several
  // levels of pages, to its end.
  WriteTable(dir.dir() + "TRACKER.DBF", TrackerColumns(), 20000, TrackerRow);
  BuildIndexes(dir.dir(), ServiceTable("TRACKER.DBF"));
  AppendRawRecords(dir.dir() + "TRACKER.DBF", 2, [](uint32_t i, std::string& out) {
    out += StoredRecord(TrackerColumns(), TrackerRow(20000 + i));
  });
  std::vector<std::string> expected;
  for (const char* file : {"TRAKNUM", "TRAKNAME", "TRAKFNAM", "TRAKADR1", "TRAKADR2", "TRAKPHON"})
    expected.push_back(std::string(file) + ".NTX of TRACKER.DBF lacks record 20001");
  EXPECT_EQ(Problems("TRACKER.DBF"), expected);
}

TEST_F(IndexCheck, AnEntryWithAnOutdatedKeyIsWrong) {
  // Shopper 40's number changed in the table behind the index's back.
  {
    std::fstream f(dir / "TRACKER.DBF", std::ios::in | std::ios::out | std::ios::binary);
    char header[12];
    f.read(header, sizeof header);
    const auto u16 = [&](int at) {
      return static_cast<uint32_t>(static_cast<uint8_t>(header[at])) |
             static_cast<uint32_t>(static_cast<uint8_t>(header[at + 1])) << 8;
    };
    f.seekp(u16(8) + 40 * u16(10) + 1);
    f.write("999999", 6);
  }
  EXPECT_EQ(Problems("TRACKER.DBF"),
            (std::vector<std::string>{"TRAKNUM.NTX of TRACKER.DBF lacks record 41"}));
}

TEST_F(IndexCheck, AnEntryWrittenBeforeTheSecondLookIsNoProblem) {
  AppendUnindexedSales(1);
  // The till writes the record again, with its keys, while the check waits.
  settings.pause = [this](std::chrono::milliseconds) {
    ++pauses;
    TXbDataSet till;
    till.SetDatabaseName(dir.dir());
    till.SetTableName("TRACKLOG.DBF");
    till.SetLockProtocol(TxLokProtocol::ClipLock);
    till.SetIndexFiles({"TRACKLOG.NTX", "TRAKHIST.NTX"});
    till.Open();
    till.SetRecNo(3001);
    till.Edit();
    till.FieldByName("AMOUNT").SetAsString("1.50");
    till.Post();
  };
  EXPECT_TRUE(Problems("TRACKLOG.DBF").empty());
  EXPECT_EQ(pauses, 1);
}

TEST_F(IndexCheck, AnIndexFileThatDoesNotOpenIsRebuilt) {
  fs::remove(dir / "TRAKPHON.NTX");
  EXPECT_TRUE(CheckServiceIndexes(dm, events, settings));
  ASSERT_EQ(events.log.size(), 1u);
  EXPECT_EQ(events.log[0].rfind("Index check : TRAKPHON.NTX of TRACKER.DBF does not open: ", 0), 0u)
      << events.log[0];
  EXPECT_TRUE(IndexProblems(dir.dir() + "TRACKER.DBF", dir.dir() + "TRAKPHON.NTX").empty());
}

}  // namespace
}  // namespace fidora::test
