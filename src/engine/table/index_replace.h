// Rebuilding an index file without a moment where it is unusable or wrong: the order is built
// under a temporary name beside the file, flushed, and renamed over it. A process stopped at
// any point leaves either the old file or the new one under the index's name (and, at worst,
// the temporary file, which the next rebuild of that index overwrites).
#pragma once

#include <string>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/file_io.h"
#include "engine/index/index_table.h"

namespace fidora {

// What an order is built from.
struct TIndexDefinition {
  std::string key_expr;
  std::string for_expr;  // empty: no FOR condition
  bool unique = false;
  bool ascending = true;
};

// The temporary file a rebuild of path writes: path + ".tmp".
std::string IndexBuildPath(const std::string& path);

// Builds the order of definition over every record of table into the temporary file beside
// path (made for this process alone; "Access denied to file %s" while another rebuild of the
// same index runs), flushes it, and renames it over path. file_name names the index in
// messages and gives its tag. Replacing needs that no other open holds the old file: current
// is this process's own open of it (nullptr when it has none), whose share mode becomes
// exclusive; another open makes it "Access denied to file %s" with the old file kept. The
// temporary file is removed on every failure. *replaced tells, also when an error is raised,
// whether the new file took the name (only the flush of the directory can fail after that).
void ReplaceIndexFile(TIndexTable& table, FileIo& io, const std::string& path,
                      const std::string& file_name, const TIndexDefinition& definition,
                      TDiskFile* current, bool* replaced);

}  // namespace fidora
