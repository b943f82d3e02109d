// An index file on disk: the storage seam over a TDiskFile, opened with the table's sharing.
#pragma once

#include <memory>
#include <string>

#include "engine/dbf/disk_file.h"
#include "engine/index/index_storage.h"

namespace fidora {

class TIndexDiskStorage : public TIndexStorage {
 public:
  // Opens (or, with create, creates empty) the file at path through io.
  TIndexDiskStorage(const std::string& path, bool shared, bool read_write, bool create,
                    FileIo& io = SystemFileIo());
  // Opens the file of a name already resolved.
  TIndexDiskStorage(const TResolvedName& name, bool shared, bool read_write, FileIo& io);
  const std::string& Name() const override { return name_; }
  size_t Read(uint64_t offset, void* buffer, size_t count) override {
    return file_.Read(buffer, count, offset);
  }
  void Write(uint64_t offset, const void* buffer, size_t count) override {
    file_.Write(buffer, count, offset);
  }
  uint64_t Size() override { return file_.Size(); }
  void Truncate(uint64_t length) override;
  void Flush() override { file_.Flush(); }
  bool Shared() const override { return file_.shared(); }
  bool TryLock(uint64_t offset, uint64_t length) override {
    return file_.TryOsLock({offset, length});
  }
  void Unlock(uint64_t offset, uint64_t length) override { file_.OsUnlock({offset, length}); }
  void Pause(std::chrono::milliseconds interval) override { file_.io().SleepFor(interval); }
  TFilePageCache* PageCache() override { return file_.io().PageCache(); }
  bool Stamp(FileStamp* stamp) override { return file_.Stamp(stamp); }

  TDiskFile& file() { return file_; }

 private:
  TDiskFile file_;
  std::string name_;
};

}  // namespace fidora
