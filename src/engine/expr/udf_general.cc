// Functions on values of any type: BETWEEN DESCEND EMPTY IIF INLIST MAX MIN.
#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/udf_library.h"

namespace fidora {
namespace {

// Only the chosen value is evaluated.
FIDORA_UDF(TxUDFIIF, "IIF") {
  const bool condition = call.Arg(1, TxExpType::Boolean).logical;
  return call.ArgAny(condition ? 2 : 3);
}

FIDORA_UDF(TxUDFEmpty, "EMPTY") {
  const TxExpValue x = call.ArgAny(1);
  bool empty = false;
  switch (x.type) {
    case TxExpType::Date:
    case TxExpType::DateTime:
      empty = IsNoDate(x.number);
      break;
    case TxExpType::Number:
    case TxExpType::Integer:
      empty = x.number == 0;
      break;
    case TxExpType::Text:
      empty = x.text.find_first_not_of(' ') == std::string::npos;
      break;
    case TxExpType::Boolean:
      empty = !x.logical;
      break;
    default:
      break;
  }
  return TxExpValue::OfBoolean(empty);
}

// Reverses the order of values for descending index keys, keeping their type.
FIDORA_UDF(TxUDFDescend, "DESCEND") {
  TxExpValue x = call.ArgAny(1);
  switch (x.type) {
    case TxExpType::Date:
    case TxExpType::DateTime:
      if (x.number != kNoDate) x.number = 5231808 - x.number;
      return x;
    case TxExpType::Number:
    case TxExpType::Integer:
      if (x.number != 0) x.number = -x.number;
      return x;
    case TxExpType::Text:
      for (char& c : x.text) c = static_cast<char>((256 - static_cast<unsigned char>(c)) % 256);
      return x;
    case TxExpType::Boolean:
      x.logical = !x.logical;
      return x;
    default:
      return TxExpValue::OfBoolean(false);
  }
}

FIDORA_UDF(TxUDFBetween, "BETWEEN") {
  const TxExpValue x = call.ArgAny(1);
  const TxExpType type = IsNumericType(x.type) ? TxExpType::Number : x.type;
  const TxExpValue lo = call.Arg(2, type);
  const TxExpValue hi = call.Arg(3, type);
  return TxExpValue::OfBoolean(udf::CompareValues(x, lo) >= 0 && udf::CompareValues(x, hi) <= 0);
}

bool SameValue(const TxExpValue& x, const TxExpValue& candidate) {
  if (IsNumericType(x.type) && IsNumericType(candidate.type)) return x.number == candidate.number;
  if (x.type == TxExpType::Boolean && candidate.type == TxExpType::Boolean) {
    return x.logical == candidate.logical;
  }
  const bool xText = x.type == TxExpType::Text || x.type == TxExpType::Memo;
  const bool cText = candidate.type == TxExpType::Text || candidate.type == TxExpType::Memo;
  return xText && cText && x.text == candidate.text;
}

// The text x loses its trailing blanks; the candidates are compared as they are.
FIDORA_UDF(TxUDFInlist, "INLIST") {
  TxExpValue x = call.ArgAny(1);
  if (x.type == TxExpType::Empty) return TxExpValue::OfBoolean(false);
  if (x.type == TxExpType::Text) x.text = std::string(TrimRight(x.text));
  for (int k = 2; call.HasArg(k); ++k) {
    if (SameValue(x, call.ArgAny(k))) return TxExpValue::OfBoolean(true);
  }
  return TxExpValue::OfBoolean(false);
}

// The greatest (sign 1) or least (sign -1) argument; equal values keep the earliest.
TxExpValue Extreme(const TxExpFunction& call, int sign, const char* name) {
  TxExpValue best = call.ArgAny(1);
  if (best.type == TxExpType::Empty) {
    throw EXbExpression(fmt::format("A value is required for {}", name));
  }
  for (int k = 2; call.HasArg(k); ++k) {
    TxExpValue v = call.ArgAny(k);
    if (v.type != best.type) {
      throw EXbExpression(fmt::format("All arguments for {} must be of the same type", name));
    }
    if (udf::CompareValues(v, best) * sign > 0) best = std::move(v);
  }
  return best;
}

FIDORA_UDF(TxUDFMax, "MAX") {
  return Extreme(call, 1, "Max()");
}
FIDORA_UDF(TxUDFMin, "MIN") {
  return Extreme(call, -1, "Min()");
}

}  // namespace

void RegisterGeneralFunctions(TxFunctionReg& r) {
  r.Add(std::make_shared<TxUDFBetween>());
  r.Add(std::make_shared<TxUDFDescend>());
  r.Add(std::make_shared<TxUDFEmpty>());
  r.Add(std::make_shared<TxUDFIIF>());
  r.Add(std::make_shared<TxUDFInlist>());
  r.Add(std::make_shared<TxUDFMax>());
  r.Add(std::make_shared<TxUDFMin>());
}

}  // namespace fidora
