// File names in the data directory. Names are case-insensitive there, as on the terminals'
// file systems: TRACKER.DBF, Tracker.dbf and tracker.DBF are one file.
#pragma once

#include <string>

#include "engine/dbf/file_io.h"

namespace fidora {

// Makes a relative path absolute (against the current directory) and resolves every
// component that does not exist under its exact name to an existing case variant, if any.
// Components without any match are kept as given, so a new file takes the name as given.
// With exists, also tells whether the resolved name exists. Resolutions are remembered in the
// io's name cache, when it keeps one, while the directory of the name is unchanged.
std::string ResolveFileName(const std::string& path, FileIo& io = SystemFileIo(),
                            bool* exists = nullptr);

// A path as ResolveFileName gave it, and whether it named an existing file then: handed on,
// it spares the next owner of the name another resolution.
struct TResolvedName {
  std::string path;
  bool exists = false;
};
TResolvedName ResolveName(const std::string& path, FileIo& io = SystemFileIo());

// True when the last component of the path has an extension ("a.dbf", not "dir.x/a").
bool HasFileExtension(const std::string& path);

// The path with extension ext (".DBF") added when it has none.
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

// The path with its extension replaced by (or, without one, extended with) ext.
std::string ChangeFileExtension(const std::string& path, const std::string& ext);

// The last component without its extension: "/data/TRACKER.DBF" -> "TRACKER".
std::string FileBaseName(const std::string& path);

// The last component: "/data/TRACKER.DBF" -> "TRACKER.DBF".
std::string FileNamePart(const std::string& path);

}  // namespace fidora
