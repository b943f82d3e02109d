#include "engine/expr/udf_library.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_text.h"

namespace fidora {

void RegisterLibrary(TxFunctionReg& registry) {
  RegisterNumericFunctions(registry);
  RegisterTextFunctions(registry);
  RegisterFormatFunctions(registry);
  RegisterDateFunctions(registry);
  RegisterGeneralFunctions(registry);
}

namespace udf {

std::int64_t OptionalWhole(const TxExpFunction& call, int k, std::int64_t fallback) {
  const TxExpValue v = call.ArgAny(k);
  return IsNumericType(v.type) ? TruncToInt(v.number) : fallback;
}

std::int64_t CheckedLength(std::int64_t length) {
  if (length > kMaxTextLength) RequiredButInvalid("number");
  return length;
}

int CompareValues(const TxExpValue& a, const TxExpValue& b) {
  if (IsNumericType(a.type) && IsNumericType(b.type)) {
    return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  }
  if (a.type == TxExpType::Boolean && b.type == TxExpType::Boolean) {
    return static_cast<int>(a.logical) - static_cast<int>(b.logical);
  }
  if ((a.type == TxExpType::Text || a.type == TxExpType::Memo) &&
      (b.type == TxExpType::Text || b.type == TxExpType::Memo)) {
    const int c = TrimRight(a.text).compare(TrimRight(b.text));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;
}

// ROUND rounds halves away from zero, like the terminals' language: ROUND(2.5) is 3,
// ROUND(-2.5) is -3, ROUND(1234.5, -1) is 1230. The scaled value is first taken to 15
// significant digits, so a half that binary floating point cannot hold exactly (2.675 is
// 2.67499999...) still rounds up as the decimal text says: ROUND(2.675, 2) is 2.68.
double RoundHalfAwayFromZero(double x, std::int64_t places) {
  if (places > 300) return x;   // more places than a double holds: nothing to round
  if (places < -300) return 0;  // everything lies right of the rounding place
  const double scale = std::pow(10.0, static_cast<double>(std::llabs(places)));
  double scaled = places >= 0 ? x * scale : x / scale;
  if (!std::isfinite(scaled)) return x;
  // From 1e15 on a double holds no fraction worth rounding (and 15 digits would lose some).
  if (std::fabs(scaled) < 1e15)
    scaled = std::strtod(fmt::format("{:.15g}", scaled).c_str(), nullptr);
  const double rounded = std::round(scaled);  // std::round takes halves away from zero
  return places >= 0 ? rounded / scale : rounded * scale;
}

void RequiredButInvalid(const std::string& what) {
  throw EXbExpression(fmt::format("A {} value is required but invalid", what));
}

void ArgumentMustBe(const std::string& function, const std::string& range) {
  throw EXbExpression(fmt::format("Argument for {} must be {}", function, range));
}

}  // namespace udf
}  // namespace fidora
