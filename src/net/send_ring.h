// TSendRing: sends on many sockets with one system call (an io_uring submission), so a batch
// of replies to many connections costs one kernel entry instead of one per connection. Each
// send behaves like a non-blocking sendmsg: it takes what the socket has room for at once and
// never waits for the network, so every result is there when SendAll returns.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

namespace fidora {

class TSendRing {
 public:
  static constexpr int kEntries = 64;

  // Sets up the ring; on a kernel without io_uring (or where it is not allowed) Ready() is
  // false and the caller sends the plain way.
  TSendRing();
  ~TSendRing();
  TSendRing(const TSendRing&) = delete;
  TSendRing& operator=(const TSendRing&) = delete;

  bool Ready() const { return ring_fd_ >= 0; }

  // Sends messages[i] on fds[i] for i < count (count <= kEntries); results[i] is then the
  // number of bytes sent or -errno (-EAGAIN when the socket had no room). The messages and the
  // bytes they point to need only live until it returns. A single message, or all of them
  // when the ring is not Ready, go with plain non-blocking sendmsg calls.
  void Send(const int* fds, const msghdr* messages, int64_t* results, int count);

 private:
  // Send through the ring; false when the ring itself failed: nothing was sent then, and the
  // ring is no longer Ready.
  bool SendAll(const int* fds, const msghdr* messages, int64_t* results, int count);
  void Unmap();

  int ring_fd_ = -1;
  void* rings_ = nullptr;  // submission and completion rings, one mapping
  size_t rings_size_ = 0;
  void* entries_ = nullptr;  // submission entries
  size_t entries_size_ = 0;
  // Within rings_.
  unsigned* sq_head_ = nullptr;
  unsigned* sq_tail_ = nullptr;
  unsigned* sq_mask_ = nullptr;
  unsigned* sq_array_ = nullptr;
  unsigned* cq_head_ = nullptr;
  unsigned* cq_tail_ = nullptr;
  unsigned* cq_mask_ = nullptr;
  void* cqes_ = nullptr;
};

}  // namespace fidora
