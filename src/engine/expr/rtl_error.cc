#include "engine/expr/rtl_error.h"

#include <cmath>

namespace fidora {

ERunTimeError InvalidDateError(const std::string& text) {
  return ERunTimeError("'" + text + "' is not a valid date");
}

ERunTimeError InvalidFloatError(const std::string& text) {
  return ERunTimeError("'" + text + "' is not a valid floating point value");
}

ERunTimeError InvalidArgumentError(const std::string& routine) {
  return ERunTimeError("Invalid argument to " + routine);
}

void CheckFloatResult(double result) {
  if (std::isnan(result)) throw ERunTimeError(kFloatInvalid);
  if (std::isinf(result)) throw ERunTimeError(kFloatOverflow);
}

}  // namespace fidora
