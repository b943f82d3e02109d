// Errors of arithmetic and of number and date conversion. They are not expression errors:
// they reach the caller with the run-time library's own texts, unchanged.
#pragma once

#include <stdexcept>
#include <string>

namespace fidora {

class ERunTimeError : public std::runtime_error {
 public:
  explicit ERunTimeError(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* kFloatDivByZero = "Floating point division by zero";
inline constexpr const char* kFloatInvalid = "Invalid floating point operation";
inline constexpr const char* kFloatOverflow = "Floating point overflow";
inline constexpr const char* kDivByZero = "Division by zero";

// "'%s' is not a valid date" / "'%s' is not a valid floating point value".
ERunTimeError InvalidDateError(const std::string& text);
ERunTimeError InvalidFloatError(const std::string& text);
// The invalid-argument error of a financial function ("FutureValue", "PresentValue").
ERunTimeError InvalidArgumentError(const std::string& routine);

// Raises the floating-point error when an arithmetic result is not a finite number.
void CheckFloatResult(double result);

}  // namespace fidora
