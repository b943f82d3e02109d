#include "protocol/request_lines.h"

#include <algorithm>
#include <stdexcept>

#include "protocol/field_helpers.h"

namespace fidora {

TRequestLines::TRequestLines(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) AddLine(line);
}

TRequestLines::TRequestLines(const TLines& lines) {
  for (const std::string& line : lines) AddLine(line);
}

TRequestLines& TRequestLines::operator=(std::initializer_list<std::string_view> lines) {
  clear();
  for (std::string_view line : lines) AddLine(line);
  return *this;
}

TRequestLines& TRequestLines::operator=(const TLines& lines) {
  clear();
  for (const std::string& line : lines) AddLine(line);
  return *this;
}

std::string TRequestLines::Value(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (size_t i = 0; i < size(); ++i)
    if (const auto value = NamedValue(View(i), wanted)) return std::string(*value);
  return {};
}

TLines TRequestLines::ToLines() const {
  TLines lines;
  lines.reserve(size());
  for (size_t i = 0; i < size(); ++i) lines.emplace_back(View(i));
  return lines;
}

void TRequestLines::clear() {
  text_.clear();
  ends_.clear();
}

void TRequestLines::Release() {
  std::string().swap(text_);
  std::vector<uint32_t>().swap(ends_);
}

void TRequestLines::AddLine(std::string_view line) {
  text_.append(line);
  CloseLine();
}

void TRequestLines::CloseLine() {
  if (text_.size() > UINT32_MAX) throw std::length_error("request lines beyond 4 GiB");
  ends_.push_back(static_cast<uint32_t>(text_.size()));
}

bool operator==(const TRequestLines& a, const TRequestLines& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a.View(i) != b.View(i)) return false;
  return true;
}

}  // namespace fidora
