// Protocol text in tests, written readably: "|" stands for the field separator, byte 166
// ("¦" in Windows-1252). "STAT|OK|0\r\n"_w is the bytes of a success line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace fidora::test {

// "|" becomes the separator byte.
inline std::string Wire(std::string text) {
  std::replace(text.begin(), text.end(), '|', '\xA6');
  return text;
}

// The separator byte becomes "|".
inline std::string Readable(std::string text) {
  std::replace(text.begin(), text.end(), '\xA6', '|');
  return text;
}

inline std::string operator""_w(const char* text, std::size_t length) {
  return Wire(std::string(text, length));
}

}  // namespace fidora::test
