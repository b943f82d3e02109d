#include "protocol/text_lines.h"

#include "protocol/field_helpers.h"

namespace fidora {

std::string TLines::Value(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (const std::string& line : *this) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (UpperCase(std::string_view(line).substr(0, equals)) == wanted)
      return line.substr(equals + 1);
  }
  return {};
}

}  // namespace fidora
