// Record read-ahead: one file read per block while records are read in order, the block kept
// equal to the file across this process's writes, and a tail too short for a record read
// straight from the file.
#include "engine/dbf/record_read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace fidora {
namespace {

// A "file" of 1 000 records of 100 bytes after a 32-byte header; counts its reads.
struct TFakeFile {
  std::string bytes;
  int reads = 0;
  TFakeFile() : bytes(32, 'H') {
    for (int n = 0; n < 1000; ++n) bytes += std::string(100, static_cast<char>('a' + n % 26));
  }
  size_t Read(void* buffer, size_t count, uint64_t offset) {
    ++reads;
    if (offset >= bytes.size()) return 0;
    const size_t got = std::min(count, bytes.size() - offset);
    std::copy_n(bytes.data() + offset, got, static_cast<char*>(buffer));
    return got;
  }
  TRecordReadAhead::TFileRead Reader() {
    return [this](void* buffer, size_t count, uint64_t offset) { return Read(buffer, count, offset); };
  }
};

uint64_t Offset(int n) { return 32 + uint64_t(n - 1) * 100; }

TEST(RecordReadAhead, ReadsABlockAtATimeAndStaysEqualToTheFile) {
  TFakeFile file;
  TRecordReadAhead ahead;
  ahead.SetOn(true);
  char record[100];
  for (int n = 1; n <= 1000; ++n) {
    ASSERT_EQ(ahead.ReadRecord(record, 100, Offset(n), file.Reader()), 100u);
    ASSERT_EQ(std::string(record, 100), file.bytes.substr(Offset(n), 100)) << n;
  }
  // 327 records fit in a 32 KiB block: 1 000 records take 4 reads, not 1 000.
  EXPECT_EQ(file.reads, 4);

  // A write this process makes is seen by the next read from the block.
  ASSERT_EQ(ahead.ReadRecord(record, 100, Offset(10), file.Reader()), 100u);
  const int reads = file.reads;
  const std::string changed(100, 'Z');
  file.bytes.replace(Offset(11), 100, changed);
  ahead.Written(changed.data(), 100, Offset(11));
  ASSERT_EQ(ahead.ReadRecord(record, 100, Offset(11), file.Reader()), 100u);
  EXPECT_EQ(std::string(record, 100), changed);
  EXPECT_EQ(file.reads, reads);
}

TEST(RecordReadAhead, OffOrShortReadsGoToTheFile) {
  TFakeFile file;
  TRecordReadAhead ahead;
  char record[100];
  ahead.ReadRecord(record, 100, Offset(1), file.Reader());
  ahead.ReadRecord(record, 100, Offset(2), file.Reader());
  EXPECT_EQ(file.reads, 2);  // off: every record from the file

  ahead.SetOn(true);
  file.bytes.resize(file.bytes.size() - 50);  // the last record is cut short
  EXPECT_EQ(ahead.ReadRecord(record, 100, Offset(1000), file.Reader()), 50u);
}

}  // namespace
}  // namespace fidora
