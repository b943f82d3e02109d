// The transaction log "tx.log" in the current directory: every request and reply while it is
// switched on (the operator's "Log Transactions"; off at every start).
#pragma once

#include <string_view>

#include "protocol/request_lines.h"
#include "protocol/text_lines.h"

namespace fidora {

bool TransactionLogEnabled();
void SetTransactionLogEnabled(bool enabled);

// Appends the label, CR LF, every line with CR LF, and one more CR LF. Does nothing while the
// log is switched off. A log that cannot be written goes to the application's error handler;
// the caller carries on.
void LogTransaction(const TLines& lines, std::string_view label);
void LogTransaction(const TRequestLines& lines, std::string_view label);

}  // namespace fidora
