// Code page conversion and request bytes of the command-line tools.
#include <gtest/gtest.h>

#include <sstream>

#include "common/request.h"
#include "load/load_summary.h"
#include "protocol/cp1252.h"
#include "support/wire_text.h"

namespace fidora {
namespace {

using test::operator""_w;

std::string Utf8(std::string_view cp1252) {
  std::string out;
  AppendCp1252AsUtf8(cp1252, out);
  return out;
}

TEST(Cp1252, ConvertsToUtf8ForTheTerminal) {
  EXPECT_EQ(Utf8("SHOPPER|SEQ"_w), "SHOPPER\u00A6SEQ");
  EXPECT_EQ(Utf8("\x80 \x9F \xE9 \xFF"), "\u20AC \u0178 \u00E9 \u00FF");
  EXPECT_EQ(Utf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(Utf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252, ShowsControlCharactersOnATerminalAsEscapes) {
  std::string out;
  AppendCp1252ForTerminal(std::string_view("A\x1B[2J\rB\tC\0\x7F\x81\x80\xA6", 14), out);
  EXPECT_EQ(out, "A\\x1B[2J\\x0DB\tC\\x00\\x7F\\x81\u20AC\u00A6");
}

TEST(Cp1252, EveryByteComesBackFromItsUtf8) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::string error;
    const auto back = ToCp1252(Utf8(byte), error);
    ASSERT_TRUE(back.has_value()) << b << ": " << error;
    EXPECT_EQ(*back, byte) << b;
  }
}

TEST(Cp1252, TakesTextThatIsNotUtf8AsItIs) {
  std::string error;
  for (const std::string& text :
       std::vector<std::string>{"NOW|x"_w, "\xC0|"_w, "\xE2\x82", "\xED\xA0\x80", "\u2603|"_w}) {
    const auto out = ToCp1252(text, error);
    ASSERT_TRUE(out.has_value()) << text;
    EXPECT_EQ(*out, text);
  }
}

TEST(Cp1252, RefusesACharacterItCannotHold) {
  std::string error;
  EXPECT_FALSE(ToCp1252("NOW\u00A6\u2603", error).has_value());
  EXPECT_EQ(error, "the character U+2603 has no Windows-1252 byte");
  EXPECT_FALSE(ToCp1252("\u0080", error).has_value());
}

TEST(Request, BlockLengthCountsEveryLineAndItsLineEnd) {
  EXPECT_EQ(BlockRequest({"CLUB|SUMMARY"_w, "X"}), "B|17|C\r\nCLUB|SUMMARY\r\nX\r\n"_w);
  EXPECT_EQ(BlockRequest({""}), "B|2|C\r\n\r\n"_w);
}

TEST(Request, SplitsInputLines) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitInputLines("a\r\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitInputLines("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitInputLines("\n"), (Lines{""}));
  EXPECT_EQ(SplitInputLines(""), Lines{});
}

TEST(Request, MakesTheBytesOfAToolArgument) {
  std::string error;
  std::istringstream none;
  EXPECT_EQ(MakeRequest("now", none, error), "now\r\n");
  EXPECT_EQ(MakeRequest("SHOPPER\u00A6SEQ\u00A6\u20AC", none, error), "SHOPPER|SEQ|\x80\r\n"_w);
  std::istringstream lines("CLUB\u00A6SUMMARY\nX\n");
  EXPECT_EQ(MakeRequest("-", lines, error), "B|17|C\r\nCLUB|SUMMARY\r\nX\r\n"_w);

  for (const char* refused : {"", "NOW\r\nNAME", "NOW\n", "NOW\u2603"}) {
    error.clear();
    std::istringstream empty;
    EXPECT_FALSE(MakeRequest(refused, empty, error).has_value()) << refused;
    EXPECT_FALSE(error.empty());
  }
  std::istringstream empty;
  EXPECT_FALSE(MakeRequest("-", empty, error).has_value());
  EXPECT_EQ(error, "no request lines on standard input");
}

TEST(Request, KnowsAFileGetRequest) {
  for (const std::string& request : std::vector<std::string>{
           "FILE|GET|p.txt\r\n"_w, "file|get|p.txt\r\n"_w, "  File| get |p.txt \r\n"_w,
           "FILE|GET\r\n"_w, "B|16|C\r\nFILE|GET|p.txt\r\n"_w}) {
    EXPECT_TRUE(IsFileGet(request)) << request;
  }
  for (const std::string& request : std::vector<std::string>{
           "FILE|PUT|p.txt\r\n"_w, "FILE |GET|p.txt\r\n"_w, "FILES|GET\r\n"_w, "FILE\r\n",
           "NOW|FILE|GET\r\n"_w, "B|15|C\r\nNOW\r\nFILE|GET\r\n"_w}) {
    EXPECT_FALSE(IsFileGet(request)) << request;
  }
}

TEST(LoadSummary, PercentilesByNearestRank) {
  std::vector<uint32_t> values;
  for (uint32_t v = 100; v >= 1; --v) values.push_back(v);
  EXPECT_EQ(Percentile(values, 0.50), 50u);
  EXPECT_EQ(Percentile(values, 0.99), 99u);
  std::vector<uint32_t> one{7};
  EXPECT_EQ(Percentile(one, 0.99), 7u);
  std::vector<uint32_t> none;
  EXPECT_EQ(Percentile(none, 0.5), 0u);
}

TEST(LoadSummary, ErrorsAreRequestsWithoutASuccessfulReply) {
  LoadTotals totals;
  totals.requests = 10;
  totals.replies = 8;
  totals.successful = 7;
  totals.seconds = 2;
  totals.latencies_us = {10, 20, 30, 40, 50, 60, 70, 80};
  EXPECT_EQ(FormatSummary(totals), "requests/s: 4  p50_us: 40  p99_us: 80  errors: 3");
}

}  // namespace
}  // namespace fidora
