#include "engine/expr/exp_text.h"

#include "engine/dbf/ansi_case.h"

namespace fidora {

char UpperChar(char c) {
  return AnsiUpper(c);
}
char LowerChar(char c) {
  return AnsiLower(c);
}

std::string UpperText(std::string_view s) {
  return AnsiUpperCase(s);
}
std::string LowerText(std::string_view s) {
  return AnsiLowerCase(s);
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlankOrControl(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlankOrControl(s[i])) ++i;
  return s.substr(i);
}

std::string_view TrimBoth(std::string_view s) {
  return TrimLeft(TrimRight(s));
}

}  // namespace fidora
