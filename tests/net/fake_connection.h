// A connection fed by the test: bytes "arrive" in `incoming`, replies are recorded in `sent`.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "net/net_connection.h"

namespace fidora::test {

class FakeConnection : public TNetConnection {
 public:
  explicit FakeConnection(int handle = 5, std::string peer = "192.168.1.20")
      : handle_(handle), peer_(std::move(peer)) {}

  int ConnHandle() const override { return handle_; }
  std::string ConnPeerAddress() const override { return peer_; }
  int ReadBytes(char* buffer, int n) override {
    const size_t count = std::min(incoming.size(), static_cast<size_t>(n));
    std::memcpy(buffer, incoming.data(), count);
    incoming.erase(0, count);
    return static_cast<int>(count);
  }
  void CloseConnection() override { closed = true; }
  int64_t UnsentBytes() const override { return unsent; }
  int64_t BufferedBytes() const override { return unsent; }
  uint64_t BytesSent() const override { return sent.size(); }
  void WriteText(std::string_view text) override { sent.append(text); }
  bool WriteStream(std::unique_ptr<TByteSource> source) override {
    char piece[4096];
    while (size_t n = source->Read(piece, sizeof piece)) sent.append(piece, n);
    return true;
  }
  void Flush() override { ++flushes; }

  std::string incoming;
  std::string sent;
  bool closed = false;
  int64_t unsent = 0;
  int flushes = 0;

 private:
  int handle_;
  std::string peer_;
};

}  // namespace fidora::test
