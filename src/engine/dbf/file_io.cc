#include "engine/dbf/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <thread>

#include "engine/dbf/file_name_cache.h"
#include "engine/dbf/file_page_cache.h"

namespace fidora {
namespace {

void StampOf(const struct stat& st, FileStamp* stamp) {
  stamp->device = st.st_dev;
  stamp->inode = st.st_ino;
  stamp->modified_ns = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp->changed_ns = int64_t{st.st_ctim.tv_sec} * 1'000'000'000 + st.st_ctim.tv_nsec;
  stamp->size = st.st_size;
}

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
  bool SameFile(int fd, const std::string& path) override {
    struct stat open_file {
    }, named{};
    if (::fstat(fd, &open_file) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
  }
  int OpenFileStamp(int fd, FileStamp* stamp) override {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return -1;
    StampOf(st, stamp);
    return 0;
  }
  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }
  int Rename(const std::string& from, const std::string& to) override {
    ForgetPagesOf(to);
    return ::rename(from.c_str(), to.c_str());
  }
  int Unlink(const std::string& path) override {
    ForgetPagesOf(path);
    return ::unlink(path.c_str());
  }
  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "/" : dir.c_str()), ::closedir);
    if (!d) return -1;
    names->clear();
    while (const dirent* e = ::readdir(d.get())) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names->push_back(name);
    }
    return 0;
  }
  std::string CurrentDirectory() override {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
      if (errno != ERANGE) return "/";
      buf.resize(buf.size() * 2);
    }
    return buf.data();
  }
  int SyncDirectory(const std::string& dir) override {
    const int fd = Open(dir.empty() ? "/" : dir, O_RDONLY | O_DIRECTORY, 0);
    if (fd < 0) return -1;
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
    return rc;
  }
  int DirectoryStamp(const std::string& path, FileStamp* stamp) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    StampOf(st, stamp);
    return 0;
  }
  TFileNameCache* NameCache() override { return &names_; }
  TFilePageCache* PageCache() override { return &pages_; }
  void SleepFor(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
  }
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }

 private:
  // A file that loses its name may lose its inode too, which a new file can then be given.
  void ForgetPagesOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) pages_.ForgetIdentity(st.st_dev, st.st_ino);
  }

  TFileNameCache names_;
  TFilePageCache pages_;
};

}  // namespace

FileIo& SystemFileIo() {
  static PosixFileIo io;
  return io;
}

ssize_t PReadFully(FileIo& io, int fd, void* buffer, size_t count, int64_t offset) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = io.PRead(fd, out + done, count - done, offset + static_cast<int64_t>(done));
    if (n < 0) return -1;
    if (n == 0) break;  // end of file
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int PWriteFully(FileIo& io, int fd, const void* buffer, size_t count, int64_t offset) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = io.PWrite(fd, in + done, count - done, offset + static_cast<int64_t>(done));
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace fidora
