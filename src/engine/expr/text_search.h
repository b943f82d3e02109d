// TxTextSearch: finds a needle in a text in time proportional to both lengths together
// (Knuth-Morris-Pratt), so that "$", AT and STRTRAN stay fast on texts of any content: a
// plain search can take length x length steps (a needle of 30 000 blanks and an "x" in 60 000
// blanks).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fidora {

class TxTextSearch {
 public:
  // The needle must stay alive while the search is used.
  explicit TxTextSearch(std::string_view needle);

  // Position of the first occurrence, npos when none (also for an empty needle).
  size_t Find(std::string_view text) const;

  // Calls visit(position) for every occurrence, left to right, until visit returns false.
  // With overlap, an occurrence may start inside the previous one (AA occurs 3 times in AAAA);
  // without, the next search starts after the end of the previous occurrence (twice).
  template <class Visit>
  void ForEach(std::string_view text, bool overlap, Visit visit) const {
    const size_t m = needle_.size();
    if (m == 0) return;
    size_t matched = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      while (matched > 0 && text[i] != needle_[matched]) matched = fallback_[matched - 1];
      if (text[i] == needle_[matched]) ++matched;
      if (matched == m) {
        if (!visit(i + 1 - m)) return;
        matched = overlap ? fallback_[m - 1] : 0;
      }
    }
  }

 private:
  std::string_view needle_;
  std::vector<size_t> fallback_;  // longest proper border of each prefix of the needle
};

}  // namespace fidora
