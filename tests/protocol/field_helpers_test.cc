#include "protocol/field_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fidora {
namespace {

TEST(FieldHelpersTest, TrimDropsBlanksAndControlCharactersOnly) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01"), "abc");
  EXPECT_EQ(Trim("\xA6 x \xA6"), "\xA6 x \xA6");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_TRUE(IsBlank(" \t\r\n"));
  EXPECT_TRUE(IsBlank(""));
  EXPECT_FALSE(IsBlank(" . "));
}

TEST(FieldHelpersTest, UpperCaseFollowsWindows1252) {
  EXPECT_EQ(UpperCase("now\xA6x1"), "NOW\xA6X1");
  EXPECT_EQ(UpperCase("\xE9\xE0\xFE\xFF\x9A"), "\xC9\xC0\xDE\x9F\x8A");
  EXPECT_EQ(UpperCase("\xF7\xDF\xB5"), "\xF7\xDF\xB5");  // division sign, sharp s, micro
}

TEST(FieldHelpersTest, NextFieldCutsOneFieldAtATime) {
  std::string line = "VERS\xA6 15.17.23 \xA6rest";
  EXPECT_EQ(NextField(line), "VERS");
  EXPECT_EQ(line, " 15.17.23 \xA6rest");
  EXPECT_EQ(NextFieldU(line), "15.17.23");
  EXPECT_EQ(NextField(line), "rest");
  EXPECT_EQ(line, "");
  EXPECT_EQ(NextField(line), "");

  std::string lower = " get \xA6x";
  EXPECT_EQ(NextFieldU(lower), "GET");
}

TEST(FieldHelpersTest, TextBeforeAndAfterTheFirstDelimiter) {
  EXPECT_EQ(TextBefore("NAME=value=x", "="), "NAME");
  EXPECT_EQ(TextAfter("NAME=value=x", "="), "value=x");
  EXPECT_EQ(TextBefore("novalue", "="), "");
  EXPECT_EQ(TextAfter("novalue", "="), "");
}

TEST(FieldHelpersTest, PadRight) {
  EXPECT_EQ(PadRight("123", 6, ' '), "123   ");
  EXPECT_EQ(PadRight("123", 6, '0'), "123000");
  EXPECT_EQ(PadRight("1234567", 6, ' '), "1234567");
  EXPECT_EQ(PadRight("", 2, '*'), "**");
}

TEST(FieldHelpersTest, FormatMoney) {
  struct Case {
    int64_t units;
    bool sign;
    std::string text;
  };
  const std::vector<Case> cases = {
      {1'200'000, false, "120.00"}, {1'200'000, true, "$120.00"},
      {-25'000, false, "-2.50"},    {-25'000, true, "-$2.50"},
      {0, false, "0.00"},           {12'345, false, "1.23"},
      {12'350, false, "1.24"},      {-12'350, false, "-1.24"},
      {99'950, false, "10.00"},     {INT64_MIN, false, "-922337203685477.58"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatMoney(TMoney::FromUnits(c.units), c.sign), c.text) << c.units;
}

}  // namespace
}  // namespace fidora
