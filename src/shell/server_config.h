// Fidora's own settings in the shared configuration file, section "Fidora" (the section
// "Alias" belongs to all point-of-sale programs and is only read):
//   MemoryBudgetMiB      unread and queued bytes of all connections together (default 256)
//   StallTimeoutSeconds  a connection whose unfinished request or unsent replies make no
//                        progress this long is closed (default 60)
#pragma once

#include <string>
#include <vector>

#include "net/connection_limits.h"
#include "shell/config_file.h"

namespace fidora {

inline constexpr char kFidoraSection[] = "Fidora";
inline constexpr char kMemoryBudgetKey[] = "MemoryBudgetMiB";
inline constexpr char kStallTimeoutKey[] = "StallTimeoutSeconds";

// The connection limits with the configured values. A value that is not a whole number in
// its range keeps the default; `problems` gets one line for each such value.
TConnectionLimits ReadConnectionLimits(const TConfigFile& config,
                                       std::vector<std::string>& problems);

}  // namespace fidora
