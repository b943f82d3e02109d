// Net_Dispatch and the top-level command table. The receive handler calls Net_Dispatch once
// per complete request; the handler of the request's first word fills the reply, which then
// goes back over the record's connection as one line or as one block.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "protocol/rx_tx.h"

namespace fidora {

// A command handler gets its own copy of the record (sharing the lists with the slot), except
// handlers registered `by_reference`, which see the dispatcher's record (FILE sets the file name
// to send after the reply).
using TCommandHandler = std::function<void(TRxTx& rx)>;

// The words of the command table, in table order.
const std::vector<std::string_view>& CommandWords();

// Installs the handler of a word of the command table (a family, when its module exists).
// Words outside the table are refused with std::invalid_argument. A word without a handler is
// answered like an unknown word.
void SetCommandHandler(std::string_view word, TCommandHandler handler, bool by_reference = false);

// Dispatches one request of `rx` (its Request lines are filled). An error escaping the handler
// ends the dispatch: nothing is sent, no OUT record is logged, and the error goes to the
// application's error handler (application_errors.h) under the event name
// Net_Dispatch "<the request's first line>" from <peer address>.
void Net_Dispatch(TRxTx& rx);

// The bytes of a reply: "" for none, the line and CR LF for one, a block for more.
std::string EncodeReply(const TLines& reply);
// The same, appended to `out`.
void AppendEncodedReply(const TLines& reply, std::string& out);

}  // namespace fidora
