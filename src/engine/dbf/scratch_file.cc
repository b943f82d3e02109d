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
  if (const int error = PWriteFully(io_, fd_, buffer, count, static_cast<int64_t>(offset)))
    throw EXbError(XbErrorKind::kIO,
                   fmt::sprintf("Error %d in Write of file %s at block %d", error, path_, offset));
}

size_t TScratchFile::Read(void* buffer, size_t count, uint64_t offset) {
  const ssize_t done = PReadFully(io_, fd_, buffer, count, static_cast<int64_t>(offset));
  if (done < 0)
    throw EXbError(XbErrorKind::kIO,
                   fmt::sprintf("Error %d in Read of file %s at block %d", errno, path_, offset));
  return static_cast<size_t>(done);
}

}  // namespace fidora
