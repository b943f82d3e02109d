#include "engine/dbf/scratch_file.h"

#include <fcntl.h>
#include <fmt/printf.h>

#include <cerrno>

#include "engine/dbf/xb_error.h"

namespace fidora {

namespace {
// Names tried before giving up: others are only taken for the moment between a create and
// its removal.
constexpr int kNameAttempts = 1000;
}  // namespace

TScratchFile::TScratchFile(FileIo& io, const std::string& dir, const std::string& stem) : io_(io) {
  for (int n = 0; n < kNameAttempts && fd_ < 0; ++n) {
    path_ = dir + stem + std::to_string(n) + ".tmp";
    fd_ = io_.Open(path_, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0)
    throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
  if (io_.Unlink(path_) != 0) {
    io_.Close(fd_);
    throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path_));
  }
}

TScratchFile::~TScratchFile() {
  io_.Close(fd_);
}

void TScratchFile::Write(const void* buffer, size_t count, uint64_t offset) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = io_.PWrite(fd_, in + done, count - done, static_cast<int64_t>(offset + done));
    if (n <= 0)
      throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error %d in Write of file %s at block %d",
                                                    n < 0 ? errno : ENOSPC, path_, offset));
    done += static_cast<size_t>(n);
  }
}

size_t TScratchFile::Read(void* buffer, size_t count, uint64_t offset) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = io_.PRead(fd_, out + done, count - done, static_cast<int64_t>(offset + done));
    if (n < 0)
      throw EXbError(XbErrorKind::kIO,
                     fmt::sprintf("Error %d in Read of file %s at block %d", errno, path_, offset));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace fidora
