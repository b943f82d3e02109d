// Trimming of byte texts, shared by every layer. Two kinds exist on purpose: field texts and
// index keys lose trailing blanks only, while request lines and expression texts lose blanks
// and control characters (codes up to 32) alike.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

inline bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Characters with codes up to 32 removed at the end / the start / both ends.
inline std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlankOrControl(s[n - 1])) --n;
  return s.substr(0, n);
}
inline std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlankOrControl(s[i])) ++i;
  return s.substr(i);
}
inline std::string_view TrimBoth(std::string_view s) {
  return TrimLeft(TrimRight(s));
}

// Trailing blanks (byte 32) removed; other control characters stay.
inline std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace fidora
