// TRxTx: one connection's request record. Copies share the request and reply lists, the stop
// watch and the parser (they live as long as the slot that made them) but have their own
// connection, peer address, line cursor and file name.
#pragma once

#include <memory>
#include <string>

#include "protocol/awk_parser.h"
#include "protocol/connection.h"
#include "protocol/request_lines.h"
#include "protocol/stop_watch.h"
#include "protocol/text_lines.h"

namespace fidora {

class TRxTx {
 public:
  // A blank record: no connection, empty lists of its own.
  TRxTx();

  std::shared_ptr<TConnection> Socket;  // where the reply goes; none in a blank record
  std::string PeerAddress;              // at most 20 characters
  int LineIndex = 0;
  std::string SendFileName;

  TRequestLines& Request() const { return parts_->request; }
  TLines& Reply() const { return parts_->reply; }
  TStopWatch& StopWatch() const { return parts_->stop_watch; }
  TAwkParser& Parser() const { return parts_->parser; }

 private:
  struct Parts {
    TRequestLines request;
    TLines reply;
    TStopWatch stop_watch;
    TAwkParser parser;
  };
  std::shared_ptr<Parts> parts_;
};

// Request helpers.
// The line at LineIndex, trimmed; empty when the cursor is outside the request.
std::string CurrentLine(const TRxTx& rx);
// Moves the cursor to the next non-blank line and returns it trimmed; at the end returns
// empty text with LineIndex equal to the number of lines.
std::string NextLine(TRxTx& rx);
// Index of the first line beginning with `prefix`, searched from the cursor down, then from the
// top; moves the cursor there. -1 (cursor unchanged) when none matches or the prefix is empty.
int FindLine(TRxTx& rx, std::string_view prefix);

// Reply helpers; none adds anything to a record without a connection.
void AddReply(TRxTx& rx, std::string_view text);  // CR LF inside becomes "<br>"
void ReplyOK(TRxTx& rx);                          // stops the stop watch
void ReplyUnknownCommand(TRxTx& rx, std::string_view word);
// Sends "PROGRESS" lines to the record's connection at once and shows the text to the operator.
void SendProgress(const TRxTx* rx, std::string_view text);

}  // namespace fidora
