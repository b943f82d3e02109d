// Formatting functions: STR STRZERO PADC PADL PADR.
#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/exp_user_link.h"
#include "engine/expr/udf_library.h"

namespace fidora {

namespace udf {

std::int64_t DefaultStrWidth(const TxExpFunction& call) {
  const TxExpUserLink* link = call.Link();
  if (!link) return 10;
  if (link->StrWidthFromNode()) {
    const TxExpBaseObject* node = call.ArgNode(1);
    return node ? node->Width() : 0;
  }
  return link->StrDefaultWidth();
}

std::string FormatStr(double x, std::int64_t width, std::int64_t decimals) {
  if (width <= 0) return {};
  CheckedLength(width);
  if (decimals < 0) decimals = 0;
  // With decimals the text has at least a digit, the point and the decimals.
  if (decimals > 0 && decimals + 2 > width) return std::string(static_cast<size_t>(width), '*');
  // Halves round away from zero, as ROUND does.
  const double rounded = udf::RoundHalfAwayFromZero(x, decimals);
  std::string text = fmt::format("{:.{}f}", rounded, static_cast<int>(decimals));
  // A value that rounds to zero is printed without a minus sign.
  if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
  const auto w = static_cast<size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

}  // namespace udf

namespace {

using udf::CheckedLength;
using udf::DefaultStrWidth;
using udf::FormatStr;

std::string StrOf(const TxExpFunction& call) {
  const double x = call.NumberArg(1);
  const TxExpValue widthArg = call.ArgAny(2);
  if (IsNumericType(widthArg.type)) {
    return FormatStr(x, TruncToInt(widthArg.number), udf::OptionalWhole(call, 3, 0));
  }
  return FormatStr(x, DefaultStrWidth(call), 0);
}

FIDORA_UDF(TxUDFStr, "STR") {
  return TxExpValue::OfText(StrOf(call));
}

// Leading blanks become zeros; a minus sign stays where it is (-5 in width 4 is "00-5").
FIDORA_UDF(TxUDFStrZero, "STRZERO") {
  std::string text = StrOf(call);
  for (char& c : text) {
    if (c != ' ') break;
    c = '0';
  }
  return TxExpValue::OfText(std::move(text));
}

enum class Placement { Left, Right, Center };

std::string PadValueText(const TxExpValue& v) {
  switch (v.type) {
    case TxExpType::Text:
    case TxExpType::Memo:
      return v.text;
    case TxExpType::Boolean:
      return v.logical ? "T" : "F";
    default:
      return IsNumericType(v.type) ? FormatGeneral(v.number) : std::string();
  }
}

// The value (never cut) placed in n characters of the repeated fill text.
TxExpValue Pad(const TxExpFunction& call, Placement placement) {
  const TxExpValue x = call.ArgAny(1);
  if (x.type == TxExpType::Empty) {
    throw EXbExpression("Value needed for Argument 1 of Pad");
  }
  const std::string value(TrimRight(PadValueText(x)));
  const std::int64_t n = TruncToInt(call.NumberArg(2));
  if (static_cast<std::int64_t>(value.size()) >= n) return TxExpValue::OfText(value);
  CheckedLength(n);
  const TxExpValue fillArg = call.ArgAny(3);
  std::string fill = " ";
  if (fillArg.type == TxExpType::Text && !fillArg.text.empty())
    fill = fillArg.text;
  else if (fillArg.type != TxExpType::Empty)
    udf::RequiredButInvalid("Char");

  const auto width = static_cast<size_t>(n);
  std::string out;
  out.reserve(width + fill.size());
  while (out.size() < width) out += fill;
  out.resize(width);
  size_t at = 0;
  if (placement == Placement::Right) at = width - value.size();
  if (placement == Placement::Center) at = (width - value.size()) / 2;
  out.replace(at, value.size(), value);
  return TxExpValue::OfText(std::move(out));
}

FIDORA_UDF(TxUDFPadR, "PADR") {
  return Pad(call, Placement::Left);
}
FIDORA_UDF(TxUDFPadL, "PADL") {
  return Pad(call, Placement::Right);
}
FIDORA_UDF(TxUDFPadC, "PADC") {
  return Pad(call, Placement::Center);
}

}  // namespace

void RegisterFormatFunctions(TxFunctionReg& r) {
  r.Add(std::make_shared<TxUDFStr>());
  r.Add(std::make_shared<TxUDFStrZero>());
  r.Add(std::make_shared<TxUDFPadC>());
  r.Add(std::make_shared<TxUDFPadL>());
  r.Add(std::make_shared<TxUDFPadR>());
}

}  // namespace fidora
