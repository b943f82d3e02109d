#include "protocol/family_dispatch.h"

#include <string>

#include "protocol/field_helpers.h"

namespace fidora {

namespace {

void ReplyIncomplete(TRxTx& rx, std::string_view line) {
  AddReply(rx, "STAT\xA6Incomplete command after : " + std::string(line));
}

void CallSubCommand(TRxTx& rx, std::span<const TSubCommand> table, const std::string& word) {
  for (const TSubCommand& entry : table) {
    if (entry.word != word || !entry.handler) continue;
    TRxTx copy = rx;
    entry.handler(copy);
    return;
  }
  ReplyUnknownCommand(rx, word);
}

}  // namespace

void DispatchFieldStyle(TRxTx& rx, std::span<const TSubCommand> table) {
  if (rx.Parser().FieldCount() <= 1) {
    ReplyIncomplete(rx, CurrentLine(rx));
    return;
  }
  CallSubCommand(rx, table, rx.Parser().Field(2));
}

void DispatchTokenStyle(TRxTx& rx, std::span<const TSubCommand> table) {
  const std::string first_line = CurrentLine(rx);
  std::string rest = first_line;
  NextFieldU(rest);  // the family word
  if (rest.empty()) {
    rest = NextLine(rx);
    if (rest.empty()) {
      ReplyIncomplete(rx, first_line);
      return;
    }
  }
  CallSubCommand(rx, table, NextFieldU(rest));
}

}  // namespace fidora
