#include "engine/dbf/file_names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "engine/dbf/ansi_case.h"

namespace fidora {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name without regard to case, or "" when none does.
std::string FindCaseVariant(const std::string& dir, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "/" : dir.c_str()), ::closedir);
  if (!d) return {};
  while (const dirent* e = ::readdir(d.get())) {
    if (AnsiSameText(e->d_name, name)) return e->d_name;
  }
  return {};
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace

std::string ResolveFileName(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') full = CurrentDirectory() + "/" + full;

  std::string resolved;  // without trailing "/"
  bool lost = false;     // a component had no match: the rest cannot exist either
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
      continue;
    }
    if (!lost && !Exists(resolved + "/" + part)) {
      std::string variant = FindCaseVariant(resolved, part);
      if (variant.empty())
        lost = true;
      else
        part = variant;
    }
    resolved += "/" + part;
  }
  return resolved.empty() ? "/" : resolved;
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
