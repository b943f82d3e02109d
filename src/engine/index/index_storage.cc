#include "engine/index/index_storage.h"

#include <algorithm>
#include <cstring>

namespace fidora {

size_t TMemoryIndexStorage::Read(uint64_t offset, void* buffer, size_t count) {
  if (offset >= bytes_.size()) return 0;
  const size_t n = std::min<uint64_t>(count, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

void TMemoryIndexStorage::Write(uint64_t offset, const void* buffer, size_t count) {
  if (bytes_.size() < offset + count) bytes_.resize(offset + count, 0);
  std::memcpy(bytes_.data() + offset, buffer, count);
  writes_ += std::max<size_t>(1, count / 1024);
}

}  // namespace fidora
