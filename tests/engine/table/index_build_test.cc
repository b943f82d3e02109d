// Index builds on real tables in a temporary directory: how the build pass reads the table,
// and builds past their memory budget, which sort runs into scratch files and merge them.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/dbf/xb_error.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

// Counts the opens and reads of each file opened through it, by the file's name, and fails
// the writes to scratch files from a chosen one on.
class WatchingIo : public FileIoWrapper {
 public:
  WatchingIo() : FileIoWrapper(SystemFileIo()) {}
  std::map<std::string, int> opens, reads;  // by file name
  int scratch_opens = 0, scratch_writes = 0;
  int fail_scratch_write = 0;  // from this scratch write on (counted from 1); 0: none

  int Open(const std::string& path, int flags, mode_t mode) override {
    const int fd = FileIoWrapper::Open(path, flags, mode);
    const std::string name = std::filesystem::path(path).filename().string();
    if (fd >= 0) names_[fd] = name;
    ++opens[name];
    if (IsScratch(name)) ++scratch_opens;
    return fd;
  }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    ++reads[names_[fd]];
    return FileIoWrapper::PRead(fd, buffer, count, offset);
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    if (IsScratch(names_[fd]) && ++scratch_writes >= fail_scratch_write && fail_scratch_write) {
      errno = ENOSPC;
      return -1;
    }
    return FileIoWrapper::PWrite(fd, buffer, count, offset);
  }

 private:
  static bool IsScratch(const std::string& name) { return name.find(".sort") != std::string::npos; }
  std::map<int, std::string> names_;
};

std::set<std::string> FilesIn(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    names.insert(e.path().filename().string());
  return names;
}

// 3000 records whose names repeat every 50 records, so that equal keys stand in every run.
std::string MakeRepeatingTable(const TempDir& dir) {
  const std::string path = MakeTable(dir, "shop");
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 3000; ++i)
    rows.emplace_back(fmt::format("{}name {}", i % 3 ? 'k' : 'K', i * 7 % 50), i * 37 % 1000 - 500);
  FillTable(path, rows);
  return path;
}

TEST(IndexBuild, ThePassReadsTheTableInLargeBlocks) {
  TempDir dir;
  const std::string path = MakeTable(dir, "big");
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 100000; ++i) rows.emplace_back(fmt::format("N{:06d}", i * 7919 % 100000), i);
  FillTable(path, rows);  // 30-byte records: 3 MB
  WatchingIo io;
  TTableHandler t(path, false, true, io);
  t.Open();
  io.reads.clear();
  t.IndexOn(dir.dir() + "names.ntx", "", "UPPER(NAME)", "", false, true);
  // Blocks of 1 MB: four of them, and the reads of opening; 32 KB blocks took a hundred.
  EXPECT_LE(io.reads["big.DBF"], 6);
  t.OpenIndexes(dir.dir() + "names.ntx", "NAMES");
  EXPECT_TRUE(CheckIndex(t, "NAMES").empty());
}

// Past its budget a build gives the very file of a build in memory: equal keys across runs in
// record order (in the order's direction), the first record of each key overall in a unique
// order, FOR conditions, and the evaluator's keys as well as keys made of fields. The scratch
// files are gone when it ends.
TEST(IndexBuild, PastItsBudgetABuildGivesTheFileOfABuildInMemory) {
  TempDir dir;
  const std::string path = MakeRepeatingTable(dir);
  const struct {
    const char* key;
    const char* cond;
    bool unique, ascending;
  } cases[] = {
      {"UPPER(NAME)", "", false, true},
      {"UPPER(NAME)", "", false, false},
      {"UPPER(NAME)", "", true, true},
      {"UPPER(NAME)", "", true, false},
      {"NAME", "NUM > 100", false, true},
      {"NAME", "NUM < 0", true, false},
      {"STR(NUM)+NAME", "", false, false},
      {"NUM", "", false, true},
      {"NUM", "", true, false},
  };
  const std::set<std::string> files = FilesIn(dir);
  // 4 000 bytes hold about 190 keys of names: up to 16 runs, merged two at a time, and the
  // merged runs again; 20 000 bytes take two to four runs.
  for (size_t budget : {size_t{4000}, size_t{20000}}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(fmt::format("{} FOR {} unique {} ascending {} budget {}", c.key, c.cond,
                               c.unique, c.ascending, budget));
      WatchingIo io;
      TTableHandler t(path, false, true, io);
      t.Open();
      t.IndexOn(dir.dir() + "memory.ntx", "", c.key, c.cond, c.unique, c.ascending);
      EXPECT_EQ(io.scratch_opens, 0);
      t.SetBuildMemory(budget);
      t.IndexOn(dir.dir() + "runs.ntx", "", c.key, c.cond, c.unique, c.ascending);
      EXPECT_GT(io.scratch_opens, budget < 10000 ? 6 : 1) << "too few runs";
      EXPECT_EQ(FileBytes(dir / "runs.ntx"), FileBytes(dir / "memory.ntx"));
      t.OpenIndexes(dir.dir() + "runs.ntx", "RUNS");
      EXPECT_TRUE(CheckIndex(t, "RUNS").empty());
      t.CloseIndexes();
      std::set<std::string> now = FilesIn(dir);
      now.erase("memory.ntx");
      now.erase("runs.ntx");
      EXPECT_EQ(now, files);
    }
  }
}

// A build that fails while it writes its runs (a full disk) leaves the index as it was and
// no scratch file, and the next build goes through.
TEST(IndexBuild, AFailingRunLeavesTheOldIndexAndNoScratchFile) {
  TempDir dir;
  const std::string path = MakeRepeatingTable(dir);
  WatchingIo io;
  TTableHandler t(path, false, true, io);
  t.Open();
  t.IndexOn(dir.dir() + "names.ntx", "", "UPPER(NAME)", "", false, true);
  const std::vector<uint8_t> old = FileBytes(dir / "names.ntx");
  const std::set<std::string> files = FilesIn(dir);
  t.SetBuildMemory(4000);
  for (int fail_at : {1, 5, 25}) {
    SCOPED_TRACE(fail_at);
    io.scratch_writes = 0;
    io.fail_scratch_write = fail_at;
    t.OpenIndexes(dir.dir() + "names.ntx", "NAMES");
    try {
      t.Reindex();
      FAIL() << "no error";
    } catch (const EXbError& e) {
      EXPECT_EQ(e.kind(), XbErrorKind::kIO) << e.what();
    }
    t.CloseIndexes();
    EXPECT_EQ(FileBytes(dir / "names.ntx"), old);
    EXPECT_EQ(FilesIn(dir), files);
  }
  io.fail_scratch_write = 0;
  t.OpenIndexes(dir.dir() + "names.ntx", "NAMES");
  t.Reindex();
  EXPECT_TRUE(CheckIndex(t, "NAMES").empty());
  EXPECT_EQ(FileBytes(dir / "names.ntx"), old);
}

}  // namespace
}  // namespace fidora::test
