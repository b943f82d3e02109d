// The generic table module: its record-lock helpers with retry against a lock another
// process holds, and the binding of its datasets to the data directory.
#include "tables/data_module.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/dbf/dbf_build.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "support/call_counting_io.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tables/module_errors.h"
#include "tables/record_lock.h"

namespace fidora::test {
namespace {

std::string Tool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class RecordingView : public TOperatorView {
 public:
  RecordingView() { SetOperator(this); }
  ~RecordingView() override { SetOperator(nullptr); }
  void ShowInfo(std::string_view message, std::string_view caption) override {
    shown.push_back(std::string(caption) + ": " + std::string(message));
  }
  std::vector<std::string> shown;
};

// A data directory with a Debug folder (for the status log) and one small table.
struct DataDir {
  TempDir dir;
  DataDir() {
    std::filesystem::create_directory(dir / "Debug");
    TDbfBuild build(dir.dir() + "TRACKER.DBF");
    build.AddField("ACCOUNTNUM", 'C', 16, 0);
    build.Build();
    ServerSettings().DataPath = dir.dir();
  }
  ~DataDir() { ServerSettings().DataPath.clear(); }
};

// Both datasets of the module work through the I/O it is given, so a test can count and fail
// every call the generic commands and the maintenance make.
TEST(DataModule, ItsTablesGoThroughTheIoItIsGiven) {
  DataDir data;
  CallCountingIo io(SystemFileIo());
  TDM dm{io};
  dm.SetDataPath();
  for (TXbDataSet* dataset : dm.DataSets()) {
    const int64_t before = io.calls();
    dataset->SetTableName("TRACKER.DBF");
    dataset->Open();
    dataset->Close();
    EXPECT_GT(io.calls(), before);
  }
  io.Arm(CallCountingIo::Mode::kFailFromThen, 1);
  dm.tWork.SetTableName("TRACKER.DBF");
  EXPECT_ANY_THROW(dm.tWork.Open());
  EXPECT_TRUE(io.fired());
}

TEST(RecordLockRetry, RLockGivesUpAfterAboutFiveSecondsAndLogsIt) {
  DataDir data;
  TDM dm{SystemFileIo()};
  dm.SetDataPath();
  dm.tGeneric.SetTableName("TRACKER.DBF");
  dm.tGeneric.Open();
  dm.tGeneric.Append();
  dm.tGeneric.FieldByName("ACCOUNTNUM").SetAsString("1001");
  dm.tGeneric.Post();
  // Free: the first attempt takes it.
  EXPECT_TRUE(dm.RLock(dm.tGeneric));
  dm.tGeneric.Unlock();

  ChildProcess holder(Tool(), {"lock", data.dir.dir() + "TRACKER.DBF", "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  const auto start = std::chrono::steady_clock::now();
  try {
    dm.RLock(dm.tGeneric);
    FAIL() << "a held lock was taken";
  } catch (const EDataModule& e) {
    EXPECT_STREQ(e.what(), "Ostra Pos Failed to lock record in TRACKER.DBF");
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(4900));
  EXPECT_LT(waited, std::chrono::seconds(9));
  const std::string log = ReadAll(data.dir / "Debug" / "STATUS.TXT");
  EXPECT_NE(log.find("FS Server - TDM.RLock - Failed on TRACKER.DBF\r\n"), std::string::npos)
      << log;
}

TEST(RecordLockRetry, RetryRecordLockRaisesTheServerLockError) {
  DataDir data;
  TDM dm{SystemFileIo()};
  dm.SetDataPath();
  dm.tGeneric.SetTableName("TRACKER.DBF");
  dm.tGeneric.Open();
  dm.tGeneric.Append();
  dm.tGeneric.Post();
  ChildProcess holder(Tool(), {"lock", data.dir.dir() + "TRACKER.DBF", "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  try {
    RetryRecordLock(dm.tGeneric);
    FAIL();
  } catch (const EQORServer& e) {
    EXPECT_STREQ(e.what(), "Server Lock Failed in TRACKER.DBF");
  }
  // No status-log line for this one.
  EXPECT_EQ(ReadAll(data.dir / "Debug" / "STATUS.TXT").find("Failed on"), std::string::npos);
}

TEST(DataModuleBinding, SetDataPathTwiceLeavesEverythingClosedOnTheLatestDirectory) {
  RecordingView view;
  DataDir first, second;
  TDM dm{SystemFileIo()};
  EXPECT_EQ(dm.tGeneric.DatabaseName(), "POSPATH");
  EXPECT_EQ(dm.tCreate.DBFTable, &dm.tWork);
  EXPECT_FALSE(dm.tCreate.AutoOverwrite);
  ServerSettings().DataPath = first.dir.dir();
  dm.SetDataPath();
  ServerSettings().DataPath = second.dir.dir();
  dm.SetDataPath();
  EXPECT_TRUE(view.shown.empty());
  for (TXbDataSet* ds : dm.DataSets()) {
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->DatabaseName(), second.dir.path().string());  // stored without the "/"
    EXPECT_EQ(ds->LockProtocol(), TxLokProtocol::ClipLock);
  }
  dm.tWork.SetTableName("TRACKER");
  EXPECT_EQ(dm.tWork.TablePath(), second.dir.dir() + "TRACKER.DBF");
  // A dataset left open is reported, closed and bound all the same.
  dm.tWork.Open();
  ServerSettings().DataPath = first.dir.dir();
  dm.SetDataPath();
  EXPECT_EQ(view.shown, std::vector<std::string>{
                            "SetDataPath in DATA: Table unexpectedly found open : TRACKER"});
  EXPECT_FALSE(dm.tWork.Active());
  EXPECT_EQ(dm.tWork.TablePath(), first.dir.dir() + "TRACKER.DBF");
}

}  // namespace
}  // namespace fidora::test
