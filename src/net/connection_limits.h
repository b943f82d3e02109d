// The bounds the connection layer keeps every peer within, and who may be a peer at all.
#pragma once

#include <chrono>
#include <cstdint>

#include "net/terminal_access.h"

namespace fidora {

struct TConnectionLimits {
  // Bytes taken from a connection per receive event; the rest waits for the next one, after
  // the other connections had their turn.
  int max_read = 32767;
  // Unread bytes (an unfinished request, requests waiting) a connection may leave with the
  // server; a peer that passes it is disconnected.
  int64_t max_unread = int64_t{64} << 20;
  // Replies a connection has not taken yet; above this its next requests wait until the
  // network has taken them, so a peer that never reads cannot make replies pile up.
  int64_t max_unsent = int64_t{1} << 20;
  // Unread and queued bytes of all connections together; when they pass it, the connections
  // holding the most are closed until the rest fits.
  int64_t memory_budget = int64_t{256} << 20;
  // A connection with an unfinished request or replies waiting that makes no progress for
  // this long is closed.
  std::chrono::milliseconds stall_timeout{60'000};
  // What counts as progress for a long request or a long reply besides finishing it.
  int64_t progress_bytes = 64 * 1024;
  // The local IPv4 address both listeners listen on (host order); 0 is every address.
  uint32_t listen_address = 0;
  // The machines that may connect; a connection from any other is closed at once.
  TTerminalAccess terminals;
};

}  // namespace fidora
