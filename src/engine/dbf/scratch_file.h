// TScratchFile: a file for intermediate data (the sorted runs of a large index build) that no
// other program sees and that cannot be left behind. It is created under a new name in a
// chosen directory, its name is removed at once, and the open descriptor is all that keeps
// it; the object closes it, and the system frees the space when the process ends however it
// ends. Every call goes through the FileIo handed in; failures raise EXbError (kind kIO, or
// kAccessDenied when it cannot be created) with the system's texts and the file's path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/dbf/file_io.h"

namespace fidora {

class TScratchFile {
 public:
  // Creates the file as dir + stem + a number + ".tmp", taking the first number whose name is
  // free, and removes the name.
  TScratchFile(FileIo& io, const std::string& dir, const std::string& stem);
  ~TScratchFile();
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

  // All count bytes at offset.
  void Write(const void* buffer, size_t count, uint64_t offset);
  // Up to count bytes at offset; fewer only at the end of the file.
  size_t Read(void* buffer, size_t count, uint64_t offset);

  // The name the file was created under (for messages).
  const std::string& path() const { return path_; }

 private:
  FileIo& io_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace fidora
