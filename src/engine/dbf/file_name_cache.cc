#include "engine/dbf/file_name_cache.h"

#include <chrono>

namespace fidora {
namespace {

// A change within this time of its stamp may share its time with a later one.
constexpr std::chrono::seconds kSettled{1};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<TFileNameCache::Entry> TFileNameCache::Find(const std::string& path, FileIo& io) {
  const auto it = entries_.find(path);
  if (it == entries_.end()) return std::nullopt;
  FileStamp now{};
  if (io.DirectoryStamp(it->second.directory, &now) != 0 || !(now == it->second.stamp)) {
    directories_.erase(it->second.directory);
    entries_.erase(it);
    return std::nullopt;
  }
  return it->second.entry;
}

void TFileNameCache::Store(const std::string& path, const Entry& entry, FileIo& io) {
  Cached cached{entry, DirectoryOf(entry.resolved), {}};
  if (io.DirectoryStamp(cached.directory, &cached.stamp) != 0) return;
  const auto changed = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(cached.stamp.LastChangeNs())));
  if (io.Now() - changed < kSettled) return;
  if (entries_.size() >= kMaxEntries) Clear();
  directories_.insert_or_assign(cached.directory, cached.stamp);
  entries_.insert_or_assign(path, std::move(cached));
}

bool TFileNameCache::DirectoryUnchanged(const std::string& directory, FileIo& io) {
  const auto it = directories_.find(directory);
  if (it == directories_.end()) return false;
  FileStamp now{};
  if (io.DirectoryStamp(directory, &now) == 0 && now == it->second) return true;
  directories_.erase(it);
  return false;
}

}  // namespace fidora
