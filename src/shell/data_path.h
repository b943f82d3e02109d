// The data directory: read from the configuration file (section "Alias", key "POSPATH") or
// given for the run, kept in ServerSettings().DataPath, valid when it holds TRACKER.DBF.
#pragma once

#include <optional>
#include <string>

#include "shell/config_file.h"

namespace fidora {

inline constexpr std::size_t kDataPathLength = 80;
inline constexpr char kConfigSection[] = "Alias";
inline constexpr char kConfigKey[] = "POSPATH";

// "\" becomes "/"; cut to 80 characters; a "/" is added unless the 80 are filled.
std::string NormaliseDataPath(std::string value);

// The name of the entry of `directory` that equals `name` without regard to case (the exact
// name first); nullopt when there is none.
std::optional<std::string> FindNoCase(const std::string& directory, const std::string& name);

// Stores the normalised directory as DataPath, shows it to the operator and tells whether
// TRACKER.DBF (in any case) is there.
bool SetDataPath(const std::string& directory);
// SetDataPath with the configured POSPATH.
bool LoadDataPath(const TConfigFile& config);

// Creates the directory (one trailing "/" dropped) unless it exists; EInOutError on failure.
void EnsureDir(const std::string& path);

}  // namespace fidora
