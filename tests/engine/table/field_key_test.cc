// Index keys put together straight from the fields (TxFieldKey) against the evaluator of the
// same expression, on a real table whose records hold awkward values: accented letters,
// blank, zero, impossible and malformed dates, negative, rounding and overflowing numbers.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"
#include "support/raw_records.h"
#include "support/temp_dir.h"

namespace fidora::test {
namespace {

// NAME C 10, CITY C 4, DAY D, AMT N 8 2, QTY N 4 0, RATE F 9 3, OK L, NOTE M.
struct Row {
  std::string name, city, day, amt, qty, rate, ok;
};

const Row kRows[] = {
    {"smith", "ab", "20240115", "12.50", "3", "1.250", "T"},
    {"\xE9lise \xFF\x9A", "\xE0\xDF", "19991231", "-12.50", "-7", "-0.004", "F"},  // élise ÿš àß
    {"", "", "", "", "", "", " "},
    {"Zo\xEB", "x", "00000000", "99999.99", "9999", "12345.678", "T"},
    {"mixedCASE1", "Qq", "20240230", "-0.004", "0", "0.5", "F"},  // an impossible date
    {"bad date", "zz", "2024XX01", "1", "1", "1", "T"},           // a malformed date
    {"bad num", "zz", "1999-1-1", "1.2.3", "abc", "x", "T"},      // malformed numbers and date
    {"negative", "n", "00010101", "-99999.9", "-999", "-9999.999", "F"},
};

std::string MakeTable(const TempDir& dir) {
  TDbfBuild build(dir.dir() + "KEYS");
  build.AddField("NAME", 'C', 10, 0);
  build.AddField("CITY", 'C', 4, 0);
  build.AddField("DAY", 'D', 8, 0);
  build.AddField("AMT", 'N', 8, 2);
  build.AddField("QTY", 'N', 4, 0);
  build.AddField("RATE", 'F', 9, 3);
  build.AddField("OK", 'L', 1, 0);
  build.AddField("NOTE", 'M', 10, 0);
  build.Build();
  AppendRawRecords(build.path(), std::size(kRows), [](uint32_t i, std::string& out) {
    const Row& r = kRows[i];
    // Byte widths (the formatter would count the accented bytes as characters of UTF-8).
    const auto left = [&](const std::string& v, size_t n) {
      out += v + std::string(n - v.size(), ' ');
    };
    const auto right = [&](const std::string& v, size_t n) {
      out += std::string(n - v.size(), ' ') + v;
    };
    out += ' ';
    left(r.name, 10);
    left(r.city, 4);
    left(r.day, 8);
    right(r.amt, 8);
    right(r.qty, 4);
    right(r.rate, 9);
    left(r.ok, 1);
    left("", 10);
  });
  return build.path();
}

// The key text, or the error's kind and message.
struct Outcome {
  std::string text;
  bool failed = false;
  XbErrorKind kind = XbErrorKind::kOther;
  bool operator==(const Outcome&) const = default;
};

template <class F>
Outcome OutcomeOf(F&& f) {
  Outcome o;
  try {
    o.text = f();
  } catch (const EXbError& e) {
    o.failed = true;
    o.kind = e.kind();
    o.text = e.what();
  }
  return o;
}

TEST(FieldKey, GivesTheEvaluatorsTextOnEveryRecord) {
  TempDir dir;
  TTableHandler t(MakeTable(dir), false, true);
  t.Open();
  // Expressions and whether their keys are put together straight from the fields.
  const struct {
    const char* text;
    bool direct;
  } cases[] = {
      {"NAME", true},
      {"UPPER(NAME)", true},
      {"UPPER(NAME)+DTOS(DAY)", true},
      {"(UPPER(NAME)+DTOS(DAY))", true},
      {"UPPER( (NAME) ) + ( CITY + DTOS(DAY) )", true},
      {"KEYS->CITY+keys.name", true},
      {"DTOS(DAY)+UPPER(CITY)+NAME", true},
      {"STR(QTY)", true},
      {"STR(AMT)+NAME", true},
      {"NAME+STR(AMT,10,2)", true},
      {"STR(AMT,5)", true},         // overflows: asterisks
      {"STR(AMT,6,2)+CITY", true},  // overflows for large values
      {"STR(AMT,4,3)", true},       // decimals that do not fit
      {"STR(RATE,12,4)", true},
      {"STR(RATE,-3)+CITY", true},   // no width: empty
      {"STR(AMT,,2)", true},         // decimals without a width are 0
      {"STR(QTY,8.9,1.7)", true},    // widths and decimals truncated
      {"STR(AMT)+DTOS(DAY)", true},  // two parts that fail: the right one is reported
      {"STR((QTY))", true},          // the declared width of a parenthesised field is 0
      {"UPPER(NOTE)", false},        // memo
      {"UPPER(OK)", false},          // logical
      {"OK", false},
      {"DAY", false},
      {"QTY", false},
      {"UPPER(QTY)", false},
      {"DTOS(NAME)", false},
      {"STR(NAME)", false},
      {"STR(DAY)", false},
      {"STR(QTY,QTY)", false},
      {"STR(QTY,4,0,1)", false},
      {"UPPER(NAME,1)", false},
      {"NAME-CITY", false},
      {"NAME+\"X\"", false},
      {"LOWER(NAME)", false},
      {"SUBSTR(NAME,1,3)", false},
      {"UPPER(NAME)+DAY", false},
      {"NAME+STR(QTY,\"4\")", false},
      {"IIF(OK,NAME,CITY)", false},
      {"UPPER(UPPER(NAME))", false},
      {"TRIM(NAME)+CITY", false},
  };
  int failures = 0, successes = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::unique_ptr<TIndexExpression> expr = t.IndexView().Compile(c.text);
    std::string direct;
    t.ReadRecord(1);
    EXPECT_EQ(expr->EvaluateText(direct), c.direct);
    if (!c.direct) continue;
    for (uint32_t n = 1; n <= std::size(kRows); ++n) {
      SCOPED_TRACE(n);
      t.ReadRecord(n);
      const Outcome general = OutcomeOf([&] {
        const IndexKeyValue v = expr->Evaluate(false);
        EXPECT_EQ(v.kind, IndexKeyValue::Kind::kText);
        return v.text;
      });
      const Outcome straight = OutcomeOf([&] {
        std::string key = "left over";
        expr->EvaluateText(key);
        return key;
      });
      EXPECT_EQ(straight, general) << straight.text << " / " << general.text;
      ++(general.failed ? failures : successes);
    }
  }
  // The values are awkward enough that conversions fail, and ordinary enough that most do not.
  EXPECT_GT(failures, 10);
  EXPECT_GT(successes, 100);
  const std::unique_ptr<TIndexExpression> upper = t.IndexView().Compile("UPPER(NAME)+CITY");
  std::string key;
  t.ReadRecord(2);
  ASSERT_TRUE(upper->EvaluateText(key));
  EXPECT_EQ(key, "\xC9LISE \x9F\x8A  \xE0\xDF  ");  // CITY as stored
}

}  // namespace
}  // namespace fidora::test
