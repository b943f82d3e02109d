// Text helpers of the expression engine. Texts are bytes in Windows-1252; upper and lower case
// follow that code page (ASCII and the Latin-1 letters).
#pragma once

#include <string>
#include <string_view>

#include "engine/dbf/text_trim.h"

namespace fidora {

char UpperChar(char c);
char LowerChar(char c);
std::string UpperText(std::string_view s);
std::string LowerText(std::string_view s);
// Upper-cases the letters a-z only.
std::string UpperAscii(std::string_view s);


inline bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
inline bool IsNameStart(char c) {
  return IsAsciiLetter(c) || c == '_';
}
inline bool IsNameChar(char c) {
  return IsNameStart(c) || IsDigit(c);
}

}  // namespace fidora
