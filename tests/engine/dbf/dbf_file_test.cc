// TDbfFile: record navigation codes, header refresh between two opens, the header writes,
// opening checks, file and record locks, and appends that fail part-way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/file_io.h"
#include "engine/dbf/open_file_list.h"
#include "engine/dbf/xb_error.h"
#include "support/faulty_io.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "support/xb_error_text.h"

namespace fidora {
namespace {

using test::ErrorOf;
using test::FaultyIo;
using test::FileBytes;
using test::U32;

std::string MakeTable(const test::TempDir& dir, int records) {
  TDbfBuild b(dir.dir() + "items");
  b.AddField("CODE", 'C', 6, 0);
  b.AddField("QTY", 'N', 5, 0);
  b.Build();
  TDbfFields t(b.path(), false, true);
  t.Open();
  for (int i = 1; i <= records; ++i) {
    t.BlankRecord();
    t.SetFieldText("CODE", "C" + std::to_string(i));
    t.SetNumber("QTY", i);
    t.AppendRecord();
  }
  return b.path();
}

void Patch(const std::string& path, size_t at, uint8_t value) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  f.put(static_cast<char>(value));
}

TEST(DbfFile, RelativeCodesWalkPhysicalOrder) {
  test::TempDir dir;
  TDbfFields t(MakeTable(dir, 3), true, false);
  t.Open();
  EXPECT_EQ(t.recno(), 0u);
  ASSERT_TRUE(t.ReadRecord(kRecFirst));
  EXPECT_EQ(t.FieldText("CODE"), "C1");
  ASSERT_TRUE(t.ReadRecord(kRecNext));
  EXPECT_EQ(t.recno(), 2u);
  ASSERT_TRUE(t.ReadRecord(kRecLast));
  EXPECT_EQ(t.FieldText("CODE"), "C3");
  EXPECT_FALSE(t.ReadRecord(kRecNext));
  EXPECT_TRUE(t.read_past_last());
  EXPECT_EQ(t.recno(), 3u);
  ASSERT_TRUE(t.ReadRecord(kRecSame));
  ASSERT_TRUE(t.ReadRecord(kRecPrevious));
  EXPECT_EQ(t.recno(), 2u);
  EXPECT_FALSE(t.read_past_last());
  ASSERT_TRUE(t.ReadRecord(1));
  EXPECT_FALSE(t.ReadRecord(kRecPrevious));
  EXPECT_TRUE(t.read_before_first());
  EXPECT_EQ(t.recno(), 1u);
  EXPECT_FALSE(t.ReadRecord(4));
  EXPECT_TRUE(t.read_past_last());
  EXPECT_EQ(ErrorOf([&] { t.ReadRecord(5); }), "Record number 5 is not in table " + t.path());
  EXPECT_EQ(ErrorOf([&] { t.ReadRecord(0); }), "Record number 0 is not in table " + t.path());
  EXPECT_EQ(ErrorOf([&] { t.WriteRecord(4); }), "Record number 4 is not in table " + t.path());
}

TEST(DbfFile, EmptyTableIsAtBothEnds) {
  test::TempDir dir;
  TDbfFields t(MakeTable(dir, 0), true, true);
  t.Open();
  EXPECT_FALSE(t.ReadRecord(kRecFirst));
  EXPECT_TRUE(t.read_before_first());
  EXPECT_TRUE(t.read_past_last());
}

TEST(DbfFile, SharedOpenSeesAnotherOpensAppendAfterRefresh) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 2);
  TDbfFields a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(b.ReadRecord(kRecLast));
  a.BlankRecord();
  a.SetFieldText("CODE", "NEW");
  EXPECT_EQ(a.AppendRecord(), 3u);
  EXPECT_EQ(b.record_count(), 2u);
  // Count + 1 is found after the header was read again.
  ASSERT_TRUE(b.ReadRecord(3));
  EXPECT_EQ(b.FieldText("CODE"), "NEW");
  // b appends next: it re-reads the count under the header lock and does not overwrite 3.
  b.BlankRecord();
  b.SetFieldText("CODE", "FROM_B");
  EXPECT_EQ(b.AppendRecord(), 4u);
  a.BlankRecord();
  a.SetFieldText("CODE", "FROM_A");
  EXPECT_EQ(a.AppendRecord(), 5u);
  TDbfFields check(path, true, false);
  check.Open();
  EXPECT_EQ(check.record_count(), 5u);
  std::vector<std::string> codes;
  while (check.ReadRecord(kRecNext)) codes.push_back(check.FieldText("CODE"));
  EXPECT_EQ(codes, (std::vector<std::string>{"C1", "C2", "NEW", "FROM_B", "FROM_A"}));
}

TEST(DbfFile, RecordWriteTouchesStampButNotCount) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 2);
  Patch(path, 4, 2);  // (count stays 2)
  Patch(path, 28, 0xFF);
  for (size_t i = 16; i < 24; ++i) Patch(path, i, 0);
  TDbfFields t(path, true, true);
  t.Open();
  t.set_user_id(7);
  ASSERT_TRUE(t.ReadRecord(2));
  t.SetNumber("QTY", 42);
  t.WriteRecord(2);
  EXPECT_EQ(std::string(t.before_image(), t.record_length()),
            std::string(t.record_buffer(), t.record_length()));
  auto b = FileBytes(path);
  // The stamp is ((hour * 64 + minute) * 64 + second) * 1024 + millisecond of now.
  const uint32_t stamp = U32(b, 16);
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const int written = static_cast<int>(stamp >> 22) * 3600 +
                      static_cast<int>((stamp >> 16) & 63) * 60 +
                      static_cast<int>((stamp >> 10) & 63);
  EXPECT_LE(std::abs(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec - written), 2);
  EXPECT_LT(stamp & 1023, 1000u);
  EXPECT_EQ(U32(b, 20), 7u);
  EXPECT_EQ(b[28], 0xFF) << "a record write does not write the full header";
  // An append writes the full header: the kept flag bits only.
  t.BlankRecord();
  t.AppendRecord();
  b = FileBytes(path);
  EXPECT_EQ(U32(b, 4), 3u);
  EXPECT_EQ(b[28], 0x07);
  EXPECT_EQ(b.size(), t.header_length() + 3 * t.record_length() + 1);
}

TEST(DbfFile, DeleteAndRecallWriteTheFlag) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 2);
  TDbfFields t(path, true, true);
  t.Open();
  ASSERT_TRUE(t.ReadRecord(2));
  t.Delete();
  EXPECT_TRUE(t.IsDeleted());
  const size_t at = t.header_length() + t.record_length();
  EXPECT_EQ(FileBytes(path)[at], '*');
  ASSERT_TRUE(t.ReadRecord(2));
  EXPECT_TRUE(t.IsDeleted());
  EXPECT_FALSE(t.modified(0));
  t.Recall();
  EXPECT_EQ(FileBytes(path)[at], ' ');
}

TEST(DbfFile, OpeningChecksTheHeader) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 1);
  {
    TDbfFields t(dir.dir() + "missing", true, false);
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "File " + dir.dir() + "missing.DBF could not be found");
  }
  Patch(path, 0, 0x02);
  TDbfFields bad(path, true, false);
  EXPECT_EQ(ErrorOf([&] { bad.Open(); }), "Table Header for " + path + " is invalid");
  EXPECT_FALSE(bad.is_open());
  Patch(path, 0, 0x03);
  Patch(path, 15, 1);
  TDbfFields enc(path, true, false);
  EXPECT_EQ(ErrorOf([&] { enc.Open(); }), "No Password for encrypted file " + path);
  Patch(path, 15, 0);
  Patch(path, 32 + 16, 200);  // CODE longer than the record
  TDbfFields wide(path, true, false);
  EXPECT_EQ(ErrorOf([&] { wide.Open(); }), "Table Header for " + path + " is invalid");
  std::filesystem::resize_file(path, 20);
  TDbfFields cut(path, true, false);
  EXPECT_EQ(ErrorOf([&] { cut.Open(); }), "Error on Read of file " + path);
  // The name is found whatever its case, ".dbf" added.
  MakeTable(dir, 1);
  TDbfFields upper(dir.dir() + "ITEMS", true, false);
  EXPECT_NO_THROW(upper.Open());
}

TEST(DbfFile, RecordLocksAndTheFileLock) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 6);
  TDbfFields a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  a.SetLockProtocol(TxLokProtocol::ClipLock);
  b.SetLockProtocol(TxLokProtocol::ClipLock);
  EXPECT_FALSE(a.LockCurrentRecord()) << "no current record";
  EXPECT_EQ(a.lock_count(), 0);
  ASSERT_TRUE(a.LockRecord(5));
  EXPECT_EQ(a.locked_range(), (TLockRange{1000000005, 1}));
  EXPECT_FALSE(b.LockRecord(5));
  EXPECT_TRUE(b.LockRecord(6));
  EXPECT_EQ(ErrorOf([&] { a.LockRecord(6); }), "Another lock active on file " + path);
  // b appends while a holds record 5: the header byte is another byte.
  b.BlankRecord();
  EXPECT_EQ(b.AppendRecord(), 7u);
  EXPECT_EQ(ErrorOf([&] { b.FileLock(); }), "Another lock active on file " + path);
  b.Unlock();
  EXPECT_FALSE(b.FileLock()) << "a's record lock lies in the file range";
  a.Unlock();
  ASSERT_TRUE(b.FileLock());
  EXPECT_TRUE(b.file_locked());
  EXPECT_TRUE(b.LockRecord(3)) << "record locks only nest under the file lock";
  EXPECT_EQ(b.lock_count(), 2);
  a.set_lock_timing(100, 50);
  a.BlankRecord();
  EXPECT_EQ(ErrorOf([&] { a.AppendRecord(); }), "Can not Lock file " + path);
  // Under the file lock the full header waits for the last unlock.
  b.BlankRecord();
  EXPECT_EQ(b.AppendRecord(), 8u);
  EXPECT_EQ(U32(FileBytes(path), 4), 7u);
  b.Unlock();
  EXPECT_TRUE(b.file_locked());
  b.Unlock();
  EXPECT_FALSE(b.file_locked());
  EXPECT_EQ(U32(FileBytes(path), 4), 8u);
  EXPECT_EQ(a.AppendRecord(), 9u);
}

TEST(DbfFile, DefaultProtocolOffsets) {
  EXPECT_EQ(RecordLockRange(TxLokProtocol::Default, 3, 97, 29, false),
            (TLockRange{0x40000000u + 97 + 2 * 29, 1}));
  EXPECT_EQ(RecordLockRange(TxLokProtocol::Default, 3, 97, 29, true), (TLockRange{0x7FFFFFFBu, 1}));
  EXPECT_EQ(RecordLockRange(TxLokProtocol::FoxLock, 3, 97, 29, true), (TLockRange{0x7FFFFFFBu, 1}));
  EXPECT_EQ(HeaderLockRange(TxLokProtocol::Default), (TLockRange{0x7FFFFFFE, 1}));
  EXPECT_EQ(FileLockRange(TxLokProtocol::Default), (TLockRange{0x40000000, 0x3FFFFFFF}));
  EXPECT_EQ(FileLockRange(TxLokProtocol::ClipLock), (TLockRange{1000000000, 1000000000}));
  EXPECT_EQ(MemoLockRange(TxLokProtocol::ClipLock), (TLockRange{1000000000, 1}));
  EXPECT_EQ(IndexLockRange(TxLokProtocol::Default), (TLockRange{0x7FFFFFFE, 1}));
  EXPECT_EQ(RecordLockRange(TxLokProtocol::DB4Lock, 3, 97, 29, false),
            (TLockRange{0xEFFFFFFBu, 1}));
  EXPECT_EQ(FullLockRange(), (TLockRange{0, 0x7FFFFFFF}));
}

TEST(DbfFile, FailedAppendLeavesHeaderAndFileConsistent) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 2);
  const auto before = FileBytes(path);
  FaultyIo io;
  TDbfFields t(path, true, true, io);
  t.Open();
  {
    // The record write fails on every attempt, the first one after writing a few bytes.
    io.ShortWrite(1, 3);
    io.Fail(FaultyIo::kPWrite, 2, 3, ENOSPC);
    t.BlankRecord();
    t.SetFieldText("CODE", "LOST");
    EXPECT_EQ(ErrorOf([&] { t.AppendRecord(); }),
              "Error 28 in Write of file " + path + " at block " +
                  std::to_string(t.header_length() + 2 * t.record_length()));
  }
  EXPECT_EQ(t.record_count(), 2u);
  auto after = FileBytes(path);
  EXPECT_EQ(U32(after, 4), 2u) << "the count never names a record that is not in the file";
  EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 32),
            std::vector<uint8_t>(before.begin(), before.begin() + 32));
  // The header lock was released: another open appends, at record 3.
  TDbfFields other(path, true, true);
  other.Open();
  other.set_lock_timing(100, 50);
  other.BlankRecord();
  other.SetFieldText("CODE", "NEXT");
  EXPECT_EQ(other.AppendRecord(), 3u);
  // The first open's next append counts the other's record.
  t.BlankRecord();
  t.SetFieldText("CODE", "AGAIN");
  EXPECT_EQ(t.AppendRecord(), 4u);
  after = FileBytes(path);
  EXPECT_EQ(U32(after, 4), 4u);
  EXPECT_EQ(after.size(), t.header_length() + 4 * t.record_length() + 1);
  EXPECT_EQ(after.back(), 0x1A);
  ASSERT_TRUE(t.ReadRecord(3));
  EXPECT_EQ(t.FieldText("CODE"), "NEXT");
}

TEST(DbfFile, FailedHeaderWriteKeepsTheOldCount) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 1);
  FaultyIo io;
  TDbfFields t(path, true, true, io);
  t.Open();
  io.Fail(FaultyIo::kPWrite, 2, 4);  // the record goes in, the header write fails
  t.BlankRecord();
  EXPECT_EQ(ErrorOf([&] { t.AppendRecord(); }), "Error 5 in Write of file " + path + " at block 0");
  EXPECT_EQ(t.record_count(), 1u);
  EXPECT_EQ(U32(FileBytes(path), 4), 1u);
  EXPECT_EQ(t.AppendRecord(), 2u) << "the next append takes the place again";
}

TEST(DbfFile, ExclusiveTableWritesItsHeaderOnClose) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 0);
  {
    TDbfFields t(path, false, true);
    t.Open();
    t.BlankRecord();
    t.AppendRecord();
  }
  EXPECT_EQ(U32(FileBytes(path), 4), 1u);
}

TEST(DbfFile, ClosingEverythingAtExitStillWritesTheHeader) {
  test::TempDir dir;
  const std::string path = MakeTable(dir, 0);
  TDbfFields t(path, true, true);
  t.Open();
  ASSERT_TRUE(t.FileLock());  // the header now waits for the unlock
  for (const char* code : {"ONE", "TWO"}) {
    t.BlankRecord();
    t.SetFieldText("CODE", code);
    t.AppendRecord();
  }
  EXPECT_EQ(U32(FileBytes(path), 4), 0u);
  EXPECT_EQ(t.record_count(), 2u) << "appends under the file lock count their own records";
  TOpenFileList::CloseAll();
  EXPECT_FALSE(t.is_open());
  EXPECT_EQ(U32(FileBytes(path), 4), 2u);
  TDbfFields check(path, true, false);
  check.Open();
  ASSERT_TRUE(check.ReadRecord(1));
  EXPECT_EQ(check.FieldText("CODE"), "ONE");
  ASSERT_TRUE(check.ReadRecord(2));
  EXPECT_EQ(check.FieldText("CODE"), "TWO");
}

TEST(DbfFile, RenameTakesTheMemoFileAlong) {
  test::TempDir dir;
  TDbfBuild b(dir.dir() + "memos");
  b.AddField("NOTE", 'M', 0, 0);
  b.Build();
  TDbfFields t(b.path(), false, true);
  t.Open();
  t.BlankRecord();
  t.SetMemo(1, "kept");
  t.AppendRecord();
  t.Rename("renamed_table");
  EXPECT_TRUE(std::filesystem::exists(dir / "renamed_table.DBF"));
  EXPECT_TRUE(std::filesystem::exists(dir / "renamed_table.dbt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "memos.dbt"));
  ASSERT_TRUE(t.ReadRecord(1));
  EXPECT_EQ(t.GetMemo(1), "kept");
  const auto memo = FileBytes(dir.dir() + "renamed_table.dbt");
  EXPECT_EQ(std::string(memo.begin() + 8, memo.begin() + 16), "renamed_");
}

}  // namespace
}  // namespace fidora
