// Whole-file steps for replacing a table by a copy built beside it, through the engine's file
// seam (FileIo), so that tests can make any of them fail. Every failure raises EXbError naming
// the file.
#pragma once

#include <string>

namespace fidora {

class FileIo;

// Copies the bytes of `from` into `to` (created or emptied) and flushes `to` to the disk.
void CopyFileBytes(FileIo& io, const std::string& from, const std::string& to);
// Flushes a closed file's data to the disk.
void SyncFile(FileIo& io, const std::string& path);
// Removes a file; a file that is not there is no error.
void RemoveFile(FileIo& io, const std::string& path);
// Renames a file over another in one step.
void RenameFile(FileIo& io, const std::string& from, const std::string& to);

}  // namespace fidora
