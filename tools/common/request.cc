#include "common/request.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

#include "protocol/cp1252.h"

namespace fidora {
namespace {

std::string_view Trimmed(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  return std::equal(text.begin(), text.end(), upper.begin(), upper.end(), [](char a, char b) {
    return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
  });
}

}  // namespace

std::string TextRequest(std::string_view line) {
  std::string out(line);
  out += "\r\n";
  return out;
}

std::string BlockRequest(const std::vector<std::string>& lines) {
  size_t length = 0;
  for (const auto& line : lines) length += line.size() + 2;
  std::string out = fmt::format(
      "B\xA6{}\xA6"
      "C\r\n",
      length);
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> SplitInputLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

std::optional<std::string> MakeRequest(std::string_view argument, std::istream& input,
                                       std::string& error) {
  if (argument == "-") {
    const std::string text{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
    const auto converted = ToCp1252(text, error);
    if (!converted) return std::nullopt;
    const auto lines = SplitInputLines(*converted);
    if (lines.empty()) {
      error = "no request lines on standard input";
      return std::nullopt;
    }
    return BlockRequest(lines);
  }
  const auto line = ToCp1252(argument, error);
  if (!line) return std::nullopt;
  if (line->empty()) {
    error = "the request line is empty";
    return std::nullopt;
  }
  if (line->find_first_of("\r\n") != std::string::npos) {
    error = "the request line contains a line end; use - to send several lines as a block";
    return std::nullopt;
  }
  return TextRequest(*line);
}

bool IsFileGet(std::string_view request) {
  if (request.substr(0, 2) == "B\xA6") {
    const size_t lf = request.find('\n');
    request.remove_prefix(lf == std::string_view::npos ? request.size() : lf + 1);
  }
  std::string_view line = Trimmed(request.substr(0, request.find_first_of("\r\n")));
  const size_t bar = line.find('\xA6');
  if (bar == std::string_view::npos || !EqualsUpper(line.substr(0, bar), "FILE")) return false;
  line.remove_prefix(bar + 1);
  return EqualsUpper(Trimmed(line.substr(0, line.find('\xA6'))), "GET");
}

}  // namespace fidora
