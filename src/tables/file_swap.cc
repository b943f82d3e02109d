#include "tables/file_swap.h"

#include <fcntl.h>
#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/dbf/file_io.h"
#include "engine/dbf/xb_error.h"

namespace fidora {

namespace {

constexpr size_t kCopyChunk = 1 << 20;

[[noreturn]] void Fail(const char* operation, const std::string& path) {
  throw EXbError(fmt::format("Error on {} of file {}: {}", operation, path, std::strerror(errno)));
}

// A descriptor of the seam, closed on every path.
class TSeamFile {
 public:
  TSeamFile(FileIo& io, const std::string& path, int flags) : io_(io), path_(path) {
    fd_ = io_.Open(path, flags, 0644);
    if (fd_ < 0) Fail("Open", path);
  }
  ~TSeamFile() {
    if (fd_ >= 0) io_.Close(fd_);
  }
  TSeamFile(const TSeamFile&) = delete;
  TSeamFile& operator=(const TSeamFile&) = delete;
  int fd() const { return fd_; }
  void Sync() {
    if (io_.DataSync(fd_) != 0) Fail("Flush", path_);
  }

 private:
  FileIo& io_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace

void CopyFileBytes(FileIo& io, const std::string& from, const std::string& to) {
  TSeamFile in(io, from, O_RDONLY);
  TSeamFile out(io, to, O_WRONLY | O_CREAT | O_TRUNC);
  std::vector<char> buffer(kCopyChunk);
  int64_t offset = 0;
  for (;;) {
    const ssize_t got = io.PRead(in.fd(), buffer.data(), buffer.size(), offset);
    if (got < 0) Fail("Read", from);
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put =
          io.PWrite(out.fd(), buffer.data() + done, static_cast<size_t>(got - done), offset + done);
      if (put <= 0) Fail("Write", to);
      done += put;
    }
    offset += got;
  }
  out.Sync();
}

void SyncFile(FileIo& io, const std::string& path) {
  TSeamFile file(io, path, O_RDONLY);
  file.Sync();
}

void RemoveFile(FileIo& io, const std::string& path) {
  if (io.Unlink(path) != 0 && errno != ENOENT) Fail("Delete", path);
}

void RenameFile(FileIo& io, const std::string& from, const std::string& to) {
  if (io.Rename(from, to) != 0) Fail("Rename", from);
}

}  // namespace fidora
