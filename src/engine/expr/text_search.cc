#include "engine/expr/text_search.h"

namespace fidora {

TxTextSearch::TxTextSearch(std::string_view needle) : needle_(needle), fallback_(needle.size(), 0) {
  size_t k = 0;
  for (size_t i = 1; i < needle_.size(); ++i) {
    while (k > 0 && needle_[i] != needle_[k]) k = fallback_[k - 1];
    if (needle_[i] == needle_[k]) ++k;
    fallback_[i] = k;
  }
}

size_t TxTextSearch::Find(std::string_view text) const {
  size_t found = std::string_view::npos;
  ForEach(text, false, [&](size_t pos) {
    found = pos;
    return false;
  });
  return found;
}

}  // namespace fidora
