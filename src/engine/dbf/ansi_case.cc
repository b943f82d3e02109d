#include "engine/dbf/ansi_case.h"

namespace fidora {

char AnsiUpper(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  switch (u) {
    case 0x9A:
      return static_cast<char>(0x8A);
    case 0x9C:
      return static_cast<char>(0x8C);
    case 0x9E:
      return static_cast<char>(0x8E);
    case 0xFF:
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

char AnsiLower(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 32);
  switch (u) {
    case 0x8A:
      return static_cast<char>(0x9A);
    case 0x8C:
      return static_cast<char>(0x9C);
    case 0x8E:
      return static_cast<char>(0x9E);
    case 0x9F:
      return static_cast<char>(0xFF);
    default:
      return c;
  }
}

namespace {
// AnsiUpper of every byte, for texts folded a byte at a time.
struct UpperTable {
  char map[256];
  UpperTable() {
    for (int c = 0; c < 256; ++c) map[c] = AnsiUpper(static_cast<char>(c));
  }
};
const UpperTable& Uppers() {
  static const UpperTable table;
  return table;
}
}  // namespace

void AppendAnsiUpper(std::string& out, std::string_view text) {
  const char* map = Uppers().map;
  const size_t at = out.size();
  out.resize(at + text.size());
  for (size_t i = 0; i < text.size(); ++i) out[at + i] = map[static_cast<unsigned char>(text[i])];
}

std::string AnsiUpperCase(std::string_view text) {
  std::string out;
  AppendAnsiUpper(out, text);
  return out;
}

std::string AnsiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AnsiLower(c);
  return out;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AnsiUpper(a[i]) != AnsiUpper(b[i])) return false;
  return true;
}

}  // namespace fidora
