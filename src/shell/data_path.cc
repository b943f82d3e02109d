#include "shell/data_path.h"

#include <dirent.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "protocol/field_helpers.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "shopper/shopper_module.h"

namespace fidora {

std::string NormaliseDataPath(std::string value) {
  std::replace(value.begin(), value.end(), '\\', '/');
  if (value.size() > kDataPathLength) value.resize(kDataPathLength);
  if ((value.empty() || value.back() != '/') && value.size() < kDataPathLength) value += '/';
  return value;
}

std::optional<std::string> FindNoCase(const std::string& directory, const std::string& name) {
  struct stat info {};
  if (::stat((directory + name).c_str(), &info) == 0) return name;
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return std::nullopt;
  const std::string wanted = UpperCase(name);
  std::optional<std::string> found;
  while (dirent* entry = ::readdir(dir)) {
    if (UpperCase(entry->d_name) == wanted) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool SetDataPath(const std::string& directory) {
  std::string& data_path = ServerSettings().DataPath;
  data_path = NormaliseDataPath(directory);
  Operator().ShowDataPath(data_path);
  if (TSDM* sdm = SDM(); sdm && !sdm->tTracker.Active()) sdm->tTracker.SetDatabaseName(data_path);
  if (data_path.empty() || data_path.back() != '/') {
    // A path that filled all 80 characters gets no "/": the name is simply appended to it.
    struct stat info {};
    return ::stat((data_path + "TRACKER.DBF").c_str(), &info) == 0;
  }
  return FindNoCase(data_path, "TRACKER.DBF").has_value();
}

bool LoadDataPath(const TConfigFile& config) {
  return SetDataPath(config.ReadString(kConfigSection, kConfigKey));
}

void EnsureDir(const std::string& path) {
  std::string directory = path;
  if (!directory.empty() && directory.back() == '/') directory.pop_back();
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  if (::mkdir(directory.c_str(), 0775) != 0 && errno != EEXIST)
    throw EInOutError(
        fmt::format("Unable to create directory \"{}\". {}", directory, std::strerror(errno)));
}

}  // namespace fidora
