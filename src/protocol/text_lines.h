// TLines: an ordered list of text lines, with the NAME=value lookup that field lists use.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

class TLines : public std::vector<std::string> {
 public:
  using std::vector<std::string>::vector;

  // The value of the first line of the form NAME=value whose name equals `name` without
  // regard to case; empty when there is none.
  std::string Value(std::string_view name) const;
  int Count() const { return static_cast<int>(size()); }
};

// The value of `line` when it has the form NAME=value and NAME, upper-cased, is `upper_name`.
std::optional<std::string_view> NamedValue(std::string_view line, std::string_view upper_name);

}  // namespace fidora
