// ESocketError: "Windows socket error: %s (%d), on API '%s'", the system's own text for a
// socket failure: the error's message, its code and the failing call.
#pragma once

#include <fmt/format.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace fidora {

class ESocketError : public std::runtime_error {
 public:
  ESocketError(int code, const std::string& api)
      : std::runtime_error(fmt::format("Windows socket error: {} ({}), on API '{}'",
                                       std::strerror(code), code, api)) {}
};

}  // namespace fidora
