// The one seam between the table engine and the operating system's file calls.
// Every call behaves like the POSIX call it is named after: it returns -1 (or a negative
// count) and sets errno on failure. Production code uses SystemFileIo(); tests install
// their own implementation with ScopedFileIo to make chosen calls fail.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace fidora {

class FileIo {
 public:
  virtual ~FileIo() = default;

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
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Unlink(const std::string& path) = 0;
};

// The real calls.
FileIo& SystemFileIo();

// The implementation in force (SystemFileIo() unless a ScopedFileIo is alive).
FileIo& CurrentFileIo();

// Installs another implementation for the lifetime of the object (tests); restores the
// previous one when it goes.
class ScopedFileIo {
 public:
  explicit ScopedFileIo(FileIo& io);
  ~ScopedFileIo();
  ScopedFileIo(const ScopedFileIo&) = delete;
  ScopedFileIo& operator=(const ScopedFileIo&) = delete;

 private:
  FileIo* previous_;
};

}  // namespace fidora
