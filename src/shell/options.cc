#include "shell/options.h"

#include <charconv>
#include <stdexcept>

namespace fidora {

const char kUsage[] =
    "usage: fidora [--headless] [--data-dir DIR] [--config FILE] [--port N] [--second-port N]\n"
    "              [--listen ADDRESS] [--allow LIST] [--log-transactions] [--version] [--help]\n"
    "  --listen ADDRESS  listen on this local IPv4 address only (default: every address)\n"
    "  --allow LIST      only these terminals may connect: IPv4 addresses and networks,\n"
    "                    such as \"192.168.1.0/24,10.0.0.7\" (default: every machine)\n";

std::optional<long long> WholeNumber(std::string_view text, long long minimum, long long maximum) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum ||
      value > maximum)
    return std::nullopt;
  return value;
}

namespace {
uint16_t ParsePort(const std::string& option, const std::string& text) {
  const auto value = WholeNumber(text, 1, 65535);
  if (!value)
    throw std::invalid_argument(option + " needs a port number from 1 to 65535, not \"" + text +
                                "\"");
  return static_cast<uint16_t>(*value);
}
}  // namespace

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inline_value;
    if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
      inline_value = name.substr(equals + 1);
      name.resize(equals);
    }
    auto value = [&]() -> std::string {
      if (inline_value) return *inline_value;
      if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
      return args[++i];
    };
    auto no_value = [&] {
      if (inline_value) throw std::invalid_argument(name + " takes no value");
    };
    if (name == "--headless") {
      no_value();
      options.headless = true;
    } else if (name == "--log-transactions") {
      no_value();
      options.log_transactions = true;
    } else if (name == "--help" || name == "-h") {
      no_value();
      options.show_help = true;
    } else if (name == "--version") {
      no_value();
      options.show_version = true;
    } else if (name == "--data-dir") {
      options.data_dir = value();
    } else if (name == "--config") {
      options.config_file = value();
    } else if (name == "--port") {
      options.port = ParsePort(name, value());
    } else if (name == "--second-port") {
      options.second_port = ParsePort(name, value());
    } else if (name == "--listen") {
      options.listen_address = value();
    } else if (name == "--allow") {
      options.allowed_terminals = value();
    } else {
      throw std::invalid_argument("unknown option \"" + args[i] + "\"");
    }
  }
  return options;
}

}  // namespace fidora
