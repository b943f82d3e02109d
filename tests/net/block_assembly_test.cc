#include "net/block_assembly.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_framing.h"

using namespace std::string_literals;

namespace fidora {
namespace {

using test::SplitWhole;

std::vector<std::string> Assemble(const std::string& payload, const std::vector<size_t>& cuts) {
  TBlockAssembly block;
  block.Start(static_cast<int64_t>(payload.size()), 7, 0);
  size_t at = 0;
  for (size_t cut : cuts) {
    EXPECT_EQ(block.Feed(std::string_view(payload).substr(at, cut - at)), cut - at);
    at = cut;
  }
  block.Feed(std::string_view(payload).substr(at));
  EXPECT_EQ(block.Remaining(), 0);
  TRequestLines request = {"stale"};
  block.Finish(request);
  EXPECT_FALSE(block.Active());
  std::vector<std::string> lines(request.begin(), request.end());
  return lines;
}

TEST(BlockAssemblyTest, SplitsLinesWhereverThePayloadIsCut) {
  const std::vector<std::string> payloads = {
      "CLUB\xA6SUMMARY\r\nX\r\n",
      "A\rB\nC\r\n\r",
      "A\r\nB\0C\r\n"s,
      "\r\n\r\n",
      "A\r\r\nB",
      "\n\r",
      "no line end",
      "\0\r\nX"s,
  };
  for (const std::string& payload : payloads) {
    const auto expected = SplitWhole(payload);
    EXPECT_EQ(Assemble(payload, {}), expected) << payload;
    std::vector<size_t> every_byte;
    for (size_t i = 1; i < payload.size(); ++i) every_byte.push_back(i);
    EXPECT_EQ(Assemble(payload, every_byte), expected) << payload;
  }
  std::mt19937 random(14);
  const std::string alphabet = "ab\r\n\0"s;
  for (int round = 0; round < 500; ++round) {
    std::string payload;
    for (int i = 1 + static_cast<int>(random() % 40); i > 0; --i)
      payload += alphabet[random() % alphabet.size()];
    std::vector<size_t> cuts;
    for (size_t i = 1; i < payload.size(); ++i)
      if (random() % 3 == 0) cuts.push_back(i);
    EXPECT_EQ(Assemble(payload, cuts), SplitWhole(payload)) << round;
  }
}

TEST(BlockAssemblyTest, TakesNoMoreThanTheBlockAndCountsWhatItHolds) {
  TBlockAssembly block;
  block.Start(5, 9, 5);
  EXPECT_EQ(block.HeldBytes(), 9);
  EXPECT_EQ(block.Feed("NOW\r\nNAME\r\n"), 5u);
  EXPECT_EQ(block.HeldBytes(), 14);
  TRequestLines request;
  block.Finish(request);
  EXPECT_EQ(request, (TRequestLines{"NOW"}));
  EXPECT_EQ(block.HeldBytes(), 0);
}

TEST(BlockAssemblyTest, ShortLinesCostTheirBytesAndFourMoreEach) {
  std::string payload;
  for (int i = 0; i < 200'000; ++i) payload += "abc\r\n";
  TBlockAssembly block;
  block.Start(static_cast<int64_t>(payload.size()), 12, static_cast<int64_t>(payload.size()));
  for (size_t at = 0; at < payload.size(); at += 32767)
    block.Feed(std::string_view(payload).substr(at, 32767));
  TRequestLines request;
  block.Finish(request);
  ASSERT_EQ(request.size(), 200'000u);
  EXPECT_EQ(request.View(199'999), "abc");
  // The text (reserved for the whole payload) and an index that grows by doubling.
  EXPECT_LE(request.MemoryBytes(), payload.size() + 2 * 4 * request.size());
}

}  // namespace
}  // namespace fidora
