#include "engine/dbf/file_names.h"

#include <vector>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/file_name_cache.h"

namespace fidora {
namespace {

// The entry of dir whose name equals name without regard to case, or "" when none does.
std::string FindCaseVariant(FileIo& io, const std::string& dir, const std::string& name) {
  std::vector<std::string> names;
  if (io.ListDirectory(dir.empty() ? "/" : dir, &names) != 0) return {};
  for (const std::string& entry : names)
    if (AnsiSameText(entry, name)) return entry;
  return {};
}

// Resolves the absolute path component by component; *exists tells whether the result exists.
std::string ResolveComponents(const std::string& full, FileIo& io, bool* exists) {
  std::string resolved;  // without trailing "/"
  bool lost = false;     // a component had no match: the rest cannot exist either
  bool last_known = false;
  size_t pos = 1;
  while (pos <= full.size()) {
    size_t end = full.find('/', pos);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      size_t slash = resolved.rfind('/');
      resolved.erase(slash == std::string::npos ? 0 : slash);
      last_known = false;
      continue;
    }
    if (!lost && !io.Exists(resolved + "/" + part)) {
      std::string variant = FindCaseVariant(io, resolved, part);
      if (variant.empty())
        lost = true;
      else
        part = variant;
    }
    resolved.append(1, '/').append(part);
    last_known = true;
  }
  if (resolved.empty()) resolved.assign(1, '/');
  *exists = last_known ? !lost : io.Exists(resolved);
  return resolved;
}

}  // namespace

std::string ResolveFileName(const std::string& path, FileIo& io, bool* exists) {
  std::string full = path;
  if (full.empty() || full[0] != '/') full = io.CurrentDirectory() + "/" + full;
  TFileNameCache* cache = io.NameCache();
  if (cache) {
    if (auto entry = cache->Find(full, io)) {
      if (exists) *exists = entry->exists;
      return entry->resolved;
    }
  }
  TFileNameCache::Entry entry;
  entry.resolved = ResolveComponents(full, io, &entry.exists);
  if (cache) cache->Store(full, entry, io);
  if (exists) *exists = entry.exists;
  return entry.resolved;
}

TResolvedName ResolveName(const std::string& path, FileIo& io) {
  TResolvedName name;
  name.path = ResolveFileName(path, io, &name.exists);
  return name;
}

bool HasFileExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && dot > 0;
}

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
  return HasFileExtension(path) ? path : path + ext;
}

std::string ChangeFileExtension(const std::string& path, const std::string& ext) {
  if (!HasFileExtension(path)) return path + ext;
  return path.substr(0, path.rfind('.')) + ext;
}

std::string FileNamePart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileBaseName(const std::string& path) {
  std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace fidora
