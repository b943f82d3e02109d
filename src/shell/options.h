// The command line of `fidora`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

struct TOptions {
  bool headless = false;
  std::optional<std::string> data_dir;  // this run only; the configuration file is not written
  std::optional<std::string> config_file;
  uint16_t port = 7522;
  uint16_t second_port = 7523;
  std::optional<std::string> listen_address;     // overrides ListenAddress of [Fidora]
  std::optional<std::string> allowed_terminals;  // overrides AllowedTerminals of [Fidora]
  bool log_transactions = false;
  bool show_help = false;
  bool show_version = false;
};

// Parses the arguments after the program name; std::invalid_argument with a one-line reason
// for anything it does not understand.
TOptions ParseOptions(const std::vector<std::string>& args);

extern const char kUsage[];

// The decimal whole number `text` (nothing else around it) when it lies in [minimum, maximum].
std::optional<long long> WholeNumber(std::string_view text, long long minimum, long long maximum);

}  // namespace fidora
