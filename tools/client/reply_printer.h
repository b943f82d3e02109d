// Prints what the server sends, line by line, for a person at a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/reply_reader.h"

namespace fidora {

// Writes each progress line as soon as it is complete and each reply line, converted from
// Windows-1252 to UTF-8 with control characters shown as "\xNN", each followed by LF.
class ReplyPrinter : public ReplyListener {
 public:
  explicit ReplyPrinter(std::FILE* out) : out_(out) {}

  void OnProgress(std::string_view piece, bool line_end) override;
  void OnReplyLine(std::string_view piece, bool line_end) override;

 private:
  void Collect(std::string_view piece, bool line_end, bool flush);

  std::FILE* out_;
  std::string line_;
  std::string utf8_;
};

}  // namespace fidora
