// TDiskFile: share modes, the lock nesting count and its one-range rule, truncate's
// full-access rule, retried I/O through the seam, case-insensitive names.
#include "engine/dbf/disk_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/open_file_list.h"
#include "engine/dbf/xb_error.h"
#include "support/faulty_io.h"
#include "support/temp_dir.h"
#include "support/xb_error_text.h"

namespace fidora {
namespace {

using test::ErrorOf;
using test::FaultyIo;

std::string MakeFile(const test::TempDir& dir, const std::string& name,
                     const std::string& content = "0123456789") {
  std::ofstream(dir / name, std::ios::binary) << content;
  return dir.dir() + name;
}

// Whether a third open of the file could take the range now (OFD locks of other opens).
bool RangeFree(const std::string& path, uint64_t offset, uint64_t length) {
  TDiskFile probe(path, true, true);
  probe.Open();
  const bool free = probe.LockRange(offset, length);
  probe.Close();
  return free;
}

TEST(DiskFile, MissingFileAndShareModes) {
  test::TempDir dir;
  TDiskFile missing(dir.dir() + "none.dbf", true, true);
  EXPECT_FALSE(missing.exists());
  EXPECT_EQ(ErrorOf([&] { missing.Open(); }), "File " + dir.dir() + "none.dbf could not be found");

  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile a(path, true, true), b(path, true, false), x(path, false, true);
  a.Open();
  b.Open();  // two shared opens live together
  EXPECT_EQ(ErrorOf([&] { x.Open(); }), "Access denied to file " + path);
  a.Close();
  b.Close();
  x.Open();
  TDiskFile c(path, true, true);
  EXPECT_EQ(ErrorOf([&] { c.Open(); }), "Access denied to file " + path);
}

TEST(DiskFile, NamesResolveWithoutRegardToCase) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Data");
  MakeFile(dir, "Data/Tracker.dbf");
  EXPECT_EQ(ResolveFileName(dir.dir() + "DATA/TRACKER.DBF"), dir.dir() + "Data/Tracker.dbf");
  EXPECT_EQ(ResolveFileName(dir.dir() + "data/tracker.dbf"), dir.dir() + "Data/Tracker.dbf");
  // A new file keeps the name as given, in the resolved directory.
  EXPECT_EQ(ResolveFileName(dir.dir() + "DATA/New.DBF"), dir.dir() + "Data/New.DBF");
  TDiskFile f(dir.dir() + "data/TRACKER.dbf", true, false);
  EXPECT_TRUE(f.exists());
  EXPECT_EQ(f.path(), dir.dir() + "Data/Tracker.dbf");
  EXPECT_EQ(WithDefaultExtension("/x/shop", ".DBF"), "/x/shop.DBF");
  EXPECT_EQ(WithDefaultExtension("/x.d/shop.dbf", ".DBF"), "/x.d/shop.dbf");
  EXPECT_EQ(ChangeFileExtension("/x/shop.DBF", ".dbt"), "/x/shop.dbt");
  EXPECT_EQ(FileBaseName("/x/shop.DBF"), "shop");
}

TEST(DiskFile, LocksNestAndHoldOneRangeOnly) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile a(path, true, true);
  a.Open();
  ASSERT_TRUE(a.LockRange(1000000005, 1));
  ASSERT_TRUE(a.LockRange(1000000005, 1));
  EXPECT_EQ(a.lock_count(), 2);
  EXPECT_EQ(ErrorOf([&] { a.LockRange(1000000006, 1); }), "Another lock active on file " + path);
  EXPECT_EQ(a.lock_count(), 2);
  EXPECT_FALSE(RangeFree(path, 1000000005, 1));
  a.Unlock();
  EXPECT_FALSE(RangeFree(path, 1000000005, 1)) << "one unlock of two keeps the byte locked";
  a.Unlock();
  EXPECT_EQ(a.lock_count(), 0);
  EXPECT_TRUE(RangeFree(path, 1000000005, 1));
  EXPECT_TRUE(a.Unlock()) << "unlock without a lock succeeds";
  EXPECT_EQ(a.lock_count(), 0);

  // Close releases whatever the count.
  ASSERT_TRUE(a.LockRange(7, 1));
  a.IncLockCount();
  a.Close();
  EXPECT_TRUE(RangeFree(path, 7, 1));
}

TEST(DiskFile, TwoOpensInOneProcessSeeEachOthersLocks) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(a.LockRange(1000000005, 1));
  EXPECT_FALSE(b.LockRange(1000000005, 1));
  EXPECT_EQ(b.lock_count(), 0) << "a refused lock leaves the count at 0";
  EXPECT_TRUE(b.LockRange(1000000006, 1));
}

TEST(DiskFile, ExclusiveFileLocksWithoutTheSystem) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  FaultyIo io;
  TDiskFile x(path, false, true, io);
  x.Open();
  EXPECT_TRUE(x.LockRange(1000000005, 1));
  EXPECT_TRUE(x.LockRange(1000000006, 1));
  EXPECT_TRUE(x.FullLock());
  EXPECT_TRUE(x.TryOsLock(HeaderLockRange(TxLokProtocol::ClipLock)));
  EXPECT_EQ(io.Calls(FaultyIo::kLockRange), 0);
  for (int i = 0; i < 3; ++i) x.Unlock();
  EXPECT_EQ(x.lock_count(), 0);
  EXPECT_TRUE(x.HasFullAccess());
}

TEST(DiskFile, TruncateNeedsFullAccess) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile a(path, true, true);
  a.Open();
  EXPECT_EQ(ErrorOf([&] { a.Truncate(4); }), "Truncate requires full access to file " + path);
  ASSERT_TRUE(a.LockRange(1000000000, 1));
  EXPECT_EQ(ErrorOf([&] { a.Truncate(4); }), "Truncate requires full access to file " + path);
  a.Unlock();
  ASSERT_TRUE(a.FullLock());
  EXPECT_TRUE(a.HasFullAccess());
  a.Truncate(4);
  EXPECT_EQ(a.Size(), 4u);
  a.Unlock();
  TDiskFile ro(path, false, false);
  a.Close();
  ro.Open();
  EXPECT_EQ(ErrorOf([&] { ro.Truncate(1); }), "Truncate requires full access to file " + path);
}

TEST(DiskFile, TransientFailuresAreRetriedThreeTimes) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  FaultyIo io;
  TDiskFile f(path, true, true, io);
  f.Open();
  char buf[4];
  io.Fail(FaultyIo::kPRead, 1, 3);  // three failures, the fourth attempt works
  ASSERT_EQ(f.Read(buf, 4, 2), 4u);
  EXPECT_EQ(io.slept(), std::chrono::milliseconds(150)) << "50 ms before each retry";
  EXPECT_EQ(std::string(buf, 4), "2345");
  EXPECT_EQ(io.Calls(FaultyIo::kPRead), 4);

  io.Fail(FaultyIo::kPRead, 5, 4, EIO);
  EXPECT_EQ(ErrorOf([&] { f.Read(buf, 4, 6); }), "Error 5 in Read of file " + path + " at block 6");
  EXPECT_EQ(io.Calls(FaultyIo::kPRead), 8);

  io.Fail(FaultyIo::kPWrite, 1, 4, ENOSPC);
  EXPECT_EQ(ErrorOf([&] { f.Write("ab", 2, 1000); }),
            "Error 28 in Write of file " + path + " at block 1000");
  EXPECT_EQ(f.Size(), 10u);
  // A write cut short is completed by the retry.
  io.ShortWrite(5, 1);
  f.Write("XY", 2, 0);
  EXPECT_EQ(io.Calls(FaultyIo::kPWrite), 6);
  ASSERT_EQ(f.Read(buf, 3, 0), 3u);
  EXPECT_EQ(std::string(buf, 3), "XY2");
  EXPECT_EQ(f.Read(buf, 4, 8), 2u) << "a short read at the end is no error";

  io.FailNext(FaultyIo::kDataSync);
  EXPECT_EQ(ErrorOf([&] { f.Flush(); }), "Error on Flush for file " + path);
  EXPECT_TRUE(f.dirty());
  f.Flush();
  EXPECT_FALSE(f.dirty());
  io.FailNext(FaultyIo::kFileSize);
  EXPECT_EQ(ErrorOf([&] { f.Size(); }), "Error getting FileSize for file " + path);
}

TEST(DiskFile, RetriedLockGivesUpWithCanNotLock) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  const TLockRange header = HeaderLockRange(TxLokProtocol::ClipLock);
  a.OsLockRetried(header);
  b.set_lock_timing(200, 50);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { b.OsLockRetried(header); }), "Can not Lock file " + path);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_EQ(b.lock_count(), 0);
  a.OsUnlock(header);
  EXPECT_NO_THROW(b.OsLockRetried(header));
}

TEST(DiskFile, RenameReopensUnderTheNewName) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "old.dbf");
  FaultyIo io;
  TDiskFile f(path, false, true, io);
  f.Open();
  f.Rename("new.dbf");
  EXPECT_TRUE(f.is_open());
  EXPECT_EQ(f.path(), dir.dir() + "new.dbf");
  EXPECT_EQ(f.Size(), 10u);
  EXPECT_FALSE(std::filesystem::exists(dir / "old.dbf"));
  io.FailNext(FaultyIo::kRename);
  EXPECT_EQ(ErrorOf([&] { f.Rename("other.dbf"); }),
            "Error on Rename of file " + dir.dir() + "new.dbf");
  EXPECT_TRUE(f.is_open());
}

TEST(DiskFile, OpenFollowsAFileRenamedOverItsName) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.ntx", "old");
  const std::string fresh = MakeFile(dir, "t.ntx.tmp", "new");
  // A rebuild renames its new file over the name between this open and its share lock.
  struct RenameBeforeFirstLock : FileIoWrapper {
    std::string from, to;
    int locks = 0;
    RenameBeforeFirstLock() : FileIoWrapper(SystemFileIo()) {}
    int Flock(int fd, int operation) override {
      if (locks++ == 0) target().Rename(from, to);
      return target().Flock(fd, operation);
    }
  } io;
  io.from = fresh;
  io.to = path;
  TDiskFile f(path, true, false, io);
  f.Open();
  char buf[3];
  ASSERT_EQ(f.Read(buf, 3, 0), 3u);
  EXPECT_EQ(std::string(buf, 3), "new") << "the handle is on the file that carries the name";
  EXPECT_EQ(io.locks, 2);
}

TEST(DiskFile, CreateDoesNotEmptyAFileInUse) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  TDiskFile user(path, true, false);
  user.Open();
  TDiskFile creator(path, false, true);
  EXPECT_EQ(ErrorOf([&] { creator.Create(); }), "Access denied to file " + path);
  EXPECT_EQ(std::filesystem::file_size(path), 10u);
  user.Close();
  creator.Create();
  EXPECT_EQ(creator.Size(), 0u);
}

TEST(DiskFile, OpenFileListClosesWhatIsLeft) {
  test::TempDir dir;
  const std::string path = MakeFile(dir, "t.dbf");
  const size_t before = TOpenFileList::Count();
  TDiskFile a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(a.LockRange(1000000001, 1));
  EXPECT_EQ(TOpenFileList::Count(), before + 2);
  b.Close();
  EXPECT_EQ(TOpenFileList::Count(), before + 1);
  TOpenFileList::CloseAll();
  EXPECT_EQ(TOpenFileList::Count(), 0u);
  EXPECT_FALSE(a.is_open());
  EXPECT_TRUE(RangeFree(path, 1000000001, 1));
}

}  // namespace
}  // namespace fidora
