// A file's bytes for tests that check a layout, and little-endian numbers read from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fidora::test {

inline std::vector<uint8_t> FileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

inline uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8;
}

}  // namespace fidora::test
