// A field definition line: name ";" type letter ";" length ";" decimals, as in
// "EXP_DATE;D;8;0". The decimals are the first up to three characters after the third ";".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fidora {

struct TFieldDefinition {
  std::string name;
  char type = 'C';
  uint32_t length = 0;
  uint32_t decimals = 0;
};

// Nothing when the line does not have that form (an empty name, a type of other than one
// letter, a length or decimals that are no whole number).
std::optional<TFieldDefinition> ParseFieldDefinition(std::string_view line);

}  // namespace fidora
