// The deletion run of old purchase-log records: it deletes from the start of the log up to the
// first record on or after the cut-off day, shows its percentages, and packs the log.
#include "tables/old_records.h"

#include <gtest/gtest.h>

#include "engine/dbf/xb_error.h"
#include "engine/table/xb_dataset.h"
#include "recording_events.h"
#include "support/run_program.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"

namespace fidora::test {
namespace {

int64_t DayNumber(int year, int month, int day) {
  return TxDBFDate::EncodeDay(year, month, day);
}

// The DOCKET of every record left in the log, in physical order, and how many are deleted.
std::vector<std::string> Dockets(const TempDir& dir, uint32_t* deleted = nullptr) {
  TTableHandler table(dir.dir() + "TRACKLOG.DBF", true, false);
  table.Open();
  std::vector<std::string> dockets;
  if (deleted) *deleted = 0;
  for (uint32_t n = 1; n <= table.record_count(); ++n) {
    table.ReadRecord(n);
    if (deleted && table.IsDeleted()) ++*deleted;
    dockets.emplace_back(TrimTrailingBlanks(table.FieldRaw(table.FieldNo("DOCKET"))));
  }
  return dockets;
}

TEST(DeleteOldRecords, DeletingSixHundredOfAThousandShowsThreePercentages) {
  TempDir dir;
  // Ten days of 100 sales each from 1 January 2024; the cut-off is the seventh day.
  WriteTable(dir.dir() + "TRACKLOG.DBF", kLogColumns, 1000, [](uint32_t i) { return LogRow(i); });
  RecordingEvents events;
  DeleteOldRecords(dir.dir(), DayNumber(2024, 1, 7), events);
  EXPECT_EQ(events.progress, (std::vector<std::string>{"Deleting records...", "+\t1%", "+\t26%",
                                                       "+\t52%", "Packing..."}));
  uint32_t deleted = 0;
  const std::vector<std::string> left = Dockets(dir, &deleted);
  ASSERT_EQ(left.size(), 400u);
  EXPECT_EQ(left.front(), "D600");
  EXPECT_EQ(left.back(), "D999");
  EXPECT_EQ(deleted, 0u);
}

TEST(DeleteOldRecords, ALogThatStartsOnTheDayLosesNothingButItsDeletedRecords) {
  TempDir dir;
  WriteTable(
      dir.dir() + "TRACKLOG.DBF", kLogColumns, 300, [](uint32_t i) { return LogRow(i); },
      [](uint32_t i) { return i == 150; });
  RecordingEvents events;
  DeleteOldRecords(dir.dir(), DayNumber(2024, 1, 1), events);
  EXPECT_EQ(events.progress, (std::vector<std::string>{"Deleting records...", "Packing..."}));
  EXPECT_EQ(Dockets(dir).size(), 299u);
}

TEST(DeleteOldRecords, ARecordWithoutASaleDateCountsAsOld) {
  TempDir dir;
  WriteTable(dir.dir() + "TRACKLOG.DBF", kLogColumns, 5, [](uint32_t i) {
    std::vector<std::string> row = LogRow(i * 100);
    if (i == 1) row[1].clear();
    return row;
  });
  RecordingEvents events;
  DeleteOldRecords(dir.dir(), DayNumber(2024, 1, 3), events);
  EXPECT_EQ(Dockets(dir), (std::vector<std::string>{"D200", "D300", "D400"}));
}

TEST(DeleteOldRecords, ALogAnotherProgramHasOpenIsLeftAsItIs) {
  TempDir dir;
  WriteTable(dir.dir() + "TRACKLOG.DBF", kLogColumns, 10, [](uint32_t i) { return LogRow(i); });
  ChildProcess holder(std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf",
                      {"lock", dir.dir() + "TRACKLOG.DBF", "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  RecordingEvents events;
  try {
    DeleteOldRecords(dir.dir(), DayNumber(2025, 1, 1), events);
    FAIL() << "the log was opened exclusively while another program had it open";
  } catch (const EXbError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Access denied to file ", 0), 0u) << e.what();
  }
  EXPECT_EQ(Dockets(dir).size(), 10u);
}

}  // namespace
}  // namespace fidora::test
