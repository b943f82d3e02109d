// Numeric functions: ABS ACOS ASIN ATAN ATN2 CEILING COS DTOR FLOOR FV INT LOG LOG10 MOD PI PV
// ROUND RTOD SIN TAN.
#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

#include "engine/expr/rtl_error.h"
#include "engine/expr/udf_library.h"

namespace fidora {
namespace {

TxExpValue Num(double d) {
  CheckFloatResult(d);
  return TxExpValue::OfNumber(d);
}

FIDORA_UDF(TxUDFAbsolute, "ABS") {
  return Num(std::fabs(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFCeiling, "CEILING") {
  return Num(std::ceil(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFFloor, "FLOOR") {
  return Num(std::floor(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFInt, "INT") {
  return Num(std::trunc(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFSin, "SIN") {
  return Num(std::sin(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFCosine, "COS") {
  return Num(std::cos(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFTan, "TAN") {
  return Num(std::tan(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFArcTan, "ATAN") {
  return Num(std::atan(call.NumberArg(1)));
}
FIDORA_UDF(TxUDFPi, "PI") {
  (void)call;
  return Num(kPi);
}
FIDORA_UDF(TxUDFDegToRad, "DTOR") {
  return Num(call.NumberArg(1) * 0.017453292519943295769);
}
FIDORA_UDF(TxUDFRadToDeg, "RTOD") {
  return Num(call.NumberArg(1) * 57.295779513082320877);
}

FIDORA_UDF(TxUDFArcTan2, "ATN2") {
  const double y = call.NumberArg(1);
  const double x = call.NumberArg(2);
  return Num(std::atan2(y, x));
}

FIDORA_UDF(TxUDFArcCos, "ACOS") {
  const double x = call.NumberArg(1);
  if (std::fabs(x) > 1) udf::ArgumentMustBe(Name(), "-1 to +1");
  return Num(std::acos(x));
}

FIDORA_UDF(TxUDFArcSin, "ASIN") {
  const double x = call.NumberArg(1);
  if (std::fabs(x) > 1) udf::ArgumentMustBe(Name(), "-1 to +1");
  return Num(std::asin(x));
}

FIDORA_UDF(TxUDFLog, "LOG") {
  const double x = call.NumberArg(1);
  if (x <= 0) udf::ArgumentMustBe(Name(), "> 0");
  return Num(std::log(x));
}

FIDORA_UDF(TxUDFLog10, "LOG10") {
  const double x = call.NumberArg(1);
  if (x <= 0) udf::ArgumentMustBe(Name(), "> 0");
  return Num(std::log10(x));
}

// Remainder of the truncated values, with the sign of the dividend.
FIDORA_UDF(TxUDFMod, "MOD") {
  const double a = std::trunc(call.NumberArg(1));
  const double b = std::trunc(call.NumberArg(2));
  if (b == 0) throw ERunTimeError(kDivByZero);
  return Num(std::fmod(a, b));
}

// ROUND rounds halves away from zero, like the terminals' language (udf::RoundHalfAwayFromZero).
FIDORA_UDF(TxUDFRound, "Round") {
  const double x = call.NumberArg(1);
  return Num(udf::RoundHalfAwayFromZero(x, udf::OptionalWhole(call, 2, 0)));
}

// Growth factor c = (1 + rate)^periods and annuity factor a of the financial functions.
struct Annuity {
  double c;
  double a;
};

Annuity AnnuityFactors(double rate, double periods, std::int64_t paymentTime) {
  Annuity f{1, periods};
  if (rate != 0) {
    if (std::fabs(rate) < 6.1e-5) {
      f.c = std::exp(periods * std::log1p(rate));
      f.a = periods * (1 + rate * (periods - 1) / 2);
    } else {
      f.c = std::pow(1 + rate, periods);
      f.a = (f.c - 1) / rate;
    }
  }
  if (paymentTime == 1) f.a *= 1 + rate;
  return f;
}

std::int64_t PaymentTime(const TxExpFunction& call, const char* argumentName) {
  const std::int64_t t = udf::OptionalWhole(call, 5, 0);
  if (t > 1 || t < -1) udf::ArgumentMustBe(argumentName, "0 or 1");
  return t;
}

double OptionalNumber(const TxExpFunction& call, int k) {
  const TxExpValue v = call.ArgAny(k);
  return IsNumericType(v.type) ? v.number : 0;
}

FIDORA_UDF(TxUDFFutureValue, "FV") {
  const double payment = call.NumberArg(1);
  const double rate = call.NumberArg(2);
  const double periods = std::trunc(call.NumberArg(3));
  const double present = OptionalNumber(call, 4);
  const std::int64_t t = PaymentTime(call, "FV PaymentTime");
  if (rate <= -1) throw InvalidArgumentError("FutureValue");
  const Annuity f = AnnuityFactors(rate, periods, t);
  if (!(f.c <= 1e16)) throw InvalidArgumentError("FutureValue");
  return Num(std::fabs(-payment * f.a - present * f.c));
}

// PV has no growth limit of its own; a factor beyond the range of a double is the same
// invalid-argument error FV gives.
FIDORA_UDF(TxUDFPresentValue, "PV") {
  const double payment = call.NumberArg(1);
  const double rate = call.NumberArg(2);
  const double periods = std::trunc(call.NumberArg(3));
  const double future = OptionalNumber(call, 4);
  const std::int64_t t = PaymentTime(call, "PV PaymentTime");
  if (rate <= -1) throw InvalidArgumentError("PresentValue");
  const Annuity f = AnnuityFactors(rate, periods, t);
  if (!std::isfinite(f.c) || !std::isfinite(f.a) || f.c == 0) {
    throw InvalidArgumentError("PresentValue");
  }
  return Num(std::fabs((-payment * f.a - future) / f.c));
}

}  // namespace

void RegisterNumericFunctions(TxFunctionReg& r) {
  r.Add(std::make_shared<TxUDFAbsolute>());
  r.Add(std::make_shared<TxUDFArcCos>());
  r.Add(std::make_shared<TxUDFArcSin>());
  r.Add(std::make_shared<TxUDFArcTan>());
  r.Add(std::make_shared<TxUDFArcTan2>());
  r.Add(std::make_shared<TxUDFCeiling>());
  r.Add(std::make_shared<TxUDFCosine>());
  r.Add(std::make_shared<TxUDFDegToRad>());
  r.Add(std::make_shared<TxUDFFloor>());
  r.Add(std::make_shared<TxUDFFutureValue>());
  r.Add(std::make_shared<TxUDFInt>());
  r.Add(std::make_shared<TxUDFLog>());
  r.Add(std::make_shared<TxUDFLog10>());
  r.Add(std::make_shared<TxUDFMod>());
  r.Add(std::make_shared<TxUDFPi>());
  r.Add(std::make_shared<TxUDFPresentValue>());
  r.Add(std::make_shared<TxUDFRadToDeg>());
  r.Add(std::make_shared<TxUDFRound>());
  r.Add(std::make_shared<TxUDFSin>());
  r.Add(std::make_shared<TxUDFTan>());
}

}  // namespace fidora
