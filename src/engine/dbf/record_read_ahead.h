// TRecordReadAhead: whole records read in blocks while a table is stepped through in record
// order, so that a scan costs one read per block instead of one per record. The table handler
// owns it and says when it is on; the table file reads its records through it and tells it of
// every record it writes, so the block never holds bytes older than this process wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace fidora {

class TRecordReadAhead {
 public:
  static constexpr size_t kBlockBytes = 32768;
  // The blocks of a pass over the whole table (an index build): few reads for any size.
  static constexpr size_t kPassBlockBytes = 1 << 20;
  // Reads count bytes at offset from the file; returns how many were read.
  using TFileRead = std::function<size_t(void* buffer, size_t count, uint64_t offset)>;

  bool On() const { return on_; }
  // Switching on or off drops the block either way; block_bytes is the size of the blocks
  // read from now on (rounded down to whole records, at least one).
  void SetOn(bool on, size_t block_bytes = kBlockBytes);
  void Drop() { size_ = 0; }

  // One record of `length` bytes at offset, from the block or by refilling it from that
  // record on with as many whole records as fit (at least one). Returns the bytes read.
  size_t ReadRecord(void* buffer, uint32_t length, uint64_t offset, const TFileRead& read);
  // Keeps the block equal to the file after count bytes were written at offset.
  void Written(const void* buffer, size_t count, uint64_t offset);

 private:
  bool on_ = false;
  size_t block_bytes_ = kBlockBytes;
  std::vector<char> block_;
  uint64_t start_ = 0;
  size_t size_ = 0;
};

}  // namespace fidora
