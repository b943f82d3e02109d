// The frame every command handler of the two data modules runs its work in (the request's
// shape is checked before, outside the frame):
//  - the table-name locks of TableLocks() are entered before the work and left after it, on
//    every path;
//  - an error escaping the work becomes the single status line
//    "STAT¦" + owner + "." + handler name + " - " + the error's message (no OK line follows);
//  - the frame's datasets are closed and their filtering switched off once the work is over,
//    on every path (a record in edit mode is dropped, so nothing half-done is posted).
//
// A handler adds its reply lines and ReplyOK itself. Adding a handler:
//   void TSDM::SHOPPER_Foo(TRxTx& rx) {
//     if (<bad shape>) { AddReply(rx, "STAT¦TSDM.SHOPPER_Foo - Syntax Error ..."); return; }
//     RunInFrame(rx, {"TSDM", "SHOPPER_Foo", TableNames({&tTracker}), {&tTracker}}, [&] {
//       tTracker.Open(); ... AddReply(rx, ...); tTracker.Close(); ReplyOK(rx);
//     });
//   }
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/rx_tx.h"

namespace fidora {

class TXbDataSet;

struct THandlerFrame {
  std::string_view owner;  // "TSDM", "TDM"
  std::string_view name;   // the handler's name as its error line shows it
  std::string locks;       // "¦"-separated table names; empty for none
  std::vector<TXbDataSet*> tables;
  // How an error leaves the frame: as the status line, or on to the caller (the handlers
  // whose errors reach the application's error handler, so that no reply is sent).
  bool reply_errors = true;
};

// The tables' names joined by "¦", as the frame's locks: "TRACKER.DBF¦TRACKLOG.DBF".
std::string TableNames(std::initializer_list<const TXbDataSet*> tables);

// Runs `work` in the frame. True when the work ended without an error.
bool RunInFrame(TRxTx& rx, const THandlerFrame& frame, const std::function<void()>& work);

// "STAT¦" + owner + "." + name + " - " + message.
std::string HandlerErrorLine(std::string_view owner, std::string_view name,
                             std::string_view message);

}  // namespace fidora
