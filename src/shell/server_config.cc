#include "shell/server_config.h"

#include <fmt/format.h>

#include <stdexcept>
#include <utility>

#include "net/terminal_access.h"
#include "shell/options.h"

namespace fidora {

namespace {
// Reads a whole number of [minimum, maximum]; nullopt when the key is missing or unusable.
std::optional<long long> ReadWhole(const TConfigFile& config, const char* key, long long minimum,
                                   long long maximum, std::vector<std::string>& problems) {
  const std::string text = config.ReadString(kFidoraSection, key);
  if (text.empty()) return std::nullopt;
  const auto value = WholeNumber(text, minimum, maximum);
  if (!value)
    problems.push_back(
        fmt::format("{}={} in section [{}] of {} is not a whole number from {} to "
                    "{}; the default is used",
                    key, text, kFidoraSection, config.Path(), minimum, maximum));
  return value;
}
}  // namespace

TConnectionLimits ReadConnectionLimits(const TConfigFile& config,
                                       std::vector<std::string>& problems) {
  TConnectionLimits limits;
  if (auto mib = ReadWhole(config, kMemoryBudgetKey, 16, 1 << 20, problems))
    limits.memory_budget = *mib << 20;
  if (auto seconds = ReadWhole(config, kStallTimeoutKey, 1, 24 * 3600, problems))
    limits.stall_timeout = std::chrono::seconds(*seconds);
  return limits;
}

void ReadTerminalAccess(const TConfigFile& config, const TOptions& options,
                        TConnectionLimits& limits) {
  const auto setting = [&](const std::optional<std::string>& option, const char* option_name,
                           const char* key) -> std::pair<std::string, std::string> {
    if (option) return {*option, option_name};
    return {config.ReadString(kFidoraSection, key),
            fmt::format("{} in section [{}] of {}", key, kFidoraSection, config.Path())};
  };
  const auto [address, address_origin] =
      setting(options.listen_address, "--listen", kListenAddressKey);
  if (!address.empty()) {
    const std::optional<uint32_t> parsed = ParseIPv4(address);
    if (!parsed)
      throw std::invalid_argument(fmt::format("{}: \"{}\" is not an IPv4 address such as "
                                              "192.168.1.10",
                                              address_origin, address));
    limits.listen_address = *parsed;
  }
  const auto [list, list_origin] =
      setting(options.allowed_terminals, "--allow", kAllowedTerminalsKey);
  try {
    limits.terminals = TTerminalAccess::Parse(list);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(fmt::format("{}: {}", list_origin, e.what()));
  }
}

std::string OpenAccessWarning(const TOptions& options) {
  return fmt::format(
      "Every machine that can reach ports {} and {} may read and change shopper data: no "
      "terminal list is set ({} in section [{}] of the configuration file, or --allow)",
      options.port, options.second_port, kAllowedTerminalsKey, kFidoraSection);
}

}  // namespace fidora
