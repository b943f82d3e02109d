// Files of the data directory that a terminal names (FILE). A name is relative to the data
// directory; "\" is read as "/", each component is found without regard to case, and
// sub-folders are allowed. A name that leaves the directory — an absolute path or a ".."
// component (terminal_names.h), or a symbolic link inside the directory that points out of
// it — is refused.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

enum class TDataFileKind {
  Outside,  // refused: the name leaves the data directory
  Missing,  // nothing there (or a link to nothing)
  Regular,  // a regular file (also through a link that stays inside)
  Other,    // a directory, a device, a pipe, ...
};

struct TDataFile {
  TDataFileKind kind = TDataFileKind::Missing;
  // The file's real path (links resolved) for Regular and Other; else the name as it would be
  // created.
  std::string path;
};

// Looks `name` up in `data_path` (which ends with "/").
TDataFile FindDataFile(const std::string& data_path, std::string_view name);

}  // namespace fidora
