#include "protocol/text_lines.h"

#include "protocol/field_helpers.h"

namespace fidora {

std::optional<std::string_view> NamedValue(std::string_view line, std::string_view upper_name) {
  const size_t equals = line.find('=');
  if (equals != upper_name.size() || UpperCase(line.substr(0, equals)) != upper_name)
    return std::nullopt;
  return line.substr(equals + 1);
}

std::string TLines::Value(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (const std::string& line : *this)
    if (const auto value = NamedValue(line, wanted)) return std::string(*value);
  return {};
}

}  // namespace fidora
