// One load run: a fixed set of connections driven by one thread with epoll.
//
// Each connection has at most one request outstanding; the moment its reply is complete it sends
// the next, until the requests asked for have all been sent. Nothing is allocated per request: each
// connection writes its request into a buffer of its own (the numbers of a stepping request
// change), replies are cut by a ReplyReader per connection, and latencies go into a vector
// reserved for all of them. The next requests of all the connections whose replies came in one
// epoll_wait leave together, in one system call where the kernel offers io_uring, so the client
// costs little beside the server it measures; a request's latency runs from the moment its
// connection was ready to send it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/reply_reader.h"
#include "common/tcp.h"
#include "load/load_request.h"
#include "load/load_summary.h"
#include "net/send_ring.h"

namespace fidora {

struct LoadProblems {
  long long connect_failures = 0;
  long long broken_connections = 0;  // closed or failed after connecting
  long long unanswered = 0;          // outstanding or never sent when the run stopped
  bool timed_out = false;
  std::string connect_reason;  // why the first connect failed
  std::string break_reason;    // why the first connection broke
};

class LoadRun {
 public:
  // `success` is what the last line of a successful reply begins with ("STAT¦OK¦" when empty).
  LoadRun(Endpoint endpoint, LoadRequest request, int connections, long long requests,
          int timeout_ms, std::string success = {});

  // Runs to the end: all requests answered, no connection left, or the time limit.
  void Run();

  LoadTotals& totals() { return totals_; }
  const LoadProblems& problems() const { return problems_; }
  // At least one connection was made.
  bool connected_once() const { return connected_once_; }

 private:
  using Clock = std::chrono::steady_clock;

  struct Connection {
    UniqueFd fd;
    ReplyReader reader;
    std::string request;  // the bytes of the current request
    Clock::time_point sent_at;
    size_t request_offset = 0;  // bytes of the current request sent so far
    bool connecting = true;
    bool outstanding = false;  // a request has been sent, or begun, and its reply is not complete
    bool want_write = false;   // registered for EPOLLOUT
  };

  void OpenConnections();
  void HandleEvent(Connection& connection, uint32_t events);
  // Makes the connection's next request ready; SendQueued sends it.
  void SendNext(Connection& connection);
  // Sends the requests that SendNext queued since the last time.
  void SendQueued();
  void ContinueSending(Connection& connection);
  void ReadReplies(Connection& connection);
  void ReplyComplete(Connection& connection, Clock::time_point now);
  void Fail(Connection& connection, const std::string& reason, bool connected);
  void WatchWrites(Connection& connection, bool on);
  bool Finished() const;

  Endpoint endpoint_;
  LoadRequest request_;
  std::string success_;
  int timeout_ms_;
  UniqueFd epoll_;
  std::vector<Connection> connections_;
  int live_ = 0;
  long long issued_ = 0;
  long long lost_ = 0;
  bool connected_once_ = false;
  std::vector<char> buffer_;
  std::vector<size_t> to_send_;  // connections whose request is ready to go
  TSendRing ring_;
  Clock::time_point started_;
  Clock::time_point last_reply_;
  LoadTotals totals_;
  LoadProblems problems_;
};

}  // namespace fidora
