// Little-endian coding of the numbers in file headers and pages.
#include "engine/dbf/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace fidora {
namespace {

TEST(ByteOrder, PutsLowByteFirstAndReadsBack) {
  std::array<uint8_t, 6> b{};
  PutU16(b.data(), 0xBEEF);
  PutU32(b.data() + 2, 0x12345678u);
  EXPECT_EQ(b, (std::array<uint8_t, 6>{0xEF, 0xBE, 0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(GetU16(b.data()), 0xBEEF);
  EXPECT_EQ(GetU32(b.data() + 2), 0x12345678u);
}

TEST(ByteOrder, HighBitsAndExtremesSurviveTheRoundTrip) {
  for (const uint32_t v : {0u, 1u, 0x80u, 0x8000u, 0x80000000u, 0xFFFFFFFFu}) {
    std::array<uint8_t, 4> b{};
    PutU32(b.data(), v);
    EXPECT_EQ(GetU32(b.data()), v);
    PutU16(b.data(), static_cast<uint16_t>(v));
    EXPECT_EQ(GetU16(b.data()), static_cast<uint16_t>(v));
    EXPECT_EQ(b[2], static_cast<uint8_t>(v >> 16)) << "PutU16 writes two bytes only";
  }
}

}  // namespace
}  // namespace fidora
