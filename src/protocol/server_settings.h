// Process-wide server settings, filled during start-up and read everywhere.
#pragma once

#include <mutex>
#include <string>

namespace fidora {

struct TServerSettings {
  std::string DataPath;  // at most 80 characters; ends with "/" unless the 80 are filled
  std::string Version;   // at most 20 characters, like "21.07.26"
};

TServerSettings& ServerSettings();

// ServerLock: the re-entrant lock held by data-path changes, the reindex routine, REINDEX and
// the GLOBAL sub-commands.
std::recursive_mutex& ServerLock();

}  // namespace fidora
