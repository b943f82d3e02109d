#include "engine/index/index_disk_storage.h"

#include <filesystem>

namespace fidora {

TIndexDiskStorage::TIndexDiskStorage(const std::string& path, bool shared, bool read_write,
                                     bool create, FileIo& io)
    : file_(path, shared, read_write, io) {
  if (create)
    file_.Create();
  else
    file_.Open();
  name_ = std::filesystem::path(file_.path()).filename().string();
}

TIndexDiskStorage::TIndexDiskStorage(const TResolvedName& name, bool shared, bool read_write,
                                     FileIo& io)
    : file_(name, shared, read_write, io) {
  file_.Open();
  name_ = std::filesystem::path(file_.path()).filename().string();
}

void TIndexDiskStorage::Truncate(uint64_t length) {
  if (file_.HasFullAccess()) {
    file_.Truncate(length);
    return;
  }
  // A shared index is cut only when no other program has it open for reading its pages:
  // the full lock proves that; without it Truncate raises "requires full access".
  if (!file_.LockRangeRetried(FullLockRange())) {
    file_.Truncate(length);
    return;
  }
  try {
    file_.Truncate(length);
  } catch (...) {
    file_.Unlock();
    throw;
  }
  file_.Unlock();
}

}  // namespace fidora
