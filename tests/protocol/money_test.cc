// Money: exact four-decimal amounts, halves to the even neighbour, overflow as an error.
#include "protocol/money.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace fidora {
namespace {

TEST(MoneyTest, ParsesDecimalTextRoundingPastTheFourthDecimalHalfToEven) {
  const std::vector<std::pair<std::string, int64_t>> cases = {
      {"120.00", 1'200'000},  {"-10", -100'000},
      {" 2.5 ", 25'000},      {"+0.0001", 1},
      {".5", 5'000},          {"7.", 70'000},
      {"1e2", 1'000'000},     {"1.5E-3", 15},
      {"0.00005", 0},         {"0.00015", 2},
      {"0.000051", 1},        {"-0.00005", 0},
      {"-0.00015", -2},       {"149.9999", 1'499'999},
      {"000012.30", 123'000}, {"0.0000500000000001", 1},
  };
  for (const auto& [text, units] : cases) EXPECT_EQ(TMoney::Parse(text).Units(), units) << text;
}

TEST(MoneyTest, TextThatIsNoNumberIsAConversionError) {
  for (const char* text : {"", " ", "abc", "1,5", "$5", "1.2.3", "-", ".", "1e", "5 5", "0x10"}) {
    try {
      TMoney::Parse(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()),
                "'" + std::string(text) + "' is not a valid floating point value");
    }
  }
}

TEST(MoneyTest, ColumnValuesAreRoundedOnTheirShortestDecimalForm) {
  EXPECT_EQ(TMoney::FromDouble(12.3456).Units(), 123'456);  // 12.34559999... in binary
  EXPECT_EQ(TMoney::FromDouble(45.5).Units(), 455'000);
  EXPECT_EQ(TMoney::FromDouble(0.00005).Units(), 0);  // a half: to the even 0
  EXPECT_EQ(TMoney::FromDouble(0.00015).Units(), 2);  // a half: to the even 2
  EXPECT_EQ(TMoney::FromDouble(-2.675).Units(), -26'750);
  EXPECT_EQ(TMoney::FromDouble(0.0).Units(), 0);
  EXPECT_THROW(TMoney::FromDouble(1e300), EIntOverflow);
  EXPECT_THROW(TMoney::FromDouble(std::numeric_limits<double>::quiet_NaN()), EIntOverflow);
  EXPECT_EQ(TMoney::Parse("0.1").ToDouble(), 0.1);
  EXPECT_EQ(TMoney::Parse("118.00").ToDouble(), 118.0);
}

TEST(MoneyTest, QuotientIsAddedExactlyAndRoundedOnce) {
  const auto m = [](const char* text) { return TMoney::Parse(text); };
  EXPECT_EQ(TMoney::AddQuotient(m("45.5"), m("120.00"), 10), m("57.5"));
  EXPECT_EQ(TMoney::AddQuotient(m("0"), m("10.00"), 3), m("3.3333"));
  EXPECT_EQ(TMoney::AddQuotient(m("0"), m("20.00"), 3), m("6.6667"));
  // 0.0001 ÷ 2 is a half of a unit: the sum decides the even neighbour, not the quotient alone.
  EXPECT_EQ(TMoney::AddQuotient(m("0"), m("0.0001"), 2), m("0"));
  EXPECT_EQ(TMoney::AddQuotient(m("0.0001"), m("0.0001"), 2), m("0.0002"));
  EXPECT_EQ(TMoney::AddQuotient(m("0"), m("-0.0003"), 2), m("-0.0002"));
  EXPECT_EQ(TMoney::AddQuotient(m("1"), m("5"), -2), m("-1.5"));
  // The intermediate product may pass 64 bits; only the result must fit.
  const TMoney big = TMoney::FromUnits(std::numeric_limits<int64_t>::max() / 2);
  EXPECT_EQ(TMoney::AddQuotient(big, TMoney(), 1'000'000), big);
}

TEST(MoneyTest, ArithmeticOutsideTheRangeIsAnError) {
  const TMoney top = TMoney::FromUnits(std::numeric_limits<int64_t>::max());
  const TMoney bottom = TMoney::FromUnits(std::numeric_limits<int64_t>::min());
  EXPECT_THROW(top + TMoney::FromUnits(1), EIntOverflow);
  EXPECT_THROW(bottom - TMoney::FromUnits(1), EIntOverflow);
  EXPECT_THROW(-bottom, EIntOverflow);
  EXPECT_THROW(TMoney::FromWhole(5) * (int64_t{1} << 62), EIntOverflow);
  EXPECT_THROW(TMoney::FromWhole(std::numeric_limits<int64_t>::max() / 1000), EIntOverflow);
  EXPECT_THROW(TMoney::Parse("922337203685477.5808"), EIntOverflow);
  EXPECT_EQ(TMoney::Parse("-922337203685477.5808"), bottom);
  EXPECT_EQ(TMoney::FromWhole(5) * 3, TMoney::Parse("15"));
}

TEST(MoneyTest, WholePartAndTwoDecimals) {
  EXPECT_EQ(TMoney::Parse("57.5").WholePart(), 57);
  EXPECT_EQ(TMoney::Parse("-2.5").WholePart(), -2);
  EXPECT_EQ(TMoney::Parse("12.5").TwoDecimals(), "12.50");
  EXPECT_EQ(TMoney::Parse("-3").TwoDecimals(), "-3.00");
  EXPECT_EQ(TMoney::Parse("2.675").TwoDecimals(), "2.68");
  EXPECT_EQ(TMoney::Parse("-0.0049").TwoDecimals(), "-0.00");
}

}  // namespace
}  // namespace fidora
