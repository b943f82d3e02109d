// A process killed (SIGKILL) at random moments of a structure upgrade, a safe pack and a
// general reindex always leaves tables that open, whose header record counts match their file
// sizes, with every live record and its memo text. Each run works on a fresh copy of a small
// shop in a forked child; the moment of the kill is drawn from the length of an unkilled run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "engine/dbf/file_io.h"
#include "engine/table/xb_dataset.h"
#include "protocol/server_settings.h"
#include "recording_events.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/index_check.h"
#include "tables/safe_pack.h"
#include "tables/structure_check.h"

namespace fidora::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 50;
constexpr uint32_t kShoppers = 600, kLogRows = 6000;

// The live records of a table by identity ("ACCOUNTNUM|memo text" or the docket), read shared.
std::multiset<std::string> LiveRecords(const std::string& directory, const std::string& table,
                                       const std::string& key_field) {
  TTableHandler t(directory + table, true, false);
  t.Open();
  t.SetReadAhead(true);
  const int key = t.FieldNo(key_field);
  const int memo = t.FieldIndex("NOTES");
  std::multiset<std::string> live;
  for (bool ok = t.ReadRecord(kRecFirst); ok && !t.Eof(); ok = t.ReadRecord(kRecNext))
    live.insert(std::string(t.FieldRaw(key)) + (memo ? "|" + t.GetMemo(memo) : ""));
  return live;
}

// "" when the header's record count fits the file's size (an end-of-file byte or none).
std::string HeaderProblem(const fs::path& table) {
  std::ifstream in(table, std::ios::binary);
  unsigned char h[12] = {};
  in.read(reinterpret_cast<char*>(h), sizeof h);
  const uint64_t count = h[4] | h[5] << 8 | h[6] << 16 | uint64_t{h[7]} << 24;
  const uint64_t expected = (h[8] | h[9] << 8) + count * (h[10] | h[11] << 8);
  const uint64_t size = fs::file_size(table);
  if (size == expected || size == expected + 1) return {};
  return table.filename().string() + ": " + std::to_string(count) + " records in a file of " +
         std::to_string(size) + " bytes";
}

// The first records that one side has and the other lacks; "" when both are the same.
std::string Difference(const std::multiset<std::string>& found,
                       const std::multiset<std::string>& expected) {
  std::vector<std::string> lost, gained;
  std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(),
                      std::back_inserter(lost));
  std::set_difference(found.begin(), found.end(), expected.begin(), expected.end(),
                      std::back_inserter(gained));
  if (lost.empty() && gained.empty()) return {};
  return std::to_string(lost.size()) + " lost, first " + (lost.empty() ? "-" : lost.front()) +
         "; " + std::to_string(gained.size()) + " gained, first " +
         (gained.empty() ? "-" : gained.front());
}

struct Expectation {
  std::multiset<std::string> shoppers, sales, clubs;
};

Expectation Read(const std::string& directory) {
  return {LiveRecords(directory, "TRACKER.DBF", "ACCOUNTNUM"),
          LiveRecords(directory, "TRACKLOG.DBF", "DOCKET"),
          LiveRecords(directory, "CLUB.DBF", "CLUB")};
}

// The shop every run starts from: TRACKER.DBF of an older installation (no EMAIL and OFFER)
// with a memo text on every third shopper, and deleted records in every table.
void WriteTemplate(const std::string& directory) {
  WriteServiceShop(directory, 1, kLogRows);
  WriteTable(
      directory + "TRACKLOG.DBF", kLogColumns, kLogRows,
      [](uint32_t i) { return LogRow(i, kShoppers); }, [](uint32_t i) { return i % 7 == 0; });
  std::vector<Column> columns = kOldTrackerColumns;
  columns.push_back({"NOTES", 'M', 10, 0});
  WriteTable(
      directory + "TRACKER.DBF", columns, kShoppers,
      [](uint32_t i) {
        std::vector<std::string> row = TrackerRow(i);
        row.resize(kOldTrackerColumns.size());
        return row;
      },
      [](uint32_t i) { return i % 11 == 0; });
  TXbDataSet t;
  t.SetDatabaseName(directory);
  t.SetTableName("TRACKER.DBF");
  t.SetExclusive(true);
  t.SetUseDeleted(true);
  t.Open();
  for (uint32_t n = 1; n <= kShoppers; n += 3) {
    t.SetRecNo(n);
    t.Edit();
    t.WriteMemo("NOTES", "notes of shopper " + std::to_string(n) + std::string(n % 900, '.'));
    t.Post();
  }
  t.Close();
  for (const TGeneralIndexTable& table : GeneralIndexTables()) BuildIndexes(directory, table);
}

class SilentEvents : public TMaintenanceEvents {
 public:
  void Progress(std::string_view) override {}
  void Message(std::string_view, std::string_view) override {}
  void Log(std::string_view) override {}
};

using Operation = std::function<void(TDM& dm)>;

// Runs the operation in a child on a copy of the template; kills it after `delay` unless that
// is negative. Returns how long an unkilled run took.
Clock::duration RunChild(const fs::path& from, const fs::path& to, const Operation& operation,
                         Clock::duration delay) {
  fs::remove_all(to);
  fs::copy(from, to);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    ServerSettings().DataPath = to.string() + "/";
    TDM dm{SystemFileIo()};
    dm.SetDataPath();
    operation(dm);
    _exit(0);
  }
  if (delay >= Clock::duration::zero()) {
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return Clock::now() - start;
}

// After a killed reindex the index check of the next start finds what the kill left, and the
// reindex it runs makes every index file whole again: a well-formed tree with one entry per
// record, each record found under its present key.
std::string RepairedAtNextStart(const fs::path& directory) {
  const std::string dir = directory.string() + "/";
  ServerSettings().DataPath = dir;
  TDM dm{SystemFileIo()};
  dm.SetDataPath();
  SilentEvents events;
  TIndexCheckSettings settings;
  settings.pause = [](std::chrono::milliseconds) {};
  CheckServiceIndexes(dm, events, settings);
  ServerSettings().DataPath.clear();
  settings.last_records = UINT32_MAX;
  for (const TGeneralIndexTable& table : GeneralIndexTables()) {
    for (const TIndexProblem& problem : FindIndexProblems(dir, table, settings))
      return problem.text;
    TTableHandler t(dir + table.table, true, false);
    t.Open();
    for (const TGeneralIndex& index : table.indexes) {
      TIndexDiskStorage storage(dir + index.file, true, false, false);
      const NtxWalk walk = WalkNtx(storage);
      if (!walk.problems.empty()) return std::string(index.file) + ": " + walk.problems.front();
      if (walk.entries.size() != t.record_count())
        return std::string(index.file) + ": " + std::to_string(walk.entries.size()) + " entries";
    }
  }
  return {};
}

void KillAtRandomMoments(const Operation& operation, bool check_indexes = false) {
  TempDir root;
  const fs::path original = root / "template";
  fs::create_directory(original);
  WriteTemplate(original.string() + "/");
  const Expectation expected = Read(original.string() + "/");
  const fs::path run = root / "run";
  const auto length = RunChild(original, run, operation, Clock::duration(-1));
  ASSERT_EQ(Read(run.string() + "/").sales.size(), expected.sales.size()) << "an unkilled run";

  std::mt19937 random(20261210);
  std::uniform_int_distribution<int64_t> moment(0, length.count());
  for (int i = 0; i < kRuns; ++i) {
    const auto delay = Clock::duration(moment(random));
    RunChild(original, run, operation, delay);
    const std::string where =
        "killed after " +
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(delay).count()) +
        " us of " +
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(length).count());
    for (const char* table : {"TRACKER.DBF", "TRACKLOG.DBF", "CLUB.DBF"})
      ASSERT_EQ(HeaderProblem(run / table), "") << where;
    Expectation found;
    ASSERT_NO_THROW(found = Read(run.string() + "/")) << where;
    ASSERT_EQ(Difference(found.shoppers, expected.shoppers), "") << where;
    ASSERT_EQ(Difference(found.sales, expected.sales), "") << where;
    ASSERT_EQ(Difference(found.clubs, expected.clubs), "") << where;
    if (check_indexes) {
      ASSERT_EQ(RepairedAtNextStart(run), "") << where;
    }
  }
}

// The upgrade itself: the check of the three tables, which rebuilds TRACKER.DBF (the reindex
// that follows is the case below).
TEST(KilledMaintenance, AStructureUpgradeLeavesTheOldOrTheNewTable) {
  KillAtRandomMoments([](TDM& dm) {
    SilentEvents events;
    for (const TRequiredStructure& required : RequiredStructures())
      CheckTable(dm, SystemFileIo(), required, events);
  });
}

// The pack switches the table and then its memo file; a kill between the two leaves the packed
// table with the old memo file, which the next open pairs with the packed one.
TEST(KilledMaintenance, ASafePackLeavesEveryLiveRecord) {
  KillAtRandomMoments([](TDM& dm) {
    SilentEvents events;
    for (const char* table : {"TRACKER.DBF", "TRACKLOG.DBF"}) {
      dm.tWork.SetTableName(table);
      SafePack(dm.tWork, true, events);
    }
  });
}

TEST(KilledMaintenance, AGeneralReindexLeavesEveryLiveRecord) {
  KillAtRandomMoments(
      [](TDM& dm) {
        SilentEvents events;
        ReindexGeneralData(dm, events);
      },
      true);
}

}  // namespace
}  // namespace fidora::test
