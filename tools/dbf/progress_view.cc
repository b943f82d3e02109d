#include "tools/dbf/progress_view.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>

#include "engine/dbf/text_trim.h"

namespace fidora::tool {

namespace {
constexpr int kBarWidth = 30;
}  // namespace

std::string ProgressBar(std::string_view text, int width) {
  if (text.empty() || text.back() != '%') return std::string(text);
  size_t digits = text.size() - 1;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(text[digits - 1]))) --digits;
  if (digits == text.size() - 1) return std::string(text);
  const int percent = std::clamp(std::stoi(std::string(text.substr(digits))), 0, 100);
  std::string_view label = TrimBoth(text.substr(0, digits));
  if (label.size() >= 2 && label.substr(label.size() - 2) == " -") label.remove_suffix(2);
  if (label.size() == 1 && label[0] == '-') label = {};
  const int filled = percent * width / 100;
  return fmt::format("{}{}[{}{}] {:3}%", label, label.empty() ? "" : " ",
                     std::string(static_cast<size_t>(filled), '#'),
                     std::string(static_cast<size_t>(width - filled), ' '), percent);
}

TProgressView::TProgressView(std::FILE* out) : out_(out), bar_(::isatty(::fileno(out)) == 1) {}

TProgressView::~TProgressView() {
  EndBar();
}

void TProgressView::Progress(std::string_view text) {
  if (!bar_ || text.empty() || text.front() != '+') {
    Line(text);
    return;
  }
  fmt::print(out_, "\r\033[K{}", ProgressBar(text.substr(1), kBarWidth));
  std::fflush(out_);
  bar_shown_ = true;
}

void TProgressView::Message(std::string_view text, std::string_view caption) {
  Line(fmt::format("{}: {}", caption, text));
}

void TProgressView::Log(std::string_view text) {
  Line(text);
}

void TProgressView::Line(std::string_view text) {
  EndBar();
  fmt::print(out_, "{}\n", text);
  std::fflush(out_);
}

void TProgressView::EndBar() {
  if (!bar_shown_) return;
  fmt::print(out_, "\n");
  bar_shown_ = false;
}

}  // namespace fidora::tool
