#include "engine/dbf/record_read_ahead.h"

#include <algorithm>
#include <cstring>

namespace fidora {

void TRecordReadAhead::SetOn(bool on, size_t block_bytes) {
  on_ = on;
  Drop();
  // A block of another size is made anew (a pass's large block is not kept afterwards).
  if (block_bytes != block_bytes_) std::vector<char>().swap(block_);
  block_bytes_ = block_bytes;
}

size_t TRecordReadAhead::ReadRecord(void* buffer, uint32_t length, uint64_t offset,
                                    const TFileRead& read) {
  if (!on_ || length == 0) return read(buffer, length, offset);
  if (offset < start_ || offset + length > start_ + size_) {
    block_.resize(std::max<size_t>(1, block_bytes_ / length) * length);
    start_ = offset;
    size_ = read(block_.data(), block_.size(), offset);
    size_ -= size_ % length;
    if (length > size_) {
      size_ = 0;
      return read(buffer, length, offset);
    }
  }
  std::memcpy(buffer, block_.data() + (offset - start_), length);
  return length;
}

void TRecordReadAhead::Written(const void* buffer, size_t count, uint64_t offset) {
  if (size_ == 0) return;
  const uint64_t begin = std::max(offset, start_);
  const uint64_t end = std::min(offset + count, start_ + size_);
  if (begin < end)
    std::memcpy(block_.data() + (begin - start_),
                static_cast<const char*>(buffer) + (begin - offset), end - begin);
}

}  // namespace fidora
