#include "protocol/connection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fidora {

size_t TMemorySource::Read(char* dest, size_t n) {
  const size_t count = std::min(n, bytes_.size() - position_);
  std::memcpy(dest, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

std::string TMemorySource::Release() {
  if (position_ > 0) bytes_.erase(0, position_);
  position_ = 0;
  std::string rest = std::move(bytes_);
  bytes_.clear();
  return rest;
}

std::unique_ptr<TFileSource> TFileSource::Open(const std::string& path) {
  // Non-blocking, so that opening a pipe put in the file's place cannot hang the server.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  // Shared for reading: a file someone holds exclusively is not sent. Only regular files.
  struct stat info {};
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<TFileSource>(OpenKey{}, fd, static_cast<int64_t>(info.st_size));
}

TFileSource::~TFileSource() {
  ::close(fd_);
}

size_t TFileSource::Read(char* dest, size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd_, dest, n);
    if (got >= 0) {
      remaining_ -= got;
      return static_cast<size_t>(got);
    }
    if (errno != EINTR) return 0;  // a read error ends the file like its end would
  }
}

}  // namespace fidora
