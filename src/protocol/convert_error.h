// Errors of turning request text and column values into the numbers the handlers compute with.
// Handlers answer them with their error line.
#pragma once

#include <stdexcept>

namespace fidora {

// Text that is not a number: "'%s' is not a valid floating point value" or
// "'%s' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A result beyond the range of its type: "Integer overflow".
class EIntOverflow : public std::overflow_error {
 public:
  EIntOverflow() : std::overflow_error("Integer overflow") {}
};

}  // namespace fidora
