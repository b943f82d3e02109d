#include "engine/dbf/memo_file.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/dbf/byte_order.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

constexpr char kEnd = 0x1A;

uint32_t BlocksFor(uint64_t bytes) {
  return static_cast<uint32_t>((bytes + TMemoFile::kBlockSize - 1) / TMemoFile::kBlockSize);
}

}  // namespace

TMemoFile::TMemoFile(const std::string& path, bool shared, bool read_write, FileIo& io)
    : TDiskFile(path, shared, read_write, io) {}

void TMemoFile::CreateMemo(const std::string& base_name, bool end_byte) {
  Create();
  std::vector<char> block(kBlockSize + (end_byte ? 1 : 0), 0);
  block[0] = 1;
  std::memcpy(block.data() + 8, base_name.data(),
              std::min<size_t>(base_name.size(), kBlockSize - 8));
  if (end_byte) block[kBlockSize] = kEnd;
  Write(block.data(), block.size(), 0);
}

uint32_t TMemoFile::NextFreeBlock() {
  uint8_t b[4];
  if (Read(b, 4, 0) != 4)
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  uint32_t next = GetU32(b);
  if (next == 0) {
    // A damaged header would make the next memo overwrite block 0: start after the file.
    next = std::max<uint32_t>(1, BlocksFor(Size()));
  }
  return next;
}

void TMemoFile::WriteNextFree(uint32_t block) {
  uint8_t b[4];
  PutU32(b, block);
  Write(b, 4, 0);
}

uint32_t TMemoFile::MemoLength(uint32_t block) {
  if (block == 0) return 0;
  char buf[kBlockSize];
  uint32_t length = 0;
  for (uint64_t b = block; length < kMaxRead; ++b) {
    const size_t got = Read(buf, kBlockSize, b * kBlockSize);
    const char* end = std::find(buf, buf + got, kEnd);
    length += static_cast<uint32_t>(end - buf);
    if (end != buf + got || got < kBlockSize) break;
  }
  return std::min(length, kMaxRead);
}

size_t TMemoFile::ReadMemo(uint32_t block, char* buffer, size_t size) {
  const size_t count = std::min<size_t>(size, MemoLength(block));
  if (count == 0) return 0;
  return Read(buffer, count, uint64_t{block} * kBlockSize);
}

std::string TMemoFile::ReadMemo(uint32_t block) {
  std::string text(MemoLength(block), '\0');
  text.resize(ReadMemo(block, text.data(), text.size()));
  return text;
}

uint32_t TMemoFile::WriteMemo(uint32_t block, std::string_view text) {
  if (text.empty() && block == 0) return 0;
  const TLockRange lock = MemoLockRange(protocol_);
  if (shared()) OsLockRetried(lock);
  try {
    const uint32_t old_blocks = block > 0 ? BlocksFor(MemoLength(block)) : 0;
    const uint32_t needed = BlocksFor(text.size() + 2);
    if (text.empty() && old_blocks == 0) {
      // Nothing stored and nothing to store: no block is claimed for the end bytes alone.
    } else {
      if (block == 0 || needed > old_blocks) {
        block = NextFreeBlock();
        WriteNextFree(block + needed);
      }
      std::vector<char> data(size_t{needed} * kBlockSize, 0);
      std::memcpy(data.data(), text.data(), text.size());
      data[text.size()] = kEnd;
      data[text.size() + 1] = kEnd;
      Write(data.data(), data.size(), uint64_t{block} * kBlockSize);
    }
  } catch (...) {
    if (shared()) OsUnlock(lock);
    throw;
  }
  if (shared()) OsUnlock(lock);
  return text.empty() ? 0 : block;
}

void TMemoFile::Reset() {
  if (!read_write() || !HasFullAccess())
    throw EXbError(XbErrorKind::kAccessDenied,
                   fmt::sprintf("%s requires full access to file %s", "Truncate", path()));
  WriteNextFree(1);
  Truncate(kBlockSize);
}

void TMemoFile::Rename(const std::string& new_name) {
  TDiskFile::Rename(new_name);
  if (!is_open() || !read_write()) return;
  char name[8] = {};
  const std::string base = FileBaseName(path());
  std::memcpy(name, base.data(), std::min<size_t>(base.size(), sizeof name));
  Write(name, sizeof name, 8);
}

}  // namespace fidora
