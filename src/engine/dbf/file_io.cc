#include "engine/dbf/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fidora {
namespace {

class PosixFileIo final : public FileIo {
 public:
  int Open(const std::string& path, int flags, mode_t mode) override {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
  }
  int Close(int fd) override { return ::close(fd); }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    ssize_t n;
    do n = ::pread(fd, buffer, count, static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    return n;
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    ssize_t n;
    do n = ::pwrite(fd, buffer, count, static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    return n;
  }
  int DataSync(int fd) override { return ::fdatasync(fd); }
  int Truncate(int fd, int64_t length) override {
    return ::ftruncate(fd, static_cast<off_t>(length));
  }
  int FileSize(int fd, int64_t* size) override {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return -1;
    *size = st.st_size;
    return 0;
  }
  int LockRange(int fd, short type, int64_t offset, int64_t length) override {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    return ::fcntl(fd, F_OFD_SETLK, &fl);
  }
  int Flock(int fd, int operation) override {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc < 0 && errno == EINTR);
    return rc;
  }
  int Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str());
  }
  int Unlink(const std::string& path) override { return ::unlink(path.c_str()); }
};

FileIo* g_current = nullptr;

}  // namespace

FileIo& SystemFileIo() {
  static PosixFileIo io;
  return io;
}

FileIo& CurrentFileIo() {
  return g_current ? *g_current : SystemFileIo();
}

ScopedFileIo::ScopedFileIo(FileIo& io) : previous_(g_current) {
  g_current = &io;
}

ScopedFileIo::~ScopedFileIo() {
  g_current = previous_;
}

}  // namespace fidora
