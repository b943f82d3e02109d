// Fidora's own settings in the shared configuration file, section "Fidora" (the section
// "Alias" belongs to all point-of-sale programs and is only read):
//   MemoryBudgetMiB      unread and queued bytes of all connections together (default 256)
//   StallTimeoutSeconds  a connection whose unfinished request or unsent replies make no
//                        progress this long is closed (default 60)
//   ListenAddress        the local IPv4 address to listen on (default: every address)
//   AllowedTerminals     the machines that may connect, IPv4 addresses and networks in CIDR
//                        form separated by commas or blanks (default: every machine)
#pragma once

#include <string>
#include <vector>

#include "net/connection_limits.h"
#include "shell/config_file.h"
#include "shell/options.h"

namespace fidora {

inline constexpr char kFidoraSection[] = "Fidora";
inline constexpr char kMemoryBudgetKey[] = "MemoryBudgetMiB";
inline constexpr char kStallTimeoutKey[] = "StallTimeoutSeconds";
inline constexpr char kListenAddressKey[] = "ListenAddress";
inline constexpr char kAllowedTerminalsKey[] = "AllowedTerminals";

// The connection limits with the configured values. A value that is not a whole number in
// its range keeps the default; `problems` gets one line for each such value.
TConnectionLimits ReadConnectionLimits(const TConfigFile& config,
                                       std::vector<std::string>& problems);

// Sets the listen address and the allowed terminals of `limits` from the options, else from
// the configuration file. A value that is not an address or a list of them throws
// std::invalid_argument naming the option or key: the server must not start open to every
// machine because of a typing error.
void ReadTerminalAccess(const TConfigFile& config, const TOptions& options,
                        TConnectionLimits& limits);

// The warning given at every start when every machine may connect.
std::string OpenAccessWarning(const TOptions& options);

}  // namespace fidora
