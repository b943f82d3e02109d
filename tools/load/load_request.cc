#include "load/load_request.h"

#include <fmt/format.h>

#include <iterator>

namespace fidora {

LoadRequest::LoadRequest(std::string bytes, bool block) : block_(block) {
  std::string_view text = bytes;
  if (block_) text.remove_prefix(text.find("\r\n") + 2);  // the payload after the header
  for (size_t at = text.find(kNumberMark); at != std::string_view::npos;
       at = text.find(kNumberMark)) {
    parts_.emplace_back(text.substr(0, at));
    text.remove_prefix(at + kNumberMark.size());
  }
  parts_.emplace_back(text);
  fixed_ = std::move(bytes);
}

void LoadRequest::SetRange(long long first, long long last) {
  first_ = next_ = first;
  last_ = last;
}

void LoadRequest::Next(std::string& out) {
  if (!HasNumber()) {
    out = fixed_;
    return;
  }
  const fmt::format_int number(next_);
  next_ = next_ == last_ ? first_ : next_ + 1;
  out.clear();
  if (block_) {
    size_t length = number.size() * (parts_.size() - 1);
    for (const std::string& part : parts_) length += part.size();
    fmt::format_to(std::back_inserter(out),
                   "B\xA6{}\xA6"
                   "C\r\n",
                   length);
  }
  for (size_t i = 0; i < parts_.size(); ++i) {
    if (i > 0) out.append(number.data(), number.size());
    out += parts_[i];
  }
}

}  // namespace fidora
