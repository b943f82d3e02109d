// The receive handler shared by both listeners: moves waiting bytes into the connection's slot
// buffer, cuts complete requests out of it and dispatches them one after another.
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

#include "net/net_connection.h"
#include "net/socket_list.h"
#include "protocol/text_lines.h"

namespace fidora {

using TDispatchFunction = std::function<void(TRxTx& rx)>;

struct TReceiveLimits {
  int max_read = 32767;           // bytes taken from the connection per event
  int64_t max_unread = 64 << 20;  // unread bytes a connection may leave in its buffer
  // Replies a connection has not taken yet; above this its next requests wait (in the buffer)
  // until the network has taken them, so a peer that never reads cannot make replies pile up.
  int64_t max_unsent = 1 << 20;
};

// The receive event of `connection`. Requests are handed to `dispatch` (Net_Dispatch in the
// server). An error escaping a dispatch goes to the application's error handler and the next
// request of the buffer is taken. A connection whose unread bytes pass the limit loses them,
// is closed, and the status log says so. Returns false when requests were left waiting because
// the connection's unsent replies passed max_unsent: the caller raises the event again once
// they have gone (with or without new bytes).
bool ReceiveEvent(TSocketList& list, const std::shared_ptr<TNetConnection>& connection,
                  const TDispatchFunction& dispatch, const TReceiveLimits& limits = {});

// The payload length of a block header line, or -1 when it has none that is usable.
int64_t BlockLength(std::string_view header);

// A block payload split into lines.
TLines SplitPayload(std::string_view payload);

}  // namespace fidora
