#include "protocol/awk_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fidora {
namespace {

struct SplitCase {
  std::string line;
  std::vector<std::string> fields;
};

TEST(AwkParserTest, SplitsAtTheSeparatorKeepingEmptyFieldsAndBlanks) {
  const std::vector<SplitCase> cases = {
      {"SHOPPER\xA6SEQ\xA6"
       "123",
       {"SHOPPER", "SEQ", "123"}},
      {"A\xA6\xA6"
       "B",
       {"A", "", "B"}},
      {"A\xA6", {"A", ""}},
      {"\xA6"
       "A",
       {"", "A"}},
      {"", {""}},
      {"\xA6\xA6", {"", "", ""}},
      {" a \xA6 b", {" a ", " b"}},
      {"one", {"one"}},
  };
  for (const SplitCase& c : cases) {
    const TAwkParser parser(kFieldSeparator, c.line);
    ASSERT_EQ(parser.FieldCount(), static_cast<int>(c.fields.size())) << c.line;
    for (size_t i = 0; i < c.fields.size(); ++i)
      EXPECT_EQ(parser.Field(static_cast<int>(i) + 1), c.fields[i]) << c.line << " field " << i + 1;
  }
}

TEST(AwkParserTest, FieldZeroIsTheLineAndOutOfRangeFieldsAreEmpty) {
  TAwkParser parser;
  parser.SetLine(
      "A\xA6"
      "B");
  EXPECT_EQ(parser.Field(0),
            "A\xA6"
            "B");
  EXPECT_EQ(parser.Field(3), "");
  EXPECT_EQ(parser.Field(-1), "");
  parser.SetLine("X");  // a new line replaces every field of the old one
  EXPECT_EQ(parser.FieldCount(), 1);
  EXPECT_EQ(parser.Field(2), "");
}

TEST(AwkParserTest, OtherSeparator) {
  const TAwkParser parser(';', "NAME;C;10;0");
  ASSERT_EQ(parser.FieldCount(), 4);
  EXPECT_EQ(parser.Field(3), "10");
}

}  // namespace
}  // namespace fidora
