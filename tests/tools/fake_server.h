// A loopback TCP server for tests of the protocol tools. A thread accepts any number of
// connections on a free port of 127.0.0.1, cuts what they send into requests (text lines, or
// "B¦len¦…" blocks with their payload) and answers each with the bytes a test scripts.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fidora::test {

struct Chunk {
  std::string bytes;
  // Runs in the server thread, given the connection's descriptor, before the bytes go out.
  std::function<void(int fd)> before;
};

struct Answer {
  std::vector<Chunk> chunks;  // none: the request is never answered
  bool close = false;         // close the connection after the chunks
};

class FakeServer {
 public:
  // `respond` is called in the server thread with the request's raw bytes and the number of
  // requests answered before it on any connection.
  using Responder = std::function<Answer(const std::string& request, long long index)>;

  explicit FakeServer(Responder respond);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }
  std::vector<std::string> requests() const;
  int connections() const { return connections_.load(); }

  // Chunks that send a reply in pieces of `piece` bytes.
  static std::vector<Chunk> InPieces(const std::string& bytes, size_t piece);

 private:
  struct Peer {
    int fd;
    std::string buffer;
  };

  void Loop();
  bool ServePeer(Peer& peer);  // false when the connection is done
  static size_t RequestEnd(const std::string& buffer);

  Responder respond_;
  int listen_fd_ = -1;
  int wake_fd_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port of 127.0.0.1 with no listener (taken from the kernel, then given back).
int UnusedPort();

}  // namespace fidora::test
