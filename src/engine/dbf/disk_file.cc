#include "engine/dbf/disk_file.h"

#include <fcntl.h>
#include <fmt/printf.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "engine/dbf/file_name_cache.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/open_file_list.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

}  // namespace

// How often an open follows its name to a file that was renamed over it meanwhile.
constexpr int kReplacedRetries = 3;

TDiskFile::TDiskFile(const std::string& path, bool shared, bool read_write, FileIo& io)
    : io_(io), shared_(shared), read_write_(read_write) {
  SetPath(path);
}

TDiskFile::TDiskFile(const TResolvedName& name, bool shared, bool read_write, FileIo& io)
    : io_(io), path_(name.path), exists_(name.exists), shared_(shared), read_write_(read_write) {}

TDiskFile::~TDiskFile() {
  TDiskFile::Close();
}

void TDiskFile::SetPath(const std::string& path) {
  path_ = ResolveFileName(path, io_, &exists_);
}

short TDiskFile::OsLockType() const {
  return read_write_ ? F_WRLCK : F_RDLCK;
}

void TDiskFile::CloseHandle() {
  if (fd_ >= 0) io_.Close(fd_);
  fd_ = -1;
}

void TDiskFile::Close() {
  if (closed_) return;
  if (lock_count_ > 0) {
    lock_count_ = 1;
    try {
      Unlock();
    } catch (const EXbError&) {
      // Closing the handle frees the range anyway.
    }
  }
  lock_count_ = 0;
  TOpenFileList::Remove(this);
  CloseHandle();
  closed_ = true;
}

void TDiskFile::Open() {
  if (!closed_) return;
  if (!exists_)
    throw EXbError(XbErrorKind::kNotFound, fmt::sprintf("File %s could not be found", path_));
  int fd = -1;
  for (int attempt = 0;; ++attempt) {
    fd = io_.Open(path_, read_write_ ? O_RDWR : O_RDONLY, 0);
    if (fd < 0)
      throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
    if (io_.Flock(fd, (shared_ ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
      io_.Close(fd);
      throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
    }
    // A rebuild that renamed a new file over the name between the open and the share lock
    // left this handle on the old file: open the name again.
    if (attempt == kReplacedRetries || StillNamed(fd)) break;
    io_.Close(fd);
  }
  fd_ = fd;
  position_ = 0;
  lock_count_ = 0;
  dirty_ = false;
  closed_ = false;
  TOpenFileList::Add(this);
}

bool TDiskFile::StillNamed(int fd) {
  // A directory whose names have not changed since before the open cannot have had a file
  // renamed over this one: one stat of the directory instead of two of the file.
  TFileNameCache* names = io_.NameCache();
  const size_t slash = path_.rfind('/');
  if (names && slash != std::string::npos && slash > 0 &&
      names->DirectoryUnchanged(path_.substr(0, slash), io_))
    return true;
  return io_.SameFile(fd, path_);
}

void TDiskFile::Create() {
  Close();
  FileIo& io = io_;
  // Not O_TRUNC: a file that another program still has open must not be emptied under it.
  const int fd = io.Open(path_, O_RDWR | O_CREAT, 0666);
  if (fd < 0)
    throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
  if (io.Flock(fd, LOCK_EX | LOCK_NB) != 0 || io.Truncate(fd, 0) != 0) {
    io.Close(fd);
    throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
  }
  io.Close(fd);
  exists_ = true;
  Open();
}

uint64_t TDiskFile::Size() {
  int64_t size = 0;
  if (closed_ || io_.FileSize(fd_, &size) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error getting FileSize for file %s", path_));
  return static_cast<uint64_t>(size);
}

void TDiskFile::Flush() {
  if (closed_) return;
  if (io_.DataSync(fd_) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Flush for file %s", path_));
  dirty_ = false;
}

void TDiskFile::SyncDirectory() {
  if (io_.SyncDirectory(path_.substr(0, path_.rfind('/') + 1)) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Flush for file %s", path_));
}

bool TDiskFile::Stamp(FileStamp* stamp) const {
  return !closed_ && io_.OpenFileStamp(fd_, stamp) == 0;
}

bool TDiskFile::TryExclusiveUse() {
  if (!shared_) return true;
  if (closed_) return false;
  if (io_.Flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    shared_ = false;
    return true;
  }
  // A refused conversion may have dropped the shared lock: take it again.
  io_.Flock(fd_, LOCK_SH | LOCK_NB);
  return false;
}

void TDiskFile::ReleaseLocks() {
  if (lock_count_ > 0) {
    lock_count_ = 1;
    Unlock();
  }
}

bool TDiskFile::FullLock() {
  if (!shared_) return true;
  const TLockRange full = FullLockRange();
  return LockRange(full.offset, full.length);
}

bool TDiskFile::HasFullAccess() const {
  if (!shared_) return true;
  return lock_count_ > 0 && locked_ == FullLockRange();
}

bool TDiskFile::LockRange(uint64_t offset, uint64_t length) {
  const TLockRange range{offset, length};
  if (!shared_) {
    ++lock_count_;
    locked_ = range;
    return true;
  }
  if (lock_count_ > 0) {
    if (range == locked_) {
      ++lock_count_;
      return true;
    }
    throw EXbError(XbErrorKind::kLock, fmt::sprintf("Another lock active on file %s", path_));
  }
  if (closed_ || offset > kMaxOffset || length > kMaxOffset) return false;
  locked_ = range;
  if (io_.LockRange(fd_, OsLockType(), static_cast<int64_t>(offset),
                    static_cast<int64_t>(length)) != 0)
    return false;
  lock_count_ = 1;
  return true;
}

bool TDiskFile::Unlock() {
  if (lock_count_ <= 0) return true;
  if (shared_ && lock_count_ == 1 && !closed_) {
    if (io_.LockRange(fd_, F_UNLCK, static_cast<int64_t>(locked_.offset),
                      static_cast<int64_t>(locked_.length)) != 0)
      throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error in Unlock of file %s", path_));
  }
  --lock_count_;
  return true;
}

bool TDiskFile::TryOsLock(TLockRange range) {
  if (!shared_) return true;
  if (closed_) return false;
  return io_.LockRange(fd_, OsLockType(), static_cast<int64_t>(range.offset),
                       static_cast<int64_t>(range.length)) == 0;
}

void TDiskFile::OsLockRetried(TLockRange range) {
  if (RetryLock(lock_retry(), io_, [&] { return TryOsLock(range); })) return;
  throw EXbError(XbErrorKind::kLock, fmt::sprintf("Can not Lock file %s", path_));
}

void TDiskFile::OsUnlock(TLockRange range) {
  if (!shared_ || closed_) return;
  io_.LockRange(fd_, F_UNLCK, static_cast<int64_t>(range.offset),
                static_cast<int64_t>(range.length));
}

bool TDiskFile::LockRangeRetried(TLockRange range) {
  return RetryLock(lock_retry(), io_, [&] { return LockRange(range.offset, range.length); });
}

size_t TDiskFile::Read(void* buffer, size_t count, uint64_t offset) {
  if (offset > kMaxOffset)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error %d in FileSeek of file %s at block %d",
                                                  EINVAL, path_, offset));
  int error = EBADF;
  for (int attempt = 0; attempt <= io_retries_; ++attempt) {
    if (attempt > 0) Pause(io_retry_ms_);
    if (closed_) break;
    const ssize_t done = PReadFully(io_, fd_, buffer, count, static_cast<int64_t>(offset));
    if (done >= 0) {
      position_ = offset + static_cast<size_t>(done);
      return static_cast<size_t>(done);
    }
    error = errno;
  }
  throw EXbError(XbErrorKind::kIO,
                 fmt::sprintf("Error %d in Read of file %s at block %d", error, path_, offset));
}

void TDiskFile::Write(const void* buffer, size_t count, uint64_t offset) {
  if (offset > kMaxOffset)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error %d in FileSeek of file %s at block %d",
                                                  EINVAL, path_, offset));
  int error = EBADF;
  for (int attempt = 0; attempt <= io_retries_; ++attempt) {
    if (attempt > 0) Pause(io_retry_ms_);
    if (closed_) break;
    // Every attempt writes the whole buffer again: a part written before a failure is
    // simply overwritten with the same bytes.
    error = PWriteFully(io_, fd_, buffer, count, static_cast<int64_t>(offset));
    if (error == 0) {
      dirty_ = true;
      position_ = offset + count;
      return;
    }
  }
  throw EXbError(XbErrorKind::kIO,
                 fmt::sprintf("Error %d in Write of file %s at block %d", error, path_, offset));
}

void TDiskFile::Rename(const std::string& new_name) {
  const std::string old_path = path_;
  const std::string target = new_name.find('/') == std::string::npos
                                 ? old_path.substr(0, old_path.rfind('/') + 1) + new_name
                                 : new_name;
  const bool was_open = !closed_;
  Close();
  const std::string new_path = ResolveFileName(target, io_);
  if (io_.Rename(old_path, new_path) != 0) {
    if (was_open) Open();
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Rename of file %s", old_path));
  }
  SetPath(new_path);
  if (was_open) Open();
}

void TDiskFile::StatusNotice(long, long, long) {}

void TDiskFile::Truncate(uint64_t length) {
  if (!read_write_ || !HasFullAccess())
    throw EXbError(XbErrorKind::kAccessDenied,
                   fmt::sprintf("%s requires full access to file %s", "Truncate", path_));
  if (closed_ || length > kMaxOffset || io_.Truncate(fd_, static_cast<int64_t>(length)) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error in Truncate of file %s", path_));
}

}  // namespace fidora
