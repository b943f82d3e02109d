#include "shell/server_config.h"

#include <fmt/format.h>

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

}  // namespace fidora
