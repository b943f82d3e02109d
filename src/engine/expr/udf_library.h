// The function library: every global function an expression can call, registered once by
// TxFunctionReg::Global(). Each function is a TxUserDefFunction class (TxUDFUpper, TxUDFDTOS, ...)
// defined in the udf_*.cc file of its group.
#pragma once

#include <cstdint>
#include <string>

#include "engine/expr/exp_node.h"
#include "engine/expr/exp_registry.h"

namespace fidora {

void RegisterLibrary(TxFunctionReg& registry);

void RegisterNumericFunctions(TxFunctionReg& registry);  // ABS .. TAN, ROUND, MOD, FV, PV
void RegisterTextFunctions(TxFunctionReg& registry);     // UPPER, SUBSTR, AT, SOUNDEX, ...
void RegisterFormatFunctions(TxFunctionReg& registry);   // STR, STRZERO, PADC, PADL, PADR
void RegisterDateFunctions(TxFunctionReg& registry);     // CTOD, DATE, DOW, DTOC, DTOS
void RegisterGeneralFunctions(TxFunctionReg& registry);  // IIF, EMPTY, INLIST, MAX, MIN, ...

// Helpers shared by the library.
namespace udf {

// Argument k truncated when it is of the numeric family, else `fallback`.
std::int64_t OptionalWhole(const TxExpFunction& call, int k, std::int64_t fallback);
// A length a function is asked to build a text of; longer than kMaxTextLength raises
// "A number value is required but invalid".
std::int64_t CheckedLength(std::int64_t length);
// Order of two values of one type: numbers numerically, texts by bytes without their trailing
// blanks, false before true. -1, 0 or 1.
int CompareValues(const TxExpValue& a, const TxExpValue& b);
// x rounded to `places` decimals (negative: tens, hundreds, ...), halves away from zero.
double RoundHalfAwayFromZero(double x, std::int64_t places);
// "A %s value is required but invalid" / "Argument for %s must be %s".
[[noreturn]] void RequiredButInvalid(const std::string& what);

// STR's text: x right-justified in width characters with the given decimals (rounded); width
// asterisks when it does not fit, empty for a width of 0 or less.
std::string FormatStr(double x, std::int64_t width, std::int64_t decimals);
// The width STR uses when the call gives none: the table registry's default, or the declared
// width of the first argument once index expressions of the table have been compiled.
std::int64_t DefaultStrWidth(const TxExpFunction& call);
// DTOS's text of a day number: "yyyymmdd", 8 blanks for no date.
std::string DtosText(double day);
[[noreturn]] void ArgumentMustBe(const std::string& function, const std::string& range);

}  // namespace udf

}  // namespace fidora

// Declares a library function class and opens the body of its Evaluate(call).
#define FIDORA_UDF(ClassName, NameText)                                                \
  class ClassName final : public ::fidora::TxUserDefFunction {                         \
   public:                                                                             \
    ClassName() : TxUserDefFunction(NameText) {}                                       \
    ::fidora::TxExpValue Evaluate(const ::fidora::TxExpFunction& call) const override; \
  };                                                                                   \
  ::fidora::TxExpValue ClassName::Evaluate(const ::fidora::TxExpFunction& call) const
