// Byte layouts of new tables, appends and long character fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using test::FileBytes;
using test::U16;
using test::U32;

std::string MakeNameAmount(const test::TempDir& dir) {
  TDbfBuild build(dir.dir() + "shop");
  build.AddField("name", 'c', 20, 0);
  build.AddField("AMOUNT", 'N', 8, 2);
  build.Build();
  return build.path();
}

TEST(DbfLayout, NewTableIsHeaderDescriptorsTerminatorAndEof) {
  test::TempDir dir;
  const std::string path = MakeNameAmount(dir);
  EXPECT_EQ(path, dir.dir() + "shop.DBF");
  const auto b = FileBytes(path);
  ASSERT_EQ(b.size(), 98u);
  EXPECT_EQ(b[0], 0x03);
  int y, m, d;
  TxDBFDate::DecodeDay(TxDBFDate::Instance().Today(), &y, &m, &d);
  EXPECT_EQ(b[1], y % 100);
  EXPECT_EQ(b[2], m);
  EXPECT_EQ(b[3], d);
  EXPECT_EQ(U32(b, 4), 0u);
  EXPECT_EQ(U16(b, 8), 97u);
  EXPECT_EQ(U16(b, 10), 29u);
  for (size_t i = 12; i < 32; ++i) EXPECT_EQ(b[i], 0) << "header byte " << i;
  // Descriptors: name padded with NULs, type, length, decimals, reserved zero.
  const std::vector<uint8_t> name_desc = {'N', 'A', 'M', 'E', 0, 0, 0, 0, 0, 0, 0, 'C', 0, 0, 0, 0,
                                          20,  0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0,   0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 32, b.begin() + 64), name_desc);
  EXPECT_EQ(std::string(b.begin() + 64, b.begin() + 70), "AMOUNT");
  EXPECT_EQ(b[64 + 11], 'N');
  EXPECT_EQ(b[64 + 16], 8);
  EXPECT_EQ(b[64 + 17], 2);
  EXPECT_EQ(b[96], 0x0D);
  EXPECT_EQ(b[97], 0x1A);
}

TEST(DbfLayout, AppendWritesRecordThenEofAndUpdatesCount) {
  test::TempDir dir;
  const std::string path = MakeNameAmount(dir);
  TDbfFields t(path, true, true);
  t.Open();
  for (int i = 1; i <= 3; ++i) {
    t.BlankRecord();
    t.SetFieldText("NAME", "Item " + std::to_string(i));
    if (i == 2) t.SetNumber("amount", 12.5);
    EXPECT_EQ(t.AppendRecord(), static_cast<uint32_t>(i));
  }
  const auto b = FileBytes(path);
  ASSERT_EQ(b.size(), 97u + 3 * 29 + 1);
  EXPECT_EQ(U32(b, 4), 3u);
  EXPECT_EQ(b.back(), 0x1A);
  const std::string rec1(b.begin() + 97, b.begin() + 97 + 29);
  EXPECT_EQ(rec1, " Item 1                  0.00");
  const std::string rec2(b.begin() + 97 + 29, b.begin() + 97 + 58);
  EXPECT_EQ(rec2, " Item 2                 12.50");
  EXPECT_NE(U32(b, 16), 0u) << "change stamp written";
}

TEST(DbfLayout, LongCharacterFieldKeepsHighByteInDecimals) {
  test::TempDir dir;
  TDbfBuild build(dir.dir() + "notes.dbf");
  build.AddField("TEXT", 'C', 300, 0);
  build.Build();
  const auto b = FileBytes(build.path());
  EXPECT_EQ(b[32 + 16], 44);
  EXPECT_EQ(b[32 + 17], 1);
  EXPECT_EQ(U16(b, 10), 301u);
  TDbfFields t(build.path(), false, true);
  t.Open();
  EXPECT_EQ(t.FieldLength(1), 300u);
  EXPECT_EQ(t.FieldDecimals(1), 0u);
  t.BlankRecord();
  t.SetFieldText(1, std::string(299, 'x') + "yz");  // one byte too long: cut
  t.AppendRecord();
  ASSERT_TRUE(t.ReadRecord(1));
  EXPECT_EQ(t.FieldText(1), std::string(299, 'x') + "y");
}

TEST(DbfLayout, MemoTableGetsVersion83AndEmptyDbt) {
  test::TempDir dir;
  TDbfBuild build(dir.dir() + "CUST");
  build.AddField("NOTE", 'M', 0, 0);
  build.AddField("CODE", 'C', 4, 0);
  build.Build();
  const auto b = FileBytes(build.path());
  EXPECT_EQ(b[0], 0x83);
  EXPECT_EQ(b[32 + 16], 10);
  const auto memo = FileBytes(dir / "CUST.dbt");
  ASSERT_EQ(memo.size(), 513u);
  EXPECT_EQ(U32(memo, 0), 1u);
  EXPECT_EQ(U32(memo, 4), 0u);
  EXPECT_EQ(std::string(memo.begin() + 8, memo.begin() + 12), "CUST");
  EXPECT_EQ(memo[12], 0);
  EXPECT_EQ(memo[512], 0x1A);
}

TEST(DbfLayout, BuildNormalisesNamesAndForcedLengths) {
  test::TempDir dir;
  TDbfBuild build(dir.dir() + "t");
  build.AddField("averyveryLongName", 'd', 3, 2);
  build.AddField("flag", 'l', 9, 9);
  build.Build();
  TDbfFields t(build.path(), true, false);
  t.Open();
  ASSERT_EQ(t.FieldCount(), 2);
  EXPECT_EQ(t.FieldName(1), "AVERYVERYL");
  EXPECT_EQ(t.FieldType(1), 'D');
  EXPECT_EQ(t.FieldLength(1), 8u);
  EXPECT_EQ(t.FieldDecimals(1), 0u);
  EXPECT_EQ(t.FieldLength(2), 1u);
  EXPECT_EQ(t.FieldOffset(2), 9u);
  EXPECT_EQ(t.record_length(), 10u);
}

TEST(DbfLayout, BuildRefusesDefinitionsBeyondTheLimits) {
  test::TempDir dir;
  TDbfBuild build(dir.dir() + "t");
  EXPECT_THROW(build.AddField("C0", 'C', 0, 0), EXbError);
  EXPECT_THROW(build.AddField("C1", 'C', 65536, 0), EXbError);
  EXPECT_THROW(build.AddField("N1", 'N', 256, 0), EXbError);
  EXPECT_THROW(build.AddField("N2", 'N', 3, 2), EXbError);
  EXPECT_THROW(build.AddField("", 'N', 3, 0), EXbError);
  EXPECT_THROW(build.Build(), EXbError);  // no fields at all
  TDbfBuild wide(dir.dir() + "wide");
  for (int i = 0; i < 2046; ++i) wide.AddField("F" + std::to_string(i), 'L', 1, 0);
  EXPECT_NO_THROW(wide.Build());
  TDbfBuild too_wide(dir.dir() + "too_wide");
  for (int i = 0; i < 2047; ++i) too_wide.AddField("F" + std::to_string(i), 'L', 1, 0);
  EXPECT_THROW(too_wide.Build(), EXbError);
  TDbfBuild too_long(dir.dir() + "too_long");
  too_long.AddField("A", 'C', 65535, 0);
  EXPECT_THROW(too_long.AddField("B", 'C', 1, 0), EXbError);
}

}  // namespace
}  // namespace fidora
