// Index builds on real tables in a temporary directory: how the build pass reads the table.
#include <gtest/gtest.h>

#include <map>

#include "support/temp_dir.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

// Counts the reads of each file opened through it, by the file's name.
class ReadCountingIo : public FileIoWrapper {
 public:
  ReadCountingIo() : FileIoWrapper(SystemFileIo()) {}
  std::map<std::string, int> reads;  // by file name

  int Open(const std::string& path, int flags, mode_t mode) override {
    const int fd = FileIoWrapper::Open(path, flags, mode);
    if (fd >= 0) names_[fd] = std::filesystem::path(path).filename().string();
    return fd;
  }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    ++reads[names_[fd]];
    return FileIoWrapper::PRead(fd, buffer, count, offset);
  }

 private:
  std::map<int, std::string> names_;
};

TEST(IndexBuild, ThePassReadsTheTableInLargeBlocks) {
  TempDir dir;
  const std::string path = MakeTable(dir, "big");
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 100000; ++i) rows.emplace_back(fmt::format("N{:06d}", i * 7919 % 100000), i);
  FillTable(path, rows);  // 30-byte records: 3 MB
  ReadCountingIo io;
  TTableHandler t(path, false, true, io);
  t.Open();
  io.reads.clear();
  t.IndexOn(dir.dir() + "names.ntx", "", "UPPER(NAME)", "", false, true);
  // Blocks of 1 MB: four of them, and the reads of opening; 32 KB blocks took a hundred.
  EXPECT_LE(io.reads["big.DBF"], 6);
  t.OpenIndexes(dir.dir() + "names.ntx", "NAMES");
  EXPECT_TRUE(CheckIndex(t, "NAMES").empty());
}

}  // namespace
}  // namespace fidora::test
