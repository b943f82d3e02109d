// TFileNameCache: remembers how a path was resolved without regard to case (file_names.h), so
// that opening the same tables request after request does not look at every component and
// list directories again. An entry is trusted only while the directory that holds the
// resolved name has the identity and change times it had when the entry was made: adding,
// removing or renaming any entry of a directory changes them, so a file that was renamed,
// removed or created meanwhile is resolved afresh. A directory changed in the last second
// is not cached at all, because its times may not yet show a change made in the same tick.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "engine/dbf/file_io.h"

namespace fidora {

class TFileNameCache {
 public:
  struct Entry {
    std::string resolved;  // the path as found on disk (or as given where nothing matched)
    bool exists = false;   // whether the resolved name existed
  };

  // The entry for the absolute, unresolved path when its directory is unchanged; one call
  // of io.DirectoryStamp.
  std::optional<Entry> Find(const std::string& path, FileIo& io);
  // Remembers how path was resolved, unless the resolved name's directory cannot be stamped
  // or changed too recently.
  void Store(const std::string& path, const Entry& entry, FileIo& io);
  // True when the directory holds a settled stamp and still has it (one call of
  // io.DirectoryStamp): none of its names has changed since a moment before now. False
  // without a call when nothing is known of the directory.
  bool DirectoryUnchanged(const std::string& directory, FileIo& io);
  void Clear() {
    entries_.clear();
    directories_.clear();
  }

 private:
  struct Cached {
    Entry entry;
    std::string directory;
    FileStamp stamp;
  };
  static constexpr size_t kMaxEntries = 4096;

  std::unordered_map<std::string, Cached> entries_;
  std::unordered_map<std::string, FileStamp> directories_;  // the settled stamps seen
};

}  // namespace fidora
