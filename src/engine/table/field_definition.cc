#include "engine/table/field_definition.h"

#include <charconv>

namespace fidora {

namespace {

std::optional<uint32_t> WholeNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<TFieldDefinition> ParseFieldDefinition(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t s1 = line.find(';');
  if (s1 == std::string_view::npos) return std::nullopt;
  const size_t s2 = line.find(';', s1 + 1);
  if (s2 == std::string_view::npos) return std::nullopt;
  const size_t s3 = line.find(';', s2 + 1);
  if (s3 == std::string_view::npos) return std::nullopt;
  TFieldDefinition def;
  std::string_view name = line.substr(0, s1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  if (name.empty()) return std::nullopt;
  def.name = std::string(name);
  const std::string_view type = line.substr(s1 + 1, s2 - s1 - 1);
  if (type.size() != 1 || type[0] == ' ') return std::nullopt;
  def.type = type[0];
  const auto length = WholeNumber(line.substr(s2 + 1, s3 - s2 - 1));
  const auto decimals = WholeNumber(line.substr(s3 + 1, 3));
  if (!length || !decimals) return std::nullopt;
  def.length = *length;
  def.decimals = *decimals;
  return def;
}

}  // namespace fidora
