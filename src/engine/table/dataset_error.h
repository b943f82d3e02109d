// Errors the dataset component raises itself (state rules, conversions, missing files). The
// engine's file, index and lock errors keep their own type, EXbError.
#pragma once

#include <stdexcept>
#include <string>

namespace fidora {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// A value that cannot be converted to the type of the field it is given to.
class EVariantError : public EDatabaseError {
 public:
  explicit EVariantError(const std::string& message) : EDatabaseError(message) {}
};

}  // namespace fidora
