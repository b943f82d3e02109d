#include "common/args.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fidora {

std::optional<long long> ParseWholeNumber(std::string_view text, long long minimum,
                                          long long maximum) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

std::optional<int> ParseSecondsAsMs(std::string_view text, double maximum) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string copy(text);
  char* end = nullptr;
  const double seconds = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(seconds > 0) || seconds > maximum) return std::nullopt;
  return std::max(1, static_cast<int>(std::lround(seconds * 1000)));
}

bool TakeOptionValue(int argc, char** argv, int& i, std::string_view name, std::string_view& value,
                     std::string& error) {
  const std::string_view arg = argv[i];
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (arg != name) return false;
  if (i + 1 >= argc) {
    error = fmt::format("{} needs a value", name);
    return false;
  }
  value = argv[++i];
  return true;
}

long long WholeOptionValue(std::string_view name, std::string_view value, long long minimum,
                           long long maximum, std::string& error) {
  const auto number = ParseWholeNumber(value, minimum, maximum);
  if (!number)
    error = fmt::format("{} needs a number from {} to {}, not '{}'", name, minimum, maximum, value);
  return number.value_or(0);
}

bool ReadLineCommand(int argc, char** argv, std::string& error, bool& help, std::string& line,
                     const std::function<bool(int& i)>& option) {
  bool have_line = false;
  bool only_positional = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!only_positional && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") {
        only_positional = true;
      } else if (arg == "--help" || arg == "-h") {
        help = true;
      } else if (!option(i) && error.empty()) {
        error = fmt::format("unknown option {}", arg);
      }
      if (!error.empty()) return false;
      continue;
    }
    if (have_line) {
      error = "give one request LINE (quote it), or - for standard input";
      return false;
    }
    line = arg;
    have_line = true;
  }
  if (!have_line && !help) {
    error = "no request LINE given";
    return false;
  }
  return true;
}

}  // namespace fidora
