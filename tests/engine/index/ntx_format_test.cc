// Byte layout of the header and pages, derived sizes and the key encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_key.h"
#include "engine/index/ntx_layout.h"

namespace fidora {
namespace {

TEST(NtxLayout, MaxItemsFollowKeySize) {
  const std::pair<uint16_t, uint16_t> cases[] = {{10, 50}, {8, 54},  {20, 32}, {40, 18},
                                                 {16, 38}, {24, 28}, {239, 2}};
  for (auto [key_size, max_items] : cases) {
    EXPECT_EQ(NtxMaxItems(key_size), max_items) << "key size " << key_size;
    // The offset table and every slot fit in the page.
    EXPECT_LE(2 * max_items + 4 + (max_items + 1) * NtxItemSize(key_size), 1024);
  }
}

TEST(NtxLayout, HeaderBytesSitAtTheirOffsets) {
  NtxHeader h;
  h.version = 0x1234;
  h.root = 0x0400;
  h.key_size = 10;
  h.item_size = 18;
  h.key_decimals = 2;
  h.max_items = 50;
  h.half_page = 1;
  h.key_expr = "UPPER(CLUB)";
  h.unique = true;
  h.descending = true;
  std::vector<uint8_t> p = h.Encode();
  ASSERT_EQ(p.size(), 1024u);
  EXPECT_EQ(GetU16(&p[0]), 6);
  EXPECT_EQ(GetU16(&p[2]), 0x1234);
  EXPECT_EQ(GetU32(&p[4]), 0x400u);
  EXPECT_EQ(GetU32(&p[8]), 0u);
  EXPECT_EQ(GetU16(&p[12]), 18);
  EXPECT_EQ(GetU16(&p[14]), 10);
  EXPECT_EQ(GetU16(&p[16]), 2);
  EXPECT_EQ(GetU16(&p[18]), 50);
  EXPECT_EQ(GetU16(&p[20]), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&p[22])), "UPPER(CLUB)");
  EXPECT_EQ(p[278], 1);
  EXPECT_EQ(p[279], 1);
  EXPECT_TRUE(std::all_of(p.begin() + 282, p.end(), [](uint8_t b) { return b == 0; }));

  h.has_for = true;
  h.for_expr = "AMOUNT <> 0";
  p = h.Encode();
  EXPECT_EQ(GetU16(&p[0]), 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&p[282])), "AMOUNT <> 0");
  const NtxHeader back = NtxHeader::Decode(p.data());
  EXPECT_EQ(back.for_expr, "AMOUNT <> 0");
  EXPECT_EQ(back.key_expr, "UPPER(CLUB)");
  EXPECT_TRUE(back.unique && back.descending && back.has_for);
  EXPECT_EQ(back.version, 0x1234);
}

TEST(NtxLayout, PagesAreAddressedThroughTheirOffsetTable) {
  std::vector<NtxItem> slots = {{0, 7, "ALPHA"}, {0, 3, "BETA"}};
  std::vector<uint8_t> page = EncodeNtxPage(2, slots, 10, 50);
  EXPECT_EQ(GetU16(&page[0]), 2);
  EXPECT_EQ(GetU16(&page[2]), 104);       // 2 * 50 + 4
  EXPECT_EQ(GetU16(&page[4]), 104 + 18);  // next slot
  EXPECT_EQ(GetU16(&page[2 + 2 * 50]), 104 + 50 * 18);
  EXPECT_EQ(GetU32(&page[104 + 4]), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&page[104 + 8]), 10), "ALPHA     ");

  // A reader must follow the table, not assume the layout: swap the two slot offsets.
  std::swap(page[2], page[4]);
  NtxPage decoded;
  ASSERT_TRUE(NtxPage::Decode(page.data(), 10, 50, &decoded));
  EXPECT_TRUE(decoded.leaf);
  ASSERT_EQ(decoded.items.size(), 2u);
  EXPECT_EQ(decoded.items[0].recno, 3u);
  EXPECT_EQ(decoded.items[1].recno, 7u);

  // Damage: a count above max items, a slot outside the page.
  std::vector<uint8_t> bad = page;
  PutU16(&bad[0], 51);
  EXPECT_FALSE(NtxPage::Decode(bad.data(), 10, 50, &decoded));
  bad = page;
  PutU16(&bad[2], 1020);
  EXPECT_FALSE(NtxPage::Decode(bad.data(), 10, 50, &decoded));
}

TEST(NtxKey, NumericKeysSortNegativesBelowPositives) {
  auto n = [](double v) {
    return FormatKey(IndexKeyValue::Number(v), NtxKeyType::kNumber, 5, 0, false);
  };
  EXPECT_EQ(n(5), "00005");
  EXPECT_EQ(n(-5), ",,,,'");
  EXPECT_EQ(n(-9), ",,,,#");
  EXPECT_LT(n(-10), n(-5));
  EXPECT_LT(n(-5), n(0));
  EXPECT_LT(n(0), n(5));
  EXPECT_EQ(FormatKey(IndexKeyValue::Number(-12.25), NtxKeyType::kNumber, 8, 2, false), ",,,+*.*'");
  EXPECT_EQ(FormatKey(IndexKeyValue::Number(3.14159), NtxKeyType::kNumber, 8, 2, false),
            "00003.14");
}

TEST(NtxKey, DatesAndLogicalsAndOverlongKeys) {
  EXPECT_EQ(FormatKey(IndexKeyValue::Date(0), NtxKeyType::kDate, 8, 0, false), "00000000");
  EXPECT_EQ(FormatKey(IndexKeyValue::Date(DtosToDay(2024, 2, 29)), NtxKeyType::kDate, 8, 0, false),
            "20240229");
  EXPECT_EQ(DayToDtos(2451545), "20000101");
  EXPECT_EQ(FormatKey(IndexKeyValue::Logical(true), NtxKeyType::kText, 1, 0, false), "T");
  // A value wider than the key is cut to the key size, never stored longer.
  EXPECT_EQ(FormatKey(IndexKeyValue::Text("ABCDEFGHIJKL"), NtxKeyType::kText, 10, 0, false),
            "ABCDEFGHIJ");
  EXPECT_EQ(FormatKey(IndexKeyValue::Number(1234567), NtxKeyType::kNumber, 5, 0, false).size(), 5u);
  EXPECT_EQ(FormatKey(IndexKeyValue::Text("AB   "), NtxKeyType::kText, 10, 0, true), "AB");
}

TEST(NtxKey, SeekKeysConvertFromText) {
  EXPECT_EQ(FormatSeekKey("AB ", NtxKeyType::kText, 10, 0), "AB ");
  EXPECT_EQ(FormatSeekKey(" -5", NtxKeyType::kNumber, 5, 0), ",,,,'");
  EXPECT_EQ(FormatSeekKey("20240301", NtxKeyType::kDate, 8, 0), "20240301");
  EXPECT_EQ(FormatSeekKey("01/03/2024", NtxKeyType::kDate, 8, 0), "20240301");
  EXPECT_EQ(FormatSeekKey("", NtxKeyType::kDate, 8, 0), "00000000");
  EXPECT_THROW(FormatSeekKey("abc", NtxKeyType::kNumber, 5, 0), EXbError);
  EXPECT_THROW(FormatSeekKey("30/02/2024", NtxKeyType::kDate, 8, 0), EXbError);
}

TEST(NtxKey, ComparisonRunsOverTheSearchedKey) {
  EXPECT_EQ(CompareKeys("AB", "ABC", 0), 0);    // prefix counts as equal
  EXPECT_EQ(CompareKeys("AB", "ABC", -1), -1);  // or as smaller
  EXPECT_EQ(CompareKeys("AB  ", "AB", -1), 0);  // trailing blanks never matter
  EXPECT_EQ(CompareKeys("ABD", "ABC", 0), 1);
  EXPECT_EQ(CompareKeys("AB ", "ABC", 0), -1);
  EXPECT_EQ(CompareKeys("\x80", "z", 0), 1);  // bytes compare unsigned
}

}  // namespace
}  // namespace fidora
