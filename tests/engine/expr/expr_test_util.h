// Helpers for expression tests: compile and evaluate a text and show the outcome as
// "Type|value", or as "!" followed by the error message.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

#include "engine/expr/exp_handler.h"

namespace fidora::test {

inline std::string Show(const TxExpValue& v) {
  return ExpTypeName(v.type) + "|" + ExpValueText(v);
}

inline std::string RunExpr(const std::string& text, const TxExpUserLink* link = nullptr,
                           const std::string& alias = "", bool caseInsensitive = false,
                           bool partialCompare = true) {
  try {
    TxExpHandler handler;
    handler.SetCompareSettings(caseInsensitive, partialCompare);
    handler.Create(link, alias, text);
    return Show(handler.Evaluate());
  } catch (const std::exception& e) {
    return std::string("!") + e.what();
  }
}

struct ExprCase {
  const char* text;
  const char* expected;  // "Type|value" or "!message"
};

// Evaluates every case without a table and expects its outcome.
inline void ExpectCases(const std::vector<ExprCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(RunExpr(c.text), c.expected) << "expression: " << c.text;
}

}  // namespace fidora::test
