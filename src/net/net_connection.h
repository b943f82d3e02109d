// TNetConnection: a connection as the connection layer sees it (the socket adapter makes them;
// tests fake them). Adds receiving, closing and the sizes the limits look at to what replies
// need.
#pragma once

#include <cstdint>

#include "protocol/connection.h"

namespace fidora {

class TNetConnection : public TConnection {
 public:
  // Reads up to n received bytes into buffer; returns the number read, 0 when none are
  // waiting (or the peer has ended its input, or the connection failed: the adapter sees to
  // those after the event).
  virtual int ReadBytes(char* buffer, int n) = 0;
  // Like Flush, but the bytes may wait until the end of the current round of socket events,
  // where the replies of every connection served in it leave together.
  virtual void FlushLater() { Flush(); }
  // Closes the connection once the current event has finished; the disconnect event follows.
  virtual void CloseConnection() = 0;
  // Bytes handed over for sending that have not left yet (a file counts in full).
  virtual int64_t UnsentBytes() const = 0;
  // Of those, the bytes held in memory.
  virtual int64_t BufferedBytes() const = 0;
  // Bytes that have left since the connection was made.
  virtual uint64_t BytesSent() const = 0;
};

}  // namespace fidora
