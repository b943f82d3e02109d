#include "protocol/data_file.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "engine/dbf/file_names.h"
#include "protocol/terminal_names.h"

namespace fidora {

namespace {

// The real path (every link and "." resolved), or "" when it does not exist.
std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : std::string();
}

bool Inside(const std::string& real, const std::string& root) {
  return real == root || (real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
                          real[root.size()] == '/');
}

// The nearest existing ancestor of `path` (itself included), really resolved.
std::string NearestExisting(std::string path) {
  for (;;) {
    const std::string real = RealPath(path);
    if (!real.empty()) return real;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    path.erase(slash);
  }
}

}  // namespace

TDataFile FindDataFile(const std::string& data_path, std::string_view name) {
  const std::optional<std::string> inside = NameInsideDataDirectory(name);
  if (!inside || inside->empty()) return {TDataFileKind::Outside, {}};
  const std::string& relative = *inside;
  const std::string root = RealPath(data_path);
  if (root.empty()) return {TDataFileKind::Missing, data_path + relative};
  const std::string path = ResolveFileName(data_path + relative);

  struct stat link_info {};
  if (::lstat(path.c_str(), &link_info) != 0) {
    // Nothing there; but the folder it would be made in must not lie outside either.
    if (!Inside(NearestExisting(path), root)) return {TDataFileKind::Outside, {}};
    return {TDataFileKind::Missing, path};
  }
  const std::string real = RealPath(path);
  if (real.empty()) return {TDataFileKind::Missing, path};  // a link to nothing
  if (!Inside(real, root) || real == root) return {TDataFileKind::Outside, {}};
  struct stat info {};
  if (::stat(real.c_str(), &info) != 0) return {TDataFileKind::Missing, path};
  return {S_ISREG(info.st_mode) ? TDataFileKind::Regular : TDataFileKind::Other, real};
}

}  // namespace fidora
