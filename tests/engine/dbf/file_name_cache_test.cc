// Names resolved without regard to case are remembered while their directory stays unchanged:
// a cached name costs no directory listing, and a file renamed, removed or created meanwhile
// is still found as it now stands.
#include "engine/dbf/file_name_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/file_io.h"
#include "engine/dbf/file_names.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

// The real calls with a cache of its own, a clock that runs ahead (so that directories made
// by the test count as settled), and counts of the directory listings.
class CachingIo : public FileIoWrapper {
 public:
  explicit CachingIo(std::chrono::seconds ahead) : FileIoWrapper(SystemFileIo()), ahead_(ahead) {}
  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    ++listings;
    return FileIoWrapper::ListDirectory(dir, names);
  }
  TFileNameCache* NameCache() override { return &cache_; }
  std::chrono::system_clock::time_point Now() override { return FileIoWrapper::Now() + ahead_; }

  int Flock(int fd, int operation) override {
    if (on_flock) std::exchange(on_flock, nullptr)();
    return FileIoWrapper::Flock(fd, operation);
  }

  int listings = 0;
  std::function<void()> on_flock;  // runs once, at the next share lock

 private:
  std::chrono::seconds ahead_;
  TFileNameCache cache_;
};

void MakeFile(const test::TempDir& dir, const std::string& name) {
  std::ofstream(dir / name, std::ios::binary) << "x";
}

// Changes made by a test follow each other faster than the file system's clock ticks: give
// the directory a modification time of its own after each one.
void Stamp(const std::filesystem::path& directory) {
  static int step = 0;
  std::filesystem::last_write_time(
      directory, std::filesystem::file_time_type::clock::now() - std::chrono::hours(++step));
}

TEST(FileNameCache, CachedNamesFollowChangesOfTheDirectory) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Data");
  MakeFile(dir, "Data/Tracker.dbf");
  CachingIo io(std::chrono::seconds(60));
  const std::string asked = dir.dir() + "DATA/TRACKER.DBF";
  bool exists = false;

  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "Data/Tracker.dbf");
  EXPECT_TRUE(exists);
  const int listed = io.listings;
  EXPECT_GT(listed, 0);
  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "Data/Tracker.dbf");
  EXPECT_TRUE(exists);
  EXPECT_EQ(io.listings, listed) << "a cached name lists no directory";

  // Renamed to another case variant, removed, created again: each is seen at once.
  std::filesystem::rename(dir / "Data/Tracker.dbf", dir / "Data/tracker.DBF");
  Stamp(dir / "Data");
  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "Data/tracker.DBF");
  EXPECT_TRUE(exists);
  std::filesystem::remove(dir / "Data/tracker.DBF");
  Stamp(dir / "Data");
  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "Data/TRACKER.DBF");
  EXPECT_FALSE(exists);
  MakeFile(dir, "Data/TrAcKeR.dbf");
  Stamp(dir / "Data");
  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "Data/TrAcKeR.dbf");
  EXPECT_TRUE(exists);

  // The directory itself replaced by another of the same name.
  std::filesystem::rename(dir / "Data", dir / "Old");
  std::filesystem::create_directory(dir / "data");
  MakeFile(dir, "data/TRACKER.dbf");
  EXPECT_EQ(ResolveFileName(asked, io, &exists), dir.dir() + "data/TRACKER.dbf");
  EXPECT_TRUE(exists);
}

TEST(FileNameCache, AFileRenamedOverTheNameWhileOpeningIsTheOneOpened) {
  test::TempDir dir;
  MakeFile(dir, "TRACKER.DBF");
  std::ofstream(dir / "new.dbf", std::ios::binary) << "new";
  Stamp(dir / "");
  CachingIo io(std::chrono::seconds(60));
  TDiskFile warm(dir.dir() + "tracker.dbf", true, false, io);  // the name and its directory cached
  warm.Open();
  warm.Close();
  io.on_flock = [&] { std::filesystem::rename(dir / "new.dbf", dir / "TRACKER.DBF"); };
  TDiskFile file(dir.dir() + "tracker.dbf", true, false, io);
  file.Open();
  char bytes[3] = {};
  EXPECT_EQ(file.Read(bytes, 3, 0), 3u);
  EXPECT_EQ(std::string(bytes, 3), "new");
}

TEST(FileNameCache, RecentlyChangedDirectoriesAreNotCached) {
  test::TempDir dir;
  MakeFile(dir, "Club.dbf");
  CachingIo io(std::chrono::seconds(0));  // the directory changed just now
  EXPECT_EQ(ResolveFileName(dir.dir() + "CLUB.DBF", io), dir.dir() + "Club.dbf");
  const int listed = io.listings;
  EXPECT_EQ(ResolveFileName(dir.dir() + "CLUB.DBF", io), dir.dir() + "Club.dbf");
  EXPECT_GT(io.listings, listed);
}

}  // namespace
}  // namespace fidora
