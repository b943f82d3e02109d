// The bounds the connection layer keeps every peer within.
#pragma once

#include <chrono>
#include <cstdint>

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
};

}  // namespace fidora
