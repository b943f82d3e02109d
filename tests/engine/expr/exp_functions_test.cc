// The function library, function by function: results, argument checks and error texts.
#include <gtest/gtest.h>

#include <ctime>

#include "engine/expr/exp_dates.h"
#include "engine/expr/exp_registry.h"
#include "expr_test_util.h"

namespace fidora {
namespace {

using test::ExpectCases;
using test::RunExpr;

TEST(UdfNumeric, ResultsAndDomainErrors) {
  ExpectCases({
      {"ABS(-3)", "Number|3"},
      {"ABS('x')", "!Number needed for Argument 1 of ABS"},
      {"ABS()", "!Number needed for Argument 1 of ABS"},
      {"ACOS(1)", "Number|0"},
      {"ACOS(1.5)", "!Argument for ACOS must be -1 to +1"},
      {"ASIN(1)", "Number|1.5707963267949"},
      {"ASIN(-2)", "!Argument for ASIN must be -1 to +1"},
      {"ATAN(1)", "Number|0.785398163397448"},
      {"ATN2(1, 0)", "Number|1.5707963267949"},
      {"ATN2(0, -1)", "Number|3.14159265358979"},
      {"ATN2(1)", "!Number needed for Argument 2 of ATN2"},
      {"CEILING(1.2)", "Number|2"},
      {"CEILING(-1.2)", "Number|-1"},
      {"FLOOR(-1.2)", "Number|-2"},
      {"FLOOR(1.8)", "Number|1"},
      {"INT(-1.7)", "Number|-1"},
      {"INT(1.7)", "Number|1"},
      {"COS(0)", "Number|1"},
      {"SIN(0)", "Number|0"},
      {"TAN(0)", "Number|0"},
      {"DTOR(180)", "Number|3.14159265358979"},
      {"RTOD(PI())", "Number|180"},
      {"PI()", "Number|3.14159265358979"},
      {"LOG(1)", "Number|0"},
      {"LOG(0)", "!Argument for LOG must be > 0"},
      {"LOG10(1000)", "Number|3"},
      {"LOG10(-1)", "!Argument for LOG10 must be > 0"},
      {"MOD(7, 3)", "Number|1"},
      {"MOD(-7, 3)", "Number|-1"},
      {"MOD(7, -3)", "Number|1"},
      {"MOD(7.9, 3.9)", "Number|1"},  // both truncated first
      {"MOD(5, 0)", "!Division by zero"},
      {"MOD(5, 0.5)", "!Division by zero"},
  });
}

// ROUND rounds halves away from zero, as the terminals' language does; the decimal text of the
// value counts, not its binary approximation (2.675 is stored as 2.67499999...).
TEST(UdfNumeric, RoundHalvesAwayFromZero) {
  ExpectCases({
      {"ROUND(2.5)", "Number|3"},
      {"ROUND(-2.5)", "Number|-3"},
      {"ROUND(2.4999)", "Number|2"},
      {"ROUND(2.675, 2)", "Number|2.68"},
      {"ROUND(-2.675, 2)", "Number|-2.68"},
      {"ROUND(1.005, 2)", "Number|1.01"},
      {"ROUND(1234.5, -1)", "Number|1230"},
      {"ROUND(1235, -1)", "Number|1240"},
      {"ROUND(1250, -2)", "Number|1300"},
      {"ROUND(3.14159, 'x')", "Number|3"},
      {"ROUND(3.14159, 400)", "Number|3.14159"},
      {"ROUND(123456789012345678, 0)", "Number|1.23456789012346E17"},
      {"ROUND('a')", "!Number needed for Argument 1 of Round"},
  });
}

TEST(UdfNumeric, FutureAndPresentValue) {
  ExpectCases({
      {"FV(100, 0.1, 2)", "Number|210"},
      {"FV(100, 0, 5)", "Number|500"},
      {"FV(100, 0.1, 2, 1000)", "Number|1420"},
      {"FV(100, 0.1, 2, 0, 1)", "Number|231"},
      {"FV(100, 0.00001, 10)", "Number|1000.045"},
      {"FV(100, 0.1, 2.9)", "Number|210"},
      {"FV(100, 0.1, 2, 0, 2)", "!Argument for FV PaymentTime must be 0 or 1"},
      {"FV(100, -1, 2)", "!Invalid argument to FutureValue"},
      {"FV(1, 100, 10)", "!Invalid argument to FutureValue"},
      {"FV(100, 0.1)", "!Number needed for Argument 3 of FV"},
      {"PV(100, 0.1, 2)", "Number|173.553719008265"},
      {"PV(100, 0, 5)", "Number|500"},
      {"PV(100, 0.1, 2, 0, 3)", "!Argument for PV PaymentTime must be 0 or 1"},
      {"PV(100, -2, 2)", "!Invalid argument to PresentValue"},
  });
}

TEST(UdfText, TrimCaseLengthAndCodes) {
  ExpectCases({
      {"ALLTRIM('  ab  ')", "Text|ab"},
      {"ALLTRIM(CHR(9) + 'ab' + CHR(13))", "Text|ab"},
      {"LTRIM('  a ')", "Text|a "},
      {"RTRIM('a  ')", "Text|a"},
      {"TRIM(' a  ')", "Text| a"},
      {"UPPER('abc\xE9')", "Text|ABC\xC9"},
      {"LOWER('ABC\xC9')", "Text|abc\xE9"},
      {"UPPER(5)", "!Text needed for Argument 1 of UPPER"},
      {"LEN('AB  ')", "Number|4"},
      {"LEN('')", "Number|0"},
      {"ASC('A')", "Number|65"},
      {"ASC('\xE9')", "Number|233"},
      {"ASC('')", "Number|0"},
      {"CHR(65)", "Text|A"},
      {"CHR(65.9)", "Text|A"},
      {"CHR(256)", "!A Byte value is required but invalid"},
      {"CHR(-1)", "!A Byte value is required but invalid"},
      {"SPACE(3)", "Text|   "},
      {"SPACE(0)", "Text|"},
      {"SPACE(-2)", "Text|"},
      {"VAL('12.50')", "Number|12.5"},
      {"VAL('12AB')", "Number|0"},
      {"VAL(' 1e3 ')", "Number|1000"},
      {"VAL('-3')", "Number|-3"},
      {"VAL('')", "Number|0"},
  });
}

TEST(UdfText, SearchAndCut) {
  ExpectCases({
      {"AT('A', 'BANANA')", "Number|2"},
      {"AT('A', 'BANANA', 2)", "Number|4"},
      {"AT('A', 'BANANA', 4)", "Number|6"},  // fewer occurrences: the last one found
      {"AT('A', 'BANANA', 0)", "Number|0"},
      {"AT('A', 'BANANA', 'x')", "Number|2"},
      {"AT('X', 'BANANA')", "Number|0"},
      {"AT('ANA', 'BANANA', 2)", "Number|4"},  // occurrences overlap
      {"AT('a', 'BANANA')", "Number|0"},
      {"ATC('a', 'BANANA')", "Number|2"},
      {"AT('A')", "!Text needed for Argument 2 of AT"},
      {"LEFT('ABC', 5)", "Text|ABC  "},
      {"LEFT('ABC', 2)", "Text|AB"},
      {"LEFT('ABC', 0.01)", "Text|"},
      {"LEFT('ABC', 2.9)", "Text|AB"},
      {"RIGHT('ABC', 0)", "Text|ABC"},
      {"RIGHT('ABC', -1)", "Text|ABC"},
      {"RIGHT('ABC', 2)", "Text|BC"},
      {"RIGHT('ABC', 5)", "Text|ABC"},
      {"SUBSTR('ABC', 4)", "Text|"},
      {"SUBSTR('ABC', 0)", "Text|"},
      {"SUBSTR('ABC', 2)", "Text|BC"},
      {"SUBSTR('ABC', 2, 1)", "Text|B"},
      {"SUBSTR('ABC', 2, 9)", "Text|BC"},
      {"SUBSTR('ABC', -1, 2)", "Text|AB"},
      {"SUBSTR('ABC', 2, 0)", "Text|"},
      {"SUBSTR('ABC', 2, -1)", "Text|"},
      {"SUBSTR('ABC')", "!Number needed for Argument 2 of SUBSTR"},
      {"STRTRAN('ABABAB', 'AB', 'X', 2, 1)", "Text|ABXAB"},
      {"STRTRAN('ABABAB', 'AB', 'X')", "Text|XXX"},
      {"STRTRAN('ABABAB', 'AB', 'X', 3)", "Text|ABABX"},
      {"STRTRAN('ABABAB', 'AB')", "Text|"},
      {"STRTRAN('ABABAB', 'AB', 5)", "Text|"},
      {"STRTRAN('ABABAB', '')", "Text|ABABAB"},
      {"STRTRAN('', 'A', 'B')", "Text|"},
      {"STRTRAN('AAAA', 'AA', 'B')", "Text|BB"},
      {"STRTRAN('ABAB', 'AB', 'X', 1, 0)", "Text|ABAB"},
  });
}

TEST(UdfText, ProperAndSoundex) {
  ExpectCases({
      {"PROPER('hello WORLD-wide')", "Text|Hello World-Wide"},
      {"PROPER(\"o'neil mc2x\")", "Text|O'neil Mc2x"},
      {"PROPER('a.b,c')", "Text|A.B,C"},
      {"PROPER('')", "Text|"},
      {"SOUNDEX('SMITH')", "Text|S530"},
      {"SOUNDEX('smith')", "Text|S530"},
      {"SOUNDEX('ALLEN')", "Text|A500"},
      {"SOUNDEX('A')", "Text|A000"},
      {"SOUNDEX('Robert')", "Text|R163"},
      {"SOUNDEX('Tymczak')", "Text|T522"},
      {"SOUNDEX('  lee  ')", "Text|L000"},
      {"SOUNDEX('1SMITH')", "Text|1253"},
      {"SOUNDEX('   ')", "Text|"},
  });
}

TEST(UdfFormat, StrAndStrZero) {
  ExpectCases({
      {"STR(3.14159, 8, 2)", "Text|    3.14"},
      {"STR(123456, 3)", "Text|***"},
      {"STR(5)", "Text|         5"},  // default width 10 without a table
      {"STR(-5, 4)", "Text|  -5"},
      {"STR(2.5, 3)", "Text|  3"},  // halves away from zero, as ROUND
      {"STR(2.675, 5, 2)", "Text| 2.68"},
      {"STR(5, 3, 1)", "Text|5.0"},
      {"STR(5, 2, 1)", "Text|**"},
      {"STR(5, 0)", "Text|"},
      {"STR(5, -3)", "Text|"},
      {"STR(5, 4, 'x')", "Text|   5"},
      {"STR(-0.001, 6, 2)", "Text|  0.00"},
      {"STR('5')", "!Number needed for Argument 1 of STR"},
      {"STRZERO(5, 3)", "Text|005"},
      {"STRZERO(-5, 4)", "Text|00-5"},
      {"STRZERO(12.5, 6, 2)", "Text|012.50"},
      {"STRZERO(1234, 3)", "Text|***"},
  });
}

TEST(UdfFormat, Padding) {
  ExpectCases({
      {"PADL(7, 3, '0')", "Text|007"},
      {"PADC('AB', 5)", "Text| AB  "},
      {"PADR('ABCDEF', 3)", "Text|ABCDEF"},  // never cut
      {"PADR('AB', 5, 'xy')", "Text|ABxyx"},
      {"PADL('AB', 5, 'xy')", "Text|xyxAB"},
      {"PADC('A', 4, '*')", "Text|*A**"},
      {"PADR('AB  ', 4, '.')", "Text|AB.."},  // trailing blanks of the value do not count
      {"PADL(1.5, 5)", "Text|  1.5"},
      {"PADR(.T., 3)", "Text|T  "},
      {"PADL({31/12/2023}, 9)", "Text|  2460310"},  // a day number as a number
      {"PADR(, 3)", "!Value needed for Argument 1 of Pad"},
      {"PADR('A', 3, 5)", "!A Char value is required but invalid"},
      {"PADR('A', 3, '')", "!A Char value is required but invalid"},
      {"PADR('A', '3')", "!Number needed for Argument 2 of PADR"},
  });
}

TEST(UdfDates, ConversionsAndNoDate) {
  ExpectCases({
      {"CTOD('31/12/2023')", "Date|31/12/2023"},
      {"CTOD('1/2/2024')", "Date|01/02/2024"},
      {"CTOD('31/12/23')", "Date|31/12/2023"},
      {"CTOD('20231231')", "Date|31/12/2023"},
      {"CTOD('20240230')", "Date|30/12/1899"},
      {"CTOD('00000000')", "Date|          "},
      {"CTOD('30/02/2024')", "!'30/02/2024' is not a valid date"},
      {"CTOD('hello')", "!'hello' is not a valid date"},
      {"CTOD('')", "Date|          "},
      {"EMPTY(CTOD(''))", "Boolean|T"},
      {"DTOS(CTOD(''))", "Text|        "},
      {"DTOC(CTOD(''))", "Text|          "},
      {"DTOC(CTOD(''), 1)", "Text|          "},
      {"DTOC({31/12/2023})", "Text|31/12/2023"},
      {"DTOC({31/12/2023}, 1)", "Text|20231231"},
      {"DTOC({31/12/2023}, '1')", "Text|31/12/2023"},
      {"DTOS({31/12/2023})", "Text|20231231"},
      {"DTOS({})", "Text|        "},
      {"DTOS({31/12/2023} + 1.7)", "Text|20240101"},
      {"DTOS('x')", "!Date needed for Argument 1 of DTOS"},
      {"DOW({31/12/2023})", "Number|1"},  // a Sunday
      {"DOW({06/01/2024})", "Number|7"},
      {"DOW({})", "Number|0"},
      {"DOW(CTOD(''))", "Number|0"},
  });
}

TEST(UdfDates, DateIsToday) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::int32_t today =
      DayNumberFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  EXPECT_EQ(RunExpr("DATE()"), "Date|" + DayNumberToDisplayText(today));
  EXPECT_EQ(RunExpr("DATE() - 1 < DATE()"), "Boolean|T");
}

TEST(UdfGeneral, IifEmptyDescend) {
  ExpectCases({
      {"IIF(1 > 2, 'a', 'b')", "Text|b"},
      {"IIF(.T., 1, 1/0)", "Number|1"},  // only the chosen value is evaluated
      {"IIF(.F., 1/0, 'x')", "Text|x"},
      {"IIF(1, 2, 3)", "!Boolean needed for Argument 1 of IIF"},
      {"EMPTY('  ')", "Boolean|T"},
      {"EMPTY('')", "Boolean|T"},
      {"EMPTY(' a')", "Boolean|F"},
      {"EMPTY(CHR(9))", "Boolean|F"},  // only blanks count
      {"EMPTY(0)", "Boolean|T"},
      {"EMPTY(0.01)", "Boolean|F"},
      {"EMPTY({})", "Boolean|T"},
      {"EMPTY({31/12/2023})", "Boolean|F"},
      {"EMPTY(.F.)", "Boolean|T"},
      {"EMPTY(.T.)", "Boolean|F"},
      {"EMPTY()", "Boolean|F"},
      {"DESCEND(5)", "Number|-5"},
      {"DESCEND(0)", "Number|0"},
      {"DESCEND('AB') = CHR(191) + CHR(190)", "Boolean|T"},
      {"DESCEND(CHR(0)) = CHR(0)", "Boolean|T"},
      {"DESCEND({31/12/2023}) = 5231808 - 2460310", "Boolean|T"},
      {"DESCEND(CTOD('')) = CTOD('')", "Boolean|T"},
      {"DESCEND(.T.)", "Boolean|F"},
      {"DESCEND()", "Boolean|F"},
  });
  // DESCEND reverses the order of texts.
  EXPECT_EQ(RunExpr("DESCEND('ABC') > DESCEND('ABD')"), "Boolean|T");
}

TEST(UdfGeneral, BetweenInlistMaxMin) {
  ExpectCases({
      {"BETWEEN(5, 1, 10)", "Boolean|T"},
      {"BETWEEN(5, 5, 5)", "Boolean|T"},
      {"BETWEEN(5, 6, 10)", "Boolean|F"},
      {"BETWEEN('M', 'A', 'Z')", "Boolean|T"},
      {"BETWEEN('M  ', 'A', 'M')", "Boolean|T"},
      {"BETWEEN({15/06/2023}, {01/01/2023}, {31/12/2023})", "Boolean|T"},
      {"BETWEEN({15/06/2023}, 2459000, 2470000)", "Boolean|T"},  // numeric family
      {"BETWEEN(5, 'a', 10)", "!Number needed for Argument 2 of BETWEEN"},
      {"BETWEEN('a', 'a', 1)", "!Text needed for Argument 3 of BETWEEN"},
      {"INLIST('SMITH   ', 'JONES', 'SMITH')", "Boolean|T"},
      {"INLIST('SMITH', 'JONES')", "Boolean|F"},
      {"INLIST('SMITH', 'SMITH  ')", "Boolean|F"},  // candidates are not trimmed
      {"INLIST(2, 1, 2)", "Boolean|T"},
      {"INLIST({31/12/2023}, 2460310)", "Boolean|T"},
      {"INLIST('A', 1, 'A')", "Boolean|T"},
      {"INLIST(1, 2, , 1)", "Boolean|F"},  // a missing argument ends the list
      {"INLIST()", "Boolean|F"},
      {"MAX(3, 7, 5)", "Number|7"},
      {"MIN(3, 7, 5)", "Number|3"},
      {"MAX('B', 'A')", "Text|B"},
      {"MIN(.T., .F.)", "Boolean|F"},
      {"MAX(3)", "Number|3"},
      {"MAX(3, , 9)", "Number|3"},
      {"MAX(3, 'a')", "!All arguments for Max() must be of the same type"},
      {"MIN({01/01/2023}, 5)", "!All arguments for Min() must be of the same type"},
      {"MAX()", "!A value is required for Max()"},
      {"MIN(, 1)", "!A value is required for Min()"},
  });
}

// Functions that build a text from a length refuse lengths beyond the longest field rather
// than allocating without bound.
TEST(UdfLimits, LengthsBeyondTheLongestFieldAreRefused) {
  ExpectCases({
      {"LEN(SPACE(65535))", "Number|65535"},
      {"SPACE(65536)", "!A number value is required but invalid"},
      {"LEFT('a', 10 ^ 12)", "!A number value is required but invalid"},
      {"PADR('a', 10 ^ 9)", "!A number value is required but invalid"},
      {"STR(1, 100000)", "!A number value is required but invalid"},
      {"STRTRAN(SPACE(1000), ' ', SPACE(1000))", "!A number value is required but invalid"},
      {"LEN(STRTRAN(SPACE(10), ' ', 'ab'))", "Number|20"},
      {"SUBSTR('ABC', 10 ^ 300, 10 ^ 300)", "Text|"},
      {"SUBSTR('ABC', 0 - 10 ^ 300, 2)", "Text|AB"},
  });
}

TEST(UdfRegistry, EveryLibraryFunctionIsRegistered) {
  const char* names[] = {"ABS",     "ACOS",    "ALLTRIM", "ASC",     "ASIN",    "AT",    "ATAN",
                         "ATC",     "ATN2",    "BETWEEN", "CEILING", "CHR",     "COS",   "CTOD",
                         "DATE",    "DESCEND", "DOW",     "DTOC",    "DTOR",    "DTOS",  "EMPTY",
                         "FLOOR",   "FV",      "IIF",     "INLIST",  "INT",     "LEFT",  "LEN",
                         "LOG",     "LOG10",   "LOWER",   "LTRIM",   "MAX",     "MIN",   "MOD",
                         "PADC",    "PADL",    "PADR",    "PI",      "PROPER",  "PV",    "RIGHT",
                         "ROUND",   "RTOD",    "RTRIM",   "SIN",     "SOUNDEX", "SPACE", "STR",
                         "STRTRAN", "STRZERO", "SUBSTR",  "TAN",     "TRIM",    "UPPER", "VAL"};
  for (const char* name : names) EXPECT_NE(TxFunctionReg::Global().Find(name), nullptr) << name;
  EXPECT_EQ(TxFunctionReg::Global().size(), std::size(names));
  EXPECT_EQ(TxFunctionReg::Global().Find("ROUND")->Name(), "Round");
  EXPECT_EQ(RunExpr("round(2.5) + Upper('x') = 1"), "!The two sides of an operation do not match");
}

}  // namespace
}  // namespace fidora
