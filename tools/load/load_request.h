// The request a load run sends: the same bytes every time, or bytes in which every "{n}" is
// replaced by a number that steps through a range, one step per request sent (A, A+1, ..., B,
// then A again), so that a run touches many records instead of one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fidora {

inline constexpr std::string_view kNumberMark = "{n}";

class LoadRequest {
 public:
  // `bytes` as MakeRequest built them; `block` when they are a block request, whose length
  // header is written anew for every number.
  LoadRequest(std::string bytes, bool block);

  bool HasNumber() const { return parts_.size() > 1; }
  // Sets the range the numbers step through (first <= last).
  void SetRange(long long first, long long last);

  // The bytes of the next request, written into `out` (its memory is reused).
  void Next(std::string& out);

 private:
  bool block_;
  std::string fixed_;               // without {n}: the whole request
  std::vector<std::string> parts_;  // the text (block: the payload) split at {n}
  long long first_ = 0, last_ = 0, next_ = 0;
};

}  // namespace fidora
