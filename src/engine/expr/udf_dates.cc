// Date functions: CTOD DATE DOW DTOC DTOS. Dates are day numbers; 0 and the value CTOD gives
// for an empty text (kNoDate) are both no date.
#include <cmath>

#include "engine/expr/exp_dates.h"
#include "engine/expr/exp_user_link.h"
#include "engine/expr/udf_library.h"

namespace fidora {
namespace {

std::int64_t WholeDay(double day) {
  return TruncToInt(day);
}

FIDORA_UDF(TxUDFCTOD, "CTOD") {
  const std::string text = call.TextArg(1);
  if (text.empty()) return TxExpValue::OfDate(kNoDate);
  return TxExpValue::OfDate(DayNumberFromText(text));
}

FIDORA_UDF(TxUDFDate, "DATE") {
  // An expression bound to a table reads the table's clock.
  return TxExpValue::OfDate(TodayDayNumber(call.Link() ? call.Link()->Io() : SystemFileIo()));
}

FIDORA_UDF(TxUDFDOW, "DOW") {
  const double day = call.Arg(1, TxExpType::Date).number;
  return TxExpValue::OfNumber(IsNoDate(day) ? 0 : DayOfWeek(WholeDay(day)));
}

// DTOC(date) is dd/mm/yyyy; DTOC(date, 1) is yyyymmdd.
FIDORA_UDF(TxUDFDTOC, "DTOC") {
  const double day = call.Arg(1, TxExpType::Date).number;
  if (IsNoDate(day)) return TxExpValue::OfText(std::string(10, ' '));
  const TxExpValue mode = call.ArgAny(2);
  if (IsNumericType(mode.type) && mode.number == 1) {
    return TxExpValue::OfText(DayNumberToFieldText(WholeDay(day)));
  }
  return TxExpValue::OfText(DayNumberToDisplayText(WholeDay(day)));
}

FIDORA_UDF(TxUDFDTOS, "DTOS") {
  return TxExpValue::OfText(udf::DtosText(call.Arg(1, TxExpType::Date).number));
}

}  // namespace

std::string udf::DtosText(double day) {
  if (IsNoDate(day)) return std::string(8, ' ');
  return DayNumberToFieldText(WholeDay(day));
}

void RegisterDateFunctions(TxFunctionReg& r) {
  r.Add(std::make_shared<TxUDFCTOD>());
  r.Add(std::make_shared<TxUDFDate>());
  r.Add(std::make_shared<TxUDFDOW>());
  r.Add(std::make_shared<TxUDFDTOC>());
  r.Add(std::make_shared<TxUDFDTOS>());
}

}  // namespace fidora
