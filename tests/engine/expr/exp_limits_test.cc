// Malformed and extreme texts: deep nesting and long operator chains end in a compile error
// instead of exhausting the stack, and searches stay fast on pathological texts.
#include <gtest/gtest.h>

#include <string>

#include "engine/expr/exp_compiler.h"
#include "engine/expr/text_search.h"
#include "expr_test_util.h"

namespace fidora {
namespace {

using test::RunExpr;

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

constexpr const char* kTooDeep = "!Expression cannot be evaluated";

TEST(ExpLimits, NestingIsBounded) {
  EXPECT_EQ(RunExpr(Repeat("(", 50) + "1" + Repeat(")", 50)), "Number|1");
  EXPECT_EQ(RunExpr(Repeat("(", kMaxExpNesting) + "1" + Repeat(")", kMaxExpNesting)), "Number|1");
  EXPECT_EQ(RunExpr(Repeat("(", kMaxExpNesting + 1) + "1" + Repeat(")", kMaxExpNesting + 1)),
            kTooDeep);
  EXPECT_EQ(RunExpr(Repeat("(", 100000) + "1" + Repeat(")", 100000)), kTooDeep);
  EXPECT_EQ(RunExpr(Repeat("UPPER(", 500) + "'a'" + Repeat(")", 500)), kTooDeep);
  EXPECT_EQ(RunExpr(Repeat("UPPER(", 50) + "'a'" + Repeat(")", 50)), "Text|A");
  // Every negation after the first encloses the rest of the text: one level each.
  EXPECT_EQ(RunExpr(Repeat("!", 20) + ".T."), "Boolean|T");
  EXPECT_EQ(RunExpr(Repeat("!", 100000) + ".T."), kTooDeep);
  EXPECT_EQ(RunExpr(".T." + Repeat(" .AND. !.T.", 300)), kTooDeep);
  // Unclosed at any depth is found without descending.
  EXPECT_EQ(RunExpr(Repeat("(", 100000)), "!Missing closing parentheses");
  EXPECT_EQ(RunExpr(Repeat("UPPER(", 100000)), "!Missing closing parentheses");
}

TEST(ExpLimits, LongOperatorChainsAreBounded) {
  EXPECT_EQ(RunExpr("1" + Repeat("+1", 900)), "Number|901");
  EXPECT_EQ(RunExpr("1" + Repeat("+1", 100000)), kTooDeep);
  EXPECT_EQ(RunExpr(".T." + Repeat(" .AND. .T.", 100000)), kTooDeep);
  EXPECT_EQ(RunExpr("'a'" + Repeat(" + 'a'", 500) + " = 'a'"), "Boolean|F");
  // Wide is fine: a long flat list of arguments and a long literal.
  EXPECT_EQ(RunExpr("MAX(1" + Repeat(", 2", 5000) + ")"), "Number|2");
  EXPECT_EQ(RunExpr("LEN('" + std::string(1 << 20, 'x') + "')"), "Number|1048576");
}

TEST(ExpLimits, SearchesAreLinear) {
  // A plain search would compare 30 000 bytes at each of 35 000 positions, many times over.
  const std::string needle = "SPACE(30000) + 'x'";
  const std::string text = "SPACE(65000)";
  EXPECT_EQ(RunExpr("(" + needle + ") $ " + text + Repeat(" .OR. (" + needle + ") $ " + text, 30)),
            "Boolean|F");
  EXPECT_EQ(RunExpr("AT(SPACE(30000), SPACE(65000), 65535)"), "Number|35001");
  EXPECT_EQ(RunExpr("LEN(STRTRAN(SPACE(65000), SPACE(30000) + 'x', 'y'))"), "Number|65000");
  EXPECT_EQ(RunExpr("SPACE(65000) = '*' + SPACE(30000) + 'x*'"), "Boolean|F");
}

TEST(TxTextSearchTest, OverlappingAndSeparateOccurrences) {
  std::vector<size_t> overlapping, separate;
  TxTextSearch search("AA");
  search.ForEach("AAAAB", true, [&](size_t p) { return overlapping.push_back(p), true; });
  search.ForEach("AAAAB", false, [&](size_t p) { return separate.push_back(p), true; });
  EXPECT_EQ(overlapping, (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(separate, (std::vector<size_t>{0, 2}));
  EXPECT_EQ(TxTextSearch("ABAB").Find("ABABABAB"), 0u);
  EXPECT_EQ(TxTextSearch("ABAC").Find("ABABAC"), 2u);
  EXPECT_EQ(TxTextSearch("X").Find("ABC"), std::string_view::npos);
  EXPECT_EQ(TxTextSearch("").Find("ABC"), std::string_view::npos);
}

}  // namespace
}  // namespace fidora
