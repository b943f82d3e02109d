#include "engine/table/alias_table.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/dbf/ansi_case.h"

namespace fidora {

namespace {

struct Aliases {
  Aliases();
  std::mutex lock;
  std::vector<std::pair<std::string, std::string>> entries;
};

std::string ProgramDirectory() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return "./";
  path.resize(static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

Aliases::Aliases() {
  entries.emplace_back(kDefaultDirectory, ProgramDirectory());
}

Aliases& Table() {
  static Aliases aliases;
  return aliases;
}

std::string Slashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

}  // namespace

void AddAlias(const std::string& name, const std::string& directory) {
  Aliases& a = Table();
  const std::lock_guard guard(a.lock);
  for (auto& [n, d] : a.entries)
    if (AnsiSameText(n, name)) {
      d = Slashes(directory);
      return;
    }
  a.entries.emplace_back(name, Slashes(directory));
}

void AddSelfAlias(const std::string& name) {
  Aliases& a = Table();
  const std::lock_guard guard(a.lock);
  for (const auto& entry : a.entries)
    if (AnsiSameText(entry.first, name)) return;
  a.entries.emplace_back(name, Slashes(name));
}

std::optional<std::string> AliasDirectory(const std::string& name) {
  Aliases& a = Table();
  const std::lock_guard guard(a.lock);
  for (const auto& [n, d] : a.entries)
    if (AnsiSameText(n, name)) return d;
  return std::nullopt;
}

std::string DatabaseDirectory(const std::string& database_name) {
  if (database_name.empty()) return {};
  std::string directory = AliasDirectory(database_name).value_or(Slashes(database_name));
  if (directory.empty() || directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace fidora
