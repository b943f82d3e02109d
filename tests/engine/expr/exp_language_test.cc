// The expression language without a table: literals, operators, precedence, the negation rule,
// type rules, text comparison and every compile and evaluation error text.
#include <gtest/gtest.h>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_handler.h"
#include "expr_test_util.h"

namespace fidora {
namespace {

using test::ExpectCases;
using test::RunExpr;

TEST(ExpLiterals, EveryKindOfLiteral) {
  ExpectCases({
      {"'abc'", "Text|abc"},
      {"\"abc\"", "Text|abc"},
      {"[it's \"x\"]", "Text|it's \"x\""},
      {"''", "Text|"},
      {"12.50", "Number|12.5"},
      {"-5", "Number|-5"},
      {"+5", "Number|5"},
      {"-.5", "Number|-0.5"},
      {"-", "Number|0"},      // a lone sign is no number: 0
      {"1.2.3", "Number|0"},  // neither
      {".T.", "Boolean|T"},
      {".f.", "Boolean|F"},
      {"{31/12/2023}", "Date|31/12/2023"},
      {"{20231231}", "Date|31/12/2023"},
      {"{1/2/2024}", "Date|01/02/2024"},
      {"{}", "Date|          "},
      {"{20240230}", "Date|30/12/1899"},  // eight digits that are no date
      {"TRUE", "Boolean|T"},
      {"false", "Boolean|F"},
      {"PI", "Number|3.14159265358979"},
      {"  2+2  ", "Number|4"},
  });
}

TEST(ExpOperators, ArithmeticAndPower) {
  ExpectCases({
      {"2 ^ 3", "Number|8"},
      {"2 ** 3", "Number|8"},
      // The terminals rely on these: the power multiplies n - 1 times, so n <= 1 gives the base.
      {"2 ^ 0", "Number|2"},
      {"2 ^ 1", "Number|2"},
      {"2 ^ -3", "Number|2"},
      {"2 ^ 3.9", "Number|8"},
      {"2 ^ 3 ^ 2", "Number|64"},
      {"8 - 3 - 2", "Number|3"},
      {"16 / 4 / 2", "Number|2"},
      {"2 + 3 * 4", "Number|14"},
      {"(2 + 3) * 4", "Number|20"},
      {"2 * 3 ^ 2", "Number|18"},
      {"10 / 4", "Number|2.5"},
      {"3 - -2", "Number|5"},
      {"3-2", "Number|1"},
      {"-5 + 2", "Number|-3"},
      {"1 / 3", "Number|0.333333333333333"},
      {"1000000 * 1000000 * 1000000 * 100", "Number|1E20"},
  });
}

TEST(ExpOperators, ComparisonsAndTheirSpellings) {
  ExpectCases({
      {"1 + 2 = 3", "Boolean|T"}, {"1 == 1", "Boolean|T"},    {"1 EQ 2", "Boolean|F"},
      {"1 # 2", "Boolean|T"},     {"1 != 2", "Boolean|T"},    {"1 <> 2", "Boolean|T"},
      {"1 NE 1", "Boolean|F"},    {"1 .ne. 1", "Boolean|F"},  {"4 > 3", "Boolean|T"},
      {"4 GT 4", "Boolean|F"},    {"3 < 4", "Boolean|T"},     {"4 LT 3", "Boolean|F"},
      {"3 >= 3", "Boolean|T"},    {"3 => 4", "Boolean|F"},    {"3 GE 4", "Boolean|F"},
      {"3 <= 3", "Boolean|T"},    {"4 =< 3", "Boolean|F"},    {"3 LE 3", "Boolean|T"},
      {".T. = .T.", "Boolean|T"}, {".T. # .F.", "Boolean|T"},
  });
}

TEST(ExpOperators, LogicalPrecedence) {
  ExpectCases({
      {".T. .AND. .F. .OR. .T.", "Boolean|T"},
      {".T. .OR. .F. .AND. .F.", "Boolean|T"},  // AND before OR
      {".T. AND .F.", "Boolean|F"},
      {".F. or .T.", "Boolean|T"},
      {"!.T.", "Boolean|F"},
      {"NOT .T.", "Boolean|F"},
      {".not. .F.", "Boolean|T"},
      {".NOT. .T. .OR. .T.", "Boolean|T"},  // NOT before OR at the beginning
      {"NOT 1 = 2", "Boolean|T"},           // comparisons before NOT
      {"1 < 2 .AND. 2 < 3", "Boolean|T"},
      {"!!.T.", "Boolean|T"},
  });
}

// A negation that is not at the beginning encloses the rest of the text:
// X .AND. .NOT. A .OR. B is X .AND. ((.NOT. A) .OR. B). The terminals rely on it.
TEST(ExpOperators, NegationEnclosesTheRestOfTheText) {
  ExpectCases({
      {".F. .AND. .NOT. .T. .OR. .T.", "Boolean|F"},  // usual precedence would give T
      {".F. .AND. !.T. .OR. .T.", "Boolean|F"},
      {".T. .AND. NOT .F. .AND. .F.", "Boolean|F"},
      {".T. .OR. .NOT. .T. .AND. .F.", "Boolean|T"},
  });
  TxExpHandler h(nullptr, "", ".F. .AND. .NOT. .T. .OR. .T.");
  EXPECT_EQ(h.Render(), ".F..AND.(.NOT..T..OR..T.)");
}

TEST(ExpOperators, TextOperators) {
  ExpectCases({
      {"'ABC' + 'DE'", "Text|ABCDE"},
      {"'ABC  ' - 'DE'", "Text|ABCDE  "},
      {"'  ' - 'DE'", "Text|DE  "},
      {"'A' $ 'CAT'", "Boolean|T"},
      {"'' $ 'CAT'", "Boolean|F"},
      {"'CAT' $ 'A'", "Boolean|F"},
      {"'A ' $ 'CAT'", "Boolean|F"},  // no trimming
  });
}

// 'SMITH' = 'SM' is false: "=" is no prefix test; a trailing "*" makes one.
TEST(ExpTextCompare, EqualityTrailingBlanksEmptyAndWildcards) {
  ExpectCases({
      {"'SMITH' = 'SM'", "Boolean|F"},
      {"'SMITH' = 'SM*'", "Boolean|T"},
      {"'SMITH   ' = 'SMITH'", "Boolean|T"},
      {"'SMITH' = 'SMITH   '", "Boolean|T"},
      {"'smith' = 'SMITH'", "Boolean|F"},
      {"'SMITH' = '*IT*'", "Boolean|T"},
      {"'SMITH' = '*TH'", "Boolean|T"},  // a leading * is a containment test
      {"'SMITH' = '*SM'", "Boolean|T"},
      {"'SMITH' = '*XY*'", "Boolean|F"},
      {"'SMITHS' = 'S?ITH*'", "Boolean|T"},
      {"'SMITH' = 'S?ITH*'", "Boolean|F"},  // the text is shorter than the pattern
      {"'SMITH' = 'SMITH*'", "Boolean|F"},
      {"'SMITH' = '*'", "Boolean|T"},
      {"'S?ITH' = '*?IT*'", "Boolean|T"},  // after a leading * "?" is an ordinary character
      {"'SMITH' = '*?IT*'", "Boolean|F"},
      {"'SMITH' # 'SM*'", "Boolean|F"},
      // Empty (no characters) differs from blanks: a blank text is greater than ''.
      {"'' = ''", "Boolean|T"},
      {"'  ' = ''", "Boolean|F"},
      {"'  ' # ''", "Boolean|T"},
      {"'  ' > ''", "Boolean|T"},
      {"'' < 'A'", "Boolean|T"},
      {"'' = '*'", "Boolean|F"},
      {"'B' > 'A'", "Boolean|T"},
      {"'AB' > 'A'", "Boolean|T"},
      {"'A' < 'a'", "Boolean|T"},
      {"'A' <= 'A  '", "Boolean|T"},
      {"'A' >= 'B'", "Boolean|F"},
  });
}

TEST(ExpTextCompare, CaseInsensitiveAndPartialCompareSettings) {
  EXPECT_EQ(RunExpr("'SMITH' = 'smith'", nullptr, "", true), "Boolean|T");
  EXPECT_EQ(RunExpr("'SMITH' = 'sm*'", nullptr, "", true), "Boolean|T");
  EXPECT_EQ(RunExpr("'\xC9T\xC9' = '\xE9t\xE9'", nullptr, "", true),
            "Boolean|T");  // Latin-1 letters
  EXPECT_EQ(RunExpr("'SMITH' = 'SM*'", nullptr, "", false, false), "Boolean|F");
  EXPECT_EQ(RunExpr("'SM*' = 'SM*'", nullptr, "", false, false), "Boolean|T");
}

TEST(ExpDates, DayNumbersInArithmeticAndComparisons) {
  ExpectCases({
      {"{31/12/2023} - {01/12/2023} = 30", "Boolean|T"},
      {"{31/12/2023} + 1", "Number|2460311"},  // the right operand's type
      {"{01/01/1980} = 2444240", "Boolean|T"},
      {"{31/12/2023} > 2460000", "Boolean|T"},
      {"{31/12/2023} > {01/01/2024}", "Boolean|F"},
  });
}

TEST(ExpErrors, CompileErrors) {
  ExpectCases({
      {"(1 > 0", "!Missing closing parentheses"},
      {"UPPER('a'", "!Missing closing parentheses"},
      {"UPPER(')')", "Text|)"},  // quotes hide parentheses inside a call
      {"UPPER('(')", "Text|("},
      {"('(')", "!Missing closing parentheses"},  // but not in a parenthesised part
      {"'abc", "!Missing closing \"'\" on literal"},
      {"\"abc", "!Missing closing \"\"\" on literal"},
      {"[abc", "!Missing closing \"[\" on literal"},
      {"{31/12", "!Missing closing \"{\" on literal"},
      {".T", "!Missing closing period"},
      {".X.", "!Expecting \".T.\" or \".F.\""},
      {".TRUE.", "!Expecting \".T.\" or \".F.\""},
      {".5", "!Missing closing period"},
      {"1 > > 0", "!Syntax Error in expression \"1 > > 0\""},
      {"(1 > > 0)", "!Syntax Error in expression \"1 > > 0\""},
      {"* 5", "!Syntax Error in expression \"* 5\""},
      {"1 2", "!Syntax Error in expression \"1 2\""},
      {"1 NOT 2", "!Syntax Error in expression \"1 NOT 2\""},
      {"1 =* 2", "!Syntax Error in expression \"1 =* 2\""},
      {"5.", "!Syntax Error in expression \"5.\""},
      {"1e5", "!Syntax Error in expression \"1e5\""},
      {"UNKNOWNFN(1)", "!There is no function for UNKNOWNFN"},
      {"UPPER (1)", "!Field/variable UPPER is unknown"},  // a call needs "(" right after the name
      {"SURNAME", "!Field/variable SURNAME is unknown"},
      {"T->SURNAME", "!Field/variable T.SURNAME is unknown"},
      {"()", "!Expression cannot be evaluated"},
      {"{30/02/2024}", "!'30/02/2024' is not a valid date"},
  });
}

TEST(ExpErrors, EvaluationErrors) {
  ExpectCases({
      {"1 +", "!Target value missing for + operation"},
      {"1 $", "!Target value missing for in string operation"},
      {"NOT", "!Target value missing for .NOT. operation"},
      {".T. .AND.", "!Target value missing for .AND. operation"},
      {"'a' = 5", "!The two sides of an operation do not match"},
      {".T. = 1", "!The two sides of an operation do not match"},
      {".T. + .T.", "!A number value is required but invalid"},
      {".T. ^ .T.", "!A number value is required but invalid"},
      {".T. > .F.", "!A assigned value is required but invalid"},
      {".T. $ .T.", "!A assigned value is required but invalid"},
      {"1 $ 2", "!A assigned value is required but invalid"},
      {"1 .AND. 2", "!A assigned value is required but invalid"},
      {"!5", "!A assigned value is required but invalid"},
      {"!'a'", "!A assigned value is required but invalid"},
      {"'a' * 'b'", "!A assigned value is required but invalid"},
      {"'a' .OR. 'b'", "!A assigned value is required but invalid"},
      {"1 / 0", "!Floating point division by zero"},
      {"0 / 0", "!Invalid floating point operation"},
      {"10 ^ 400", "!Floating point overflow"},
      {"1.5 ^ 100000", "!Floating point overflow"},
  });
}

// Right operand first: its error wins over the left one's.
TEST(ExpErrors, RightOperandIsEvaluatedFirst) {
  EXPECT_EQ(RunExpr("(1/0) + ('a' * 'b')"), "!A assigned value is required but invalid");
  // Both sides are evaluated: no short cut for .AND. / .OR.
  EXPECT_EQ(RunExpr(".F. .AND. (1/0 = 1)"), "!Floating point division by zero");
}

TEST(ExpHandler, SpellingsOfAnOperatorCompileToTheSameTree) {
  for (const char* text : {"1 # 0", "1 != 0", "1 <> 0", "1 NE 0", "1 .NE. 0"}) {
    EXPECT_EQ(TxExpHandler(nullptr, "", text).Render(), "1#0") << text;
  }
}

TEST(ExpHandler, RenderingOfEveryNodeClass) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"1+2*3", "1+2*3"},
      {"(1 + 2) * 3", "(1+2)*3"},
      {"upper('a') $ [B]", "UPPER(\"a\")$\"B\""},
      {"IIF(.t., , 12.50)", "IIF(.T.,,12.50)"},
      {"{31/12/2023}", "{31/12/2023}"},
      {"+5", "5"},
      {".NOT. TRUE", ".NOT.TRUE"},
  };
  for (const auto& [text, rendered] : cases) {
    EXPECT_EQ(TxExpHandler(nullptr, "", text).Render(), rendered) << text;
  }
}

TEST(ExpHandler, EmptyTextHasNoTree) {
  TxExpHandler h(nullptr, "", "   ");
  EXPECT_FALSE(h.HasTree());
  EXPECT_EQ(h.Evaluate().type, TxExpType::Unknown);
  TxVariant v;
  v.SetNumber(5);
  EXPECT_EQ(h.EvaluateInto(v), TxExpType::Unknown);
  EXPECT_EQ(v.kind(), TxVariant::Kind::Text);
  EXPECT_EQ(v.length(), 0u);
}

TEST(ExpHandler, EvaluateIntoGivesTheKeyKinds) {
  TxVariant v;
  TxExpHandler text(nullptr, "", "UPPER('ab') + 'c'");
  EXPECT_EQ(text.EvaluateInto(v), TxExpType::Text);
  EXPECT_EQ(v.AsText(), "ABc");
  TxExpHandler date(nullptr, "", "{31/12/2023}");
  EXPECT_EQ(date.EvaluateInto(v), TxExpType::Date);
  EXPECT_EQ(v.kind(), TxVariant::Kind::DayNumber);
  EXPECT_EQ(v.AsDayNumber(), 2460310);
  TxExpHandler number(nullptr, "", "1.5 * 3");
  EXPECT_EQ(number.EvaluateInto(v), TxExpType::Number);
  EXPECT_EQ(v.AsNumber(), 4.5);
  TxExpHandler logical(nullptr, "", "1 < 2");
  EXPECT_EQ(logical.EvaluateInto(v), TxExpType::Boolean);
  EXPECT_TRUE(v.AsLogical());
  EXPECT_EQ(logical.ResultType(), TxExpType::Boolean);
  // A missing value is no key type: the variant is left as it was.
  TxExpHandler missing(nullptr, "", "IIF(.T., , 1)");
  EXPECT_EQ(missing.EvaluateInto(v), TxExpType::Unknown);
  EXPECT_TRUE(v.AsLogical());
}

TEST(ExpHandler, OperandCountAndRecompile) {
  TxExpHandler h(nullptr, "", "UPPER('a') + 'b' = 'Ab'");
  EXPECT_EQ(h.OperandCount(), 4);
  EXPECT_EQ(h.Evaluate().logical, true);
  h.Recompile("2 ^ 0");
  EXPECT_EQ(h.Evaluate().number, 2);
  EXPECT_EQ(h.OperandCount(), 2);
  EXPECT_THROW(h.Recompile("(1"), EXbExpression);
  EXPECT_FALSE(h.HasTree());
}

TEST(ExpHandler, CompareSettingsApplyOnRecompile) {
  TxExpHandler h(nullptr, "", "'SMITH' = 'smith'");
  EXPECT_FALSE(h.Evaluate().logical);
  h.SetCompareSettings(true, true);
  EXPECT_FALSE(h.Evaluate().logical);  // the compiled tree keeps its settings
  h.Recompile(h.Text());
  EXPECT_TRUE(h.Evaluate().logical);
}

}  // namespace
}  // namespace fidora
