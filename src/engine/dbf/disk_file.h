// TDiskFile: the one class through which the engine touches a file. It opens with share
// modes (flock), reads and writes at 64-bit offsets with retries, flushes, truncates, and
// holds at most one byte-range lock at a time with a nesting count. Derived classes (table,
// memo and index files) add their lock operations on top. Every failure raises EXbError with
// the system's text and the file's path; the file then stays open with its lock state as it
// was. All calls to the operating system go through the FileIo handed in (file_io.h), which
// must outlive the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/lock_protocol.h"
#include "engine/dbf/lock_retry.h"

namespace fidora {

class TDiskFile {
 public:
  // Makes a closed file object. A relative path is made absolute against the current
  // directory, and each component is resolved without regard to case (file_names.h).
  // Whether the file exists is looked up now; shared and read-write are fixed for its life.
  TDiskFile(const std::string& path, bool shared, bool read_write, FileIo& io = SystemFileIo());
  // The same for a name already resolved.
  TDiskFile(const TResolvedName& name, bool shared, bool read_write, FileIo& io);
  virtual ~TDiskFile();
  TDiskFile(const TDiskFile&) = delete;
  TDiskFile& operator=(const TDiskFile&) = delete;

  // Releases every lock, leaves the open-file list and closes the handle. Never fails.
  virtual void Close();
  virtual uint64_t Size();
  // fdatasync; clears the dirty flag. Nothing when closed.
  virtual void Flush();
  // When a range is held: unlocks it whatever the nesting count.
  virtual void ReleaseLocks();
  // One attempt at the full lock (offset 0, 0x7FFFFFFF) on a shared file; true at once on
  // an exclusive one.
  virtual bool FullLock();
  // Locks a range through the nesting count: one attempt, false when another program (or
  // another open of this process) holds it. Asking for a different range while one is held
  // raises "Another lock active on file %s".
  virtual bool LockRange(uint64_t offset, uint64_t length);
  // Positioned read; returns the bytes read (short only at the end of the file). Failures
  // are retried 3 times, 50 ms apart.
  virtual size_t Read(void* buffer, size_t count, uint64_t offset);
  // Closes, renames (a name without "/" stays in the same directory) and reopens.
  virtual void Rename(const std::string& new_name);
  // Opens the file, which must exist; refused share modes raise "Access denied to file %s".
  // When the name was given to another file while opening (a rebuild renamed a new file over
  // it), the new file is opened.
  virtual void Open();
  // Creates the file empty (or empties it, when no other open holds it), then opens it.
  virtual void Create();
  // Progress notice of long operations; nothing here, the table handler forwards it.
  virtual void StatusNotice(long stat1, long stat2, long stat3);
  // Cuts the file; needs a read-write file that is exclusive or holds the full lock.
  virtual void Truncate(uint64_t length);
  // Lowers the nesting count, unlocking the range at the operating system when it was 1.
  virtual bool Unlock();
  // Positioned write of all count bytes, retried like Read; sets the dirty flag.
  virtual void Write(const void* buffer, size_t count, uint64_t offset);

  // Raises the nesting count without locking (a wider lock already covers the request).
  void IncLockCount() { ++lock_count_; }
  // Exclusive file, or a shared one holding the full lock.
  bool HasFullAccess() const;
  // One attempt to make this open the only one of the file (its share mode becomes
  // exclusive); false, keeping the shared mode, while another open holds the file.
  bool TryExclusiveUse();
  // Makes the entries of the file's directory durable (after a rename or a create);
  // "Error on Flush for file %s" on failure.
  void SyncDirectory();
  // The open file's identity, change times and size; false when closed or unknown.
  bool Stamp(FileStamp* stamp) const;

  // Locks taken at the operating system outside the nesting count (header, memo and index
  // locks). On an exclusive file they succeed without a call. TryOsLock makes one attempt;
  // OsLockRetried tries every lock-retry interval until the lock timeout (100 x 50 ms) and
  // then raises "Can not Lock file %s".
  bool TryOsLock(TLockRange range);
  void OsLockRetried(TLockRange range);
  void OsUnlock(TLockRange range);
  // Lock through the nesting count, tried every lock-retry interval until the timeout.
  bool LockRangeRetried(TLockRange range);

  FileIo& io() const { return io_; }
  const std::string& path() const { return path_; }
  bool exists() const { return exists_; }
  bool shared() const { return shared_; }
  bool read_write() const { return read_write_; }
  bool is_open() const { return !closed_; }
  uint64_t position() const { return position_; }
  bool dirty() const { return dirty_; }
  int lock_count() const { return lock_count_; }
  TLockRange locked_range() const { return locked_; }

  // The tries of a waited-for lock: every lock-retry interval until the lock timeout.
  TLockRetry lock_retry() const {
    return TLockRetry::Within(std::chrono::milliseconds(lock_timeout_ms_),
                              std::chrono::milliseconds(lock_retry_ms_));
  }
  void set_lock_timing(int timeout_ms, int retry_ms) {
    lock_timeout_ms_ = timeout_ms;
    lock_retry_ms_ = retry_ms;
  }

 protected:
  // Forgets the file's name and exists flag for another path (used by Rename).
  void SetPath(const std::string& path);
  int fd() const { return fd_; }

 private:
  friend class TOpenFileList;
  short OsLockType() const;
  // Whether the handle fd, just opened, is the file that path_ names now.
  bool StillNamed(int fd);
  void CloseHandle();
  void Pause(int ms) { io_.SleepFor(std::chrono::milliseconds(ms)); }

  FileIo& io_;
  std::string path_;
  bool exists_ = false;
  bool shared_;
  bool read_write_;
  int fd_ = -1;
  bool closed_ = true;
  uint64_t position_ = 0;
  int lock_count_ = 0;
  TLockRange locked_;
  bool dirty_ = false;
  int lock_timeout_ms_ = 5000;
  int lock_retry_ms_ = 50;
  int io_retries_ = 3;
  int io_retry_ms_ = 50;
  // Links of the open-file list.
  TDiskFile* prev_open_ = nullptr;
  TDiskFile* next_open_ = nullptr;
};

}  // namespace fidora
