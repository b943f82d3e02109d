#include "protocol/awk_parser.h"

namespace fidora {

TAwkParser::TAwkParser(char separator, std::string_view line) : Separator(separator) {
  SetLine(line);
}

void TAwkParser::SetLine(std::string_view line) {
  line_.assign(line);
  starts_.assign(1, 0);
  lengths_.assign(1, 0);
  bool inside = false;
  for (size_t i = 0; i < line_.size(); ++i) {
    const int position = static_cast<int>(i) + 1;
    if (line_[i] == Separator) {
      if (!inside) starts_.back() = position;  // an empty field, marked where it ends
      starts_.push_back(0);
      lengths_.push_back(0);
      inside = false;
    } else if (!inside) {
      starts_.back() = position;
      lengths_.back() = 1;
      inside = true;
    } else {
      ++lengths_.back();
    }
  }
}

std::string TAwkParser::Field(int n) const {
  if (n == 0) return line_;
  if (n < 0 || n > FieldCount()) return {};
  const int start = starts_[n - 1];
  const int length = lengths_[n - 1];
  if (start == 0 || length == 0) return {};
  return line_.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
}

}  // namespace fidora
