// The receive handler shared by both listeners: moves received bytes into the connection's
// slot buffer, cuts complete requests out of it and dispatches them one after another.
//
// Text request: one line ending in CR LF (the two bytes before the LF are dropped). Block
// request: a header line "B" + separator + length + separator + anything, then exactly
// `length` payload bytes, split into lines at CR, LF or CR LF up to a NUL. Lines of one or two
// bytes including the LF are skipped. A header whose length is not a positive decimal number
// is taken as a text request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "net/connection_limits.h"
#include "net/net_connection.h"
#include "net/socket_list.h"

namespace fidora {

using TDispatchFunction = std::function<void(TRxTx& rx)>;

enum class TReceiveResult {
  // Every complete request has been dispatched; what is left is an unfinished one (or none).
  Served,
  // Requests wait because the connection's unsent replies passed max_unsent: the caller raises
  // the event again once the network has taken them (with or without new bytes).
  Throttled,
  // A request of this connection is still being dispatched further up (its handler let
  // events run); that dispatch loop takes the new requests when it returns.
  Busy,
};

// The receive event of `connection`: reads at most max_read bytes and dispatches the
// requests that are complete to `dispatch` (Net_Dispatch in the server), handing their
// replies to the connection's FlushLater at the end. An error escaping a dispatch goes to the
// application's error handler and the next request of the buffer is taken. A connection whose
// unread bytes pass max_unread loses them, is closed, and the status log says so. A connection
// without a slot has its bytes read and dropped.
TReceiveResult ReceiveEvent(TSocketList& list, const std::shared_ptr<TNetConnection>& connection,
                            const TDispatchFunction& dispatch,
                            const TConnectionLimits& limits = {});

// The payload length of a block header line, or -1 when it has none that is usable.
int64_t BlockLength(std::string_view header);

}  // namespace fidora
