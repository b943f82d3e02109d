#include "protocol/cp1252.h"

#include <fmt/format.h>

#include <array>
#include <cstdint>

namespace fidora {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the page equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t CodePointOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one strict UTF-8 sequence at `pos` (no overlong forms, no surrogates);
// advances `pos` past it. Returns no value when the bytes are not UTF-8.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t extra;
  char32_t cp;
  char32_t minimum;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (pos + extra >= text.size()) return std::nullopt;
  for (size_t i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  pos += extra + 1;
  return cp;
}

std::optional<unsigned char> Cp1252ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

void AppendCp1252AsUtf8(std::string_view cp1252, std::string& out) {
  for (const char c : cp1252) AppendUtf8(CodePointOf(static_cast<unsigned char>(c)), out);
}

void AppendCp1252ForTerminal(std::string_view cp1252, std::string& out) {
  for (const char c : cp1252) {
    const auto byte = static_cast<unsigned char>(c);
    const char32_t cp = CodePointOf(byte);
    if ((cp < 0x20 && cp != '\t') || (cp >= 0x7F && cp <= 0x9F)) {
      out += fmt::format("\\x{:02X}", byte);
    } else {
      AppendUtf8(cp, out);
    }
  }
}

std::optional<std::string> ToCp1252(std::string_view text, std::string& error) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto cp = DecodeUtf8(text, pos);
    if (!cp) return std::string(text);  // not UTF-8: already single-byte text
    const auto byte = Cp1252ByteOf(*cp);
    if (!byte) {
      // Keep checking: text that turns out not to be UTF-8 later on is passed through whole.
      size_t rest = pos;
      while (rest < text.size() && DecodeUtf8(text, rest)) {
      }
      if (rest < text.size()) return std::string(text);
      error = fmt::format("the character U+{:04X} has no Windows-1252 byte",
                          static_cast<uint32_t>(*cp));
      return std::nullopt;
    }
    out += static_cast<char>(*byte);
  }
  return out;
}

}  // namespace fidora
