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

}  // namespace fidora
