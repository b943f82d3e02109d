// TNetConnection: a connection as the connection layer sees it (the socket adapter makes them;
// tests fake them). Adds receiving and closing to what replies need.
#pragma once

#include <cstdint>

#include "protocol/connection.h"

namespace fidora {

class TNetConnection : public TConnection {
 public:
  // Received bytes waiting to be read.
  virtual int BytesAvailable() const = 0;
  // Reads up to n waiting bytes into buffer; returns the number read.
  virtual int ReadBytes(char* buffer, int n) = 0;
  // Closes the connection once the current event has finished; the disconnect event follows.
  virtual void CloseConnection() = 0;
  // Bytes handed over for sending that have not left yet (a queued stream counts in full).
  virtual int64_t UnsentBytes() const = 0;
};

}  // namespace fidora
