#include "client/reply_printer.h"

#include "protocol/cp1252.h"

namespace fidora {

void ReplyPrinter::OnProgress(std::string_view piece, bool line_end) {
  Collect(piece, line_end, true);
}

void ReplyPrinter::OnReplyLine(std::string_view piece, bool line_end) {
  Collect(piece, line_end, false);
}

void ReplyPrinter::Collect(std::string_view piece, bool line_end, bool flush) {
  line_ += piece;
  if (!line_end) return;
  utf8_.clear();
  AppendCp1252ForTerminal(line_, utf8_);
  utf8_ += '\n';
  std::fwrite(utf8_.data(), 1, utf8_.size(), out_);
  if (flush) std::fflush(out_);
  line_.clear();
}

}  // namespace fidora
