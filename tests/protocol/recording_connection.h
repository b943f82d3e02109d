// A connection that records what is sent on it, for tests of the protocol layer.
#pragma once

#include <string>

#include "protocol/connection.h"

namespace fidora::test {

class RecordingConnection : public TConnection {
 public:
  int ConnHandle() const override { return 7; }
  std::string ConnPeerAddress() const override { return "10.1.2.3"; }
  void WriteText(std::string_view text) override { sent.append(text); }
  bool WriteStream(std::unique_ptr<TByteSource> source) override {
    char piece[4096];
    while (size_t n = source->Read(piece, sizeof piece)) sent.append(piece, n);
    return true;
  }
  std::string sent;
};

}  // namespace fidora::test
