#include "protocol/rx_tx.h"

#include "protocol/field_helpers.h"
#include "protocol/operator_view.h"

namespace fidora {

TRxTx::TRxTx() : parts_(std::make_shared<Parts>()) {}

std::string CurrentLine(const TRxTx& rx) {
  const TRequestLines& lines = rx.Request();
  if (rx.LineIndex < 0 || rx.LineIndex >= lines.Count()) return {};
  return Trim(lines.View(static_cast<size_t>(rx.LineIndex)));
}

std::string NextLine(TRxTx& rx) {
  const TRequestLines& lines = rx.Request();
  if (rx.LineIndex < -1) rx.LineIndex = -1;
  while (++rx.LineIndex < lines.Count()) {
    if (!IsBlank(lines.View(static_cast<size_t>(rx.LineIndex)))) return CurrentLine(rx);
  }
  rx.LineIndex = lines.Count();
  return {};
}

int FindLine(TRxTx& rx, std::string_view prefix) {
  if (prefix.empty()) return -1;
  const TRequestLines& lines = rx.Request();
  auto matches = [&](int i) {
    return lines.View(static_cast<size_t>(i)).substr(0, prefix.size()) == prefix;
  };
  for (int i = rx.LineIndex < 0 ? 0 : rx.LineIndex; i < lines.Count(); ++i)
    if (matches(i)) return rx.LineIndex = i;
  for (int i = 0; i < lines.Count(); ++i)
    if (matches(i)) return rx.LineIndex = i;
  return -1;
}

void AddReply(TRxTx& rx, std::string_view text) {
  if (!rx.Socket) return;
  std::string line;
  line.reserve(text.size());
  size_t start = 0;
  for (size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", start)) {
    line.append(text.substr(start, at - start)).append("<br>");
    start = at + 2;
  }
  line.append(text.substr(start));
  rx.Reply().push_back(std::move(line));
}

void ReplyOK(TRxTx& rx) {
  rx.StopWatch().Stop();
  if (!rx.Socket) return;
  rx.Reply().push_back("STAT\xA6OK\xA6" + rx.StopWatch().ElapsedMilliseconds());
}

void ReplyUnknownCommand(TRxTx& rx, std::string_view word) {
  if (!rx.Socket) return;
  rx.Reply().push_back("STAT\xA6Unknown Command - \"" + std::string(word) + "\"");
}

void SendProgress(const TRxTx* rx, std::string_view text) {
  if (rx && rx->Socket) {
    rx->Socket->WriteText("PROGRESS\xA6" + std::string(text) + "\r\n");
    rx->Socket->Flush();  // at once, ahead of the reply
  }
  Operator().ShowProgress(text);
}

}  // namespace fidora
