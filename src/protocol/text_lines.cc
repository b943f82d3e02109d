#include "protocol/text_lines.h"

#include "protocol/field_helpers.h"

namespace fidora {

std::string TLines::Value(std::string_view name) const {
  const int index = IndexOfName(name);
  if (index < 0) return {};
  const std::string& line = (*this)[static_cast<size_t>(index)];
  return line.substr(line.find('=') + 1);
}

int TLines::IndexOfName(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (size_t i = 0; i < size(); ++i) {
    const std::string& line = (*this)[i];
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (UpperCase(std::string_view(line).substr(0, equals)) == wanted) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace fidora
