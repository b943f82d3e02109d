// FileIo: the one seam between the table engine and the operating system. Every file, directory,
// lock, sleep and clock call of the engine goes through it. An implementation is handed to each
// object that needs one (a disk file, a table, a dataset) and must outlive it; nothing looks one
// up globally. SystemFileIo() gives the real calls; a test derives from FileIoWrapper and
// overrides only the calls it wants to change (fail, count, kill, time).
//
// The file calls behave like the POSIX calls they are named after: they return -1 (or a
// negative count) and set errno on failure.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace fidora {

class TFileNameCache;
class TFilePageCache;

// What tells whether a file or a directory may have changed: its identity, the times of its
// last change and its size (file_name_cache.h, file_page_cache.h).
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  int64_t size = 0;
  int64_t LastChangeNs() const { return modified_ns > changed_ns ? modified_ns : changed_ns; }
  bool operator==(const FileStamp&) const = default;
};

class FileIo {
 public:
  virtual ~FileIo() = default;

  // ---- open files ----
  virtual int Open(const std::string& path, int flags, mode_t mode) = 0;
  virtual int Close(int fd) = 0;
  virtual ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) = 0;
  virtual ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) = 0;
  virtual int DataSync(int fd) = 0;
  virtual int Truncate(int fd, int64_t length) = 0;
  // Size of the open file in bytes, into *size.
  virtual int FileSize(int fd, int64_t* size) = 0;
  // Non-blocking byte-range lock per open file description (fcntl F_OFD_SETLK);
  // type is F_RDLCK, F_WRLCK or F_UNLCK.
  virtual int LockRange(int fd, short type, int64_t offset, int64_t length) = 0;
  // flock(2): share modes of whole files.
  virtual int Flock(int fd, int operation) = 0;
  // True when path still names the file open at fd (it was not replaced or removed).
  virtual bool SameFile(int fd, const std::string& path) = 0;
  // The stamp of the open file (fstat); -1 with errno when there is none.
  virtual int OpenFileStamp(int fd, FileStamp* stamp) {
    (void)fd;
    (void)stamp;
    return -1;
  }

  // ---- names and directories ----
  // Whether something exists under the name (symbolic links followed).
  virtual bool Exists(const std::string& path) = 0;
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Unlink(const std::string& path) = 0;
  // The names in a directory, "." and ".." left out.
  virtual int ListDirectory(const std::string& dir, std::vector<std::string>* names) = 0;
  // The process's current directory ("/" when it cannot be had).
  virtual std::string CurrentDirectory() = 0;
  // Makes the directory's entries durable (after a rename or a create).
  virtual int SyncDirectory(const std::string& dir) = 0;
  // The stamp of the directory (or file) at path; -1 with errno when there is none.
  virtual int DirectoryStamp(const std::string& path, FileStamp* stamp) {
    (void)path;
    (void)stamp;
    return -1;
  }
  // The cache of names resolved without regard to case kept with these calls, or nullptr
  // when every resolution looks at the directories (file_names.h).
  virtual TFileNameCache* NameCache() { return nullptr; }
  // The pages of index files kept in memory across opens, or nullptr when each open keeps
  // its own (file_page_cache.h).
  virtual TFilePageCache* PageCache() { return nullptr; }

  // ---- time ----
  virtual void SleepFor(std::chrono::milliseconds duration) = 0;
  // Wall-clock time (header dates and change stamps, today's date).
  virtual std::chrono::system_clock::time_point Now() = 0;
};

// The real calls.
FileIo& SystemFileIo();

// Reads count bytes at offset through io, going on after short reads; fewer only at the end
// of the file. The bytes read, or -1 with errno set.
ssize_t PReadFully(FileIo& io, int fd, void* buffer, size_t count, int64_t offset);
// Writes all count bytes at offset through io, going on after short writes. 0, or the error
// number of the failure (ENOSPC for a write that took nothing).
int PWriteFully(FileIo& io, int fd, const void* buffer, size_t count, int64_t offset);

// Forwards every call to another implementation; derive from it to change a few calls.
class FileIoWrapper : public FileIo {
 public:
  explicit FileIoWrapper(FileIo& target) : target_(target) {}
  FileIo& target() { return target_; }

  int Open(const std::string& path, int flags, mode_t mode) override {
    return target_.Open(path, flags, mode);
  }
  int Close(int fd) override { return target_.Close(fd); }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    return target_.PRead(fd, buffer, count, offset);
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    return target_.PWrite(fd, buffer, count, offset);
  }
  int DataSync(int fd) override { return target_.DataSync(fd); }
  int Truncate(int fd, int64_t length) override { return target_.Truncate(fd, length); }
  int FileSize(int fd, int64_t* size) override { return target_.FileSize(fd, size); }
  int LockRange(int fd, short type, int64_t offset, int64_t length) override {
    return target_.LockRange(fd, type, offset, length);
  }
  int Flock(int fd, int operation) override { return target_.Flock(fd, operation); }
  bool SameFile(int fd, const std::string& path) override { return target_.SameFile(fd, path); }
  int OpenFileStamp(int fd, FileStamp* stamp) override { return target_.OpenFileStamp(fd, stamp); }
  bool Exists(const std::string& path) override { return target_.Exists(path); }
  int Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  int Unlink(const std::string& path) override { return target_.Unlink(path); }
  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    return target_.ListDirectory(dir, names);
  }
  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }
  int SyncDirectory(const std::string& dir) override { return target_.SyncDirectory(dir); }
  int DirectoryStamp(const std::string& path, FileStamp* stamp) override {
    return target_.DirectoryStamp(path, stamp);
  }
  TFileNameCache* NameCache() override { return target_.NameCache(); }
  TFilePageCache* PageCache() override { return target_.PageCache(); }
  void SleepFor(std::chrono::milliseconds duration) override { target_.SleepFor(duration); }
  std::chrono::system_clock::time_point Now() override { return target_.Now(); }

 private:
  FileIo& target_;
};

// Passes every call on except the flushes to disk (of file data and of directories), which
// it skips: for writers of files that need no durability (generated demo data, tests).
class NoSyncFileIo : public FileIoWrapper {
 public:
  explicit NoSyncFileIo(FileIo& target = SystemFileIo()) : FileIoWrapper(target) {}
  int DataSync(int) override { return 0; }
  int SyncDirectory(const std::string&) override { return 0; }
};

}  // namespace fidora
