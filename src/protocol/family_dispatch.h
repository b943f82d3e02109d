// The sub-command dispatch of the command families (SHOPPER, CLUB, DBF, ...): a family entry
// picks one handler of its table by the request's sub-command word and calls it with its own
// copy of the record. A family's table is a list of words with their handlers; a word listed
// without a handler is answered like an unknown word.
//
// Field style (SHOPPER, DEBTOR, DBF): the sub-command is field 2 of Parser; with one field
// only the reply is "STAT¦Incomplete command after : " + CurrentLine.
// Token style (CLUB, STOCK, VOUCHER): the sub-command is the field after the family word of
// CurrentLine, or else the first field of the next request line ("CLUB" / "SUMMARY" equals
// "CLUB¦SUMMARY"); the handler's record starts on the line the word came from.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "protocol/rx_tx.h"

namespace fidora {

struct TSubCommand {
  std::string_view word;  // upper case
  std::function<void(TRxTx& rx)> handler;
};

void DispatchFieldStyle(TRxTx& rx, std::span<const TSubCommand> table);
void DispatchTokenStyle(TRxTx& rx, std::span<const TSubCommand> table);

}  // namespace fidora
