#include "engine/expr/text_compare.h"

#include <string>

#include "engine/expr/exp_text.h"
#include "engine/expr/text_search.h"

namespace fidora {

bool WildcardMatch(std::string_view pattern, std::string_view text, char any, char one) {
  if (pattern.empty() || text.size() < pattern.size()) {
    return pattern.size() == 1 && pattern[0] == any;
  }
  if (pattern.size() == 1 && pattern[0] == any) return true;
  const bool leadingAny = pattern.front() == any;
  if (leadingAny) pattern.remove_prefix(1);
  if (!pattern.empty() && pattern.back() == any) pattern.remove_suffix(1);
  if (leadingAny)
    return pattern.empty() || TxTextSearch(pattern).Find(text) != std::string_view::npos;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != one && pattern[i] != text[i]) return false;
  }
  return true;
}

int CompareExpTexts(std::string_view left, std::string_view right,
                    const TxCompareSettings& settings) {
  if (left.empty() || right.empty()) {
    return left.empty() && right.empty() ? 0 : (left.empty() ? -1 : 1);
  }
  std::string_view l = TrimRight(left), r = TrimRight(right);
  std::string upperL, upperR;
  if (settings.caseInsensitive) {
    upperL = UpperText(l);
    upperR = UpperText(r);
    l = upperL;
    r = upperR;
  }
  if (settings.partialCompare && !r.empty() &&
      (r.front() == settings.wildcardAny || r.back() == settings.wildcardAny)) {
    return WildcardMatch(r, l, settings.wildcardAny, settings.wildcardOne) ? 0 : -1;
  }
  const int c = l.compare(r);  // byte order: char_traits<char> compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace fidora
