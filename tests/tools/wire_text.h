// Protocol text in tests, written readably: "|" stands for the field separator, byte 166
// ("¦" in Windows-1252). "STAT|OK|0\r\n"_w is the bytes of a success line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace fidora::test {

inline std::string operator""_w(const char* text, std::size_t length) {
  std::string bytes(text, length);
  std::replace(bytes.begin(), bytes.end(), '|', '\xA6');
  return bytes;
}

}  // namespace fidora::test
