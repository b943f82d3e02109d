// Records written straight into a table file: the quick way to a large fixture, where appends
// through the engine flush the file once per record.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace fidora::test {

// Adds `count` records after those the header of table `path` counts, then the end-of-file
// mark, and raises the header's record count by `count`. append(i, out) adds the bytes of new
// record i (from 0; the deletion flag first, the table's record length in all) to `out`.
inline void AppendRawRecords(const std::string& path, uint32_t count,
                             const std::function<void(uint32_t i, std::string& out)>& append) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  char header[32];
  f.read(header, 32);
  auto byte = [&](int at) { return static_cast<uint32_t>(static_cast<uint8_t>(header[at])); };
  const uint32_t header_length = byte(8) | byte(9) << 8;
  const uint32_t record_length = byte(10) | byte(11) << 8;
  uint32_t records = 0;
  for (int i = 0; i < 4; ++i) records |= byte(4 + i) << (8 * i);
  f.seekp(header_length + static_cast<std::streamoff>(records) * record_length);
  std::string batch;
  for (uint32_t i = 0; i < count; ++i) {
    append(i, batch);
    if (batch.size() > (1 << 20)) {
      f.write(batch.data(), static_cast<std::streamsize>(batch.size()));
      batch.clear();
    }
  }
  batch += '\x1A';
  f.write(batch.data(), static_cast<std::streamsize>(batch.size()));
  records += count;
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>(records >> (8 * i));
  f.seekp(0);
  f.write(header, 32);
}

}  // namespace fidora::test
