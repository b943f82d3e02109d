#include "engine/dbf/disk_file.h"

#include <fcntl.h>
#include <fmt/printf.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/open_file_list.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool PathExists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

}  // namespace

TDiskFile::TDiskFile(const std::string& path, bool shared, bool read_write)
    : shared_(shared), read_write_(read_write) {
  SetPath(path);
}

TDiskFile::~TDiskFile() {
  TDiskFile::Close();
}

void TDiskFile::SetPath(const std::string& path) {
  path_ = ResolveFileName(path);
  exists_ = PathExists(path_);
}

short TDiskFile::OsLockType() const {
  return read_write_ ? F_WRLCK : F_RDLCK;
}

void TDiskFile::CloseHandle() {
  if (fd_ >= 0) CurrentFileIo().Close(fd_);
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
  if (!exists_) throw EXbError(fmt::sprintf("File %s could not be found", path_));
  FileIo& io = CurrentFileIo();
  const int fd = io.Open(path_, read_write_ ? O_RDWR : O_RDONLY, 0);
  if (fd < 0) throw EXbError(fmt::sprintf("Access denied to file %s", path_));
  if (io.Flock(fd, (shared_ ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    io.Close(fd);
    throw EXbError(fmt::sprintf("Access denied to file %s", path_));
  }
  fd_ = fd;
  position_ = 0;
  lock_count_ = 0;
  dirty_ = false;
  closed_ = false;
  TOpenFileList::Add(this);
}

void TDiskFile::Create() {
  Close();
  FileIo& io = CurrentFileIo();
  // Not O_TRUNC: a file that another program still has open must not be emptied under it.
  const int fd = io.Open(path_, O_RDWR | O_CREAT, 0666);
  if (fd < 0) throw EXbError(fmt::sprintf("Access denied to file %s", path_));
  if (io.Flock(fd, LOCK_EX | LOCK_NB) != 0 || io.Truncate(fd, 0) != 0) {
    io.Close(fd);
    throw EXbError(fmt::sprintf("Access denied to file %s", path_));
  }
  io.Close(fd);
  exists_ = true;
  Open();
}

uint64_t TDiskFile::Size() {
  int64_t size = 0;
  if (closed_ || CurrentFileIo().FileSize(fd_, &size) != 0)
    throw EXbError(fmt::sprintf("Error getting FileSize for file %s", path_));
  return static_cast<uint64_t>(size);
}

void TDiskFile::Flush() {
  if (closed_) return;
  if (CurrentFileIo().DataSync(fd_) != 0)
    throw EXbError(fmt::sprintf("Error on Flush for file %s", path_));
  dirty_ = false;
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
    throw EXbError(fmt::sprintf("Another lock active on file %s", path_));
  }
  if (closed_ || offset > kMaxOffset || length > kMaxOffset) return false;
  locked_ = range;
  if (CurrentFileIo().LockRange(fd_, OsLockType(), static_cast<int64_t>(offset),
                                static_cast<int64_t>(length)) != 0)
    return false;
  lock_count_ = 1;
  return true;
}

bool TDiskFile::Unlock() {
  if (lock_count_ <= 0) return true;
  if (shared_ && lock_count_ == 1 && !closed_) {
    if (CurrentFileIo().LockRange(fd_, F_UNLCK, static_cast<int64_t>(locked_.offset),
                                  static_cast<int64_t>(locked_.length)) != 0)
      throw EXbError(fmt::sprintf("Error in Unlock of file %s", path_));
  }
  --lock_count_;
  return true;
}

bool TDiskFile::TryOsLock(TLockRange range) {
  if (!shared_) return true;
  if (closed_) return false;
  return CurrentFileIo().LockRange(fd_, OsLockType(), static_cast<int64_t>(range.offset),
                                   static_cast<int64_t>(range.length)) == 0;
}

void TDiskFile::OsLockRetried(TLockRange range) {
  const int attempts = lock_retry_ms_ > 0 ? lock_timeout_ms_ / lock_retry_ms_ : 1;
  for (int i = 0; i < attempts; ++i) {
    if (TryOsLock(range)) return;
    if (i + 1 < attempts) SleepMs(lock_retry_ms_);
  }
  throw EXbError(fmt::sprintf("Can not Lock file %s", path_));
}

void TDiskFile::OsUnlock(TLockRange range) {
  if (!shared_ || closed_) return;
  CurrentFileIo().LockRange(fd_, F_UNLCK, static_cast<int64_t>(range.offset),
                            static_cast<int64_t>(range.length));
}

bool TDiskFile::LockRangeRetried(TLockRange range) {
  const int attempts = lock_retry_ms_ > 0 ? lock_timeout_ms_ / lock_retry_ms_ : 1;
  for (int i = 0; i < attempts; ++i) {
    if (LockRange(range.offset, range.length)) return true;
    if (i + 1 < attempts) SleepMs(lock_retry_ms_);
  }
  return false;
}

size_t TDiskFile::Read(void* buffer, size_t count, uint64_t offset) {
  if (offset > kMaxOffset)
    throw EXbError(
        fmt::sprintf("Error %d in FileSeek of file %s at block %d", EINVAL, path_, offset));
  auto* out = static_cast<char*>(buffer);
  int error = EBADF;
  for (int attempt = 0; attempt <= io_retries_; ++attempt) {
    if (attempt > 0) SleepMs(io_retry_ms_);
    if (closed_) break;
    size_t done = 0;
    bool failed = false;
    while (done < count) {
      const ssize_t n =
          CurrentFileIo().PRead(fd_, out + done, count - done, static_cast<int64_t>(offset + done));
      if (n < 0) {
        error = errno;
        failed = true;
        break;
      }
      if (n == 0) break;  // end of file
      done += static_cast<size_t>(n);
    }
    if (!failed) {
      position_ = offset + done;
      return done;
    }
  }
  throw EXbError(fmt::sprintf("Error %d in Read of file %s at block %d", error, path_, offset));
}

void TDiskFile::Write(const void* buffer, size_t count, uint64_t offset) {
  if (offset > kMaxOffset)
    throw EXbError(
        fmt::sprintf("Error %d in FileSeek of file %s at block %d", EINVAL, path_, offset));
  const auto* in = static_cast<const char*>(buffer);
  int error = EBADF;
  for (int attempt = 0; attempt <= io_retries_; ++attempt) {
    if (attempt > 0) SleepMs(io_retry_ms_);
    if (closed_) break;
    // Every attempt writes the whole buffer again: a part written before a failure is
    // simply overwritten with the same bytes.
    size_t done = 0;
    while (done < count) {
      const ssize_t n =
          CurrentFileIo().PWrite(fd_, in + done, count - done, static_cast<int64_t>(offset + done));
      if (n <= 0) {
        error = n < 0 ? errno : ENOSPC;
        break;
      }
      done += static_cast<size_t>(n);
    }
    if (done == count) {
      dirty_ = true;
      position_ = offset + count;
      return;
    }
  }
  throw EXbError(fmt::sprintf("Error %d in Write of file %s at block %d", error, path_, offset));
}

void TDiskFile::Rename(const std::string& new_name) {
  const std::string old_path = path_;
  const std::string target = new_name.find('/') == std::string::npos
                                 ? old_path.substr(0, old_path.rfind('/') + 1) + new_name
                                 : new_name;
  const bool was_open = !closed_;
  Close();
  const std::string new_path = ResolveFileName(target);
  if (CurrentFileIo().Rename(old_path, new_path) != 0) {
    if (was_open) Open();
    throw EXbError(fmt::sprintf("Error on Rename of file %s", old_path));
  }
  SetPath(new_path);
  if (was_open) Open();
}

void TDiskFile::StatusNotice(long, long, long) {}

void TDiskFile::Truncate(uint64_t length) {
  if (!read_write_ || !HasFullAccess())
    throw EXbError(fmt::sprintf("%s requires full access to file %s", "Truncate", path_));
  if (closed_ || length > kMaxOffset ||
      CurrentFileIo().Truncate(fd_, static_cast<int64_t>(length)) != 0)
    throw EXbError(fmt::sprintf("Error in Truncate of file %s", path_));
}

}  // namespace fidora
