// TEventPoller: one epoll set for every socket of the server, watched by the Qt event loop
// through a single notifier on the epoll descriptor, so socket readiness costs one epoll_wait
// for many connections and no Qt object per socket. Runs on the event loop's thread; when a
// handler lets events run (a nested loop), the poller serves the other sockets meanwhile.
//
// One wake-up of the notifier serves rounds of ready sockets: after a round that found several,
// the poller asks epoll again before it gives the Qt loop its turn, so a busy server does not
// pay a pass of the Qt loop per round. At the end of each round (and whenever a ring's worth is
// waiting) the replies of every connection served leave together (one system call for all of
// them where the kernel offers io_uring), then the deferred work runs (closing connections). Also
// drives one periodic tick (the connection watch). This file and its .cc are the Qt part of the
// socket adapter.
#pragma once

#include <sys/uio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "net/send_ring.h"

class QSocketNotifier;
class QTimer;

struct epoll_event;

namespace fidora {

// What gets the readiness of one descriptor.
class TPollClient {
 public:
  virtual void OnPollEvents(uint32_t events) = 0;

 protected:
  ~TPollClient() = default;
};

// What has bytes waiting to be sent at the end of the current round (SendAtRoundEnd). The
// poller sends for all of them at once, then tells each what went: first Sent for every one,
// then AfterSend for every one, so that no follow-up (which may let events run) sees a queue
// whose sent bytes are not yet counted.
class TBatchSender {
 public:
  virtual int SendHandle() const = 0;
  // The waiting bytes as at most `room` pieces; 0 when nothing waits (or it has closed).
  virtual int GatherSend(iovec* pieces, int room) = 0;
  // The result of sending what GatherSend gave (`offered` bytes): the bytes that went, or
  // -errno. Only counts; does nothing that could let events run.
  virtual void Sent(int64_t result, size_t offered) = 0;
  // Whatever follows the send (continuing, closing, failing, reading on).
  virtual void AfterSend() = 0;

 protected:
  ~TBatchSender() = default;
};

class TEventPoller {
 public:
  static constexpr int kSendPieces = 16;  // of one sender per round

  TEventPoller();
  ~TEventPoller();
  TEventPoller(const TEventPoller&) = delete;
  TEventPoller& operator=(const TEventPoller&) = delete;

  // Watches `fd` for the epoll `events` (level-triggered) on behalf of `client`, which must
  // stay valid until Remove. Events of a descriptor already removed are never delivered, even
  // when its number is reused within one batch. False (errno set) when it cannot be watched.
  bool Add(int fd, uint32_t events, TPollClient* client);
  void Modify(int fd, uint32_t events);
  // Call before closing the descriptor.
  void Remove(int fd);

  // A round of socket events is being served (so sending may wait for its end).
  bool InRound() const { return depth_ > 0; }
  // Sends what `sender` has waiting at the end of the current round, together with the
  // others; call only InRound(), at most once per sender until its AfterSend.
  void SendAtRoundEnd(std::shared_ptr<TBatchSender> sender);

  // Runs `work` when the current batch of socket events is over (at once after it when none
  // is running).
  void RunSoon(std::function<void()> work);
  // Runs `work` once, `delay` from now.
  void RunAfter(std::chrono::milliseconds delay, std::function<void()> work);
  // Calls `tick` every `interval` until the poller goes.
  void SetTick(std::chrono::milliseconds interval, std::function<void()> tick);

 private:
  struct TEntry {
    TPollClient* client = nullptr;
    uint32_t generation = 0;
  };
  // Room for the sends of one system call.
  struct TSendScratch {
    int fds[TSendRing::kEntries];
    msghdr messages[TSendRing::kEntries];
    iovec pieces[TSendRing::kEntries][kSendPieces];
    size_t offered[TSendRing::kEntries];
    int64_t results[TSendRing::kEntries];
    TBatchSender* senders[TSendRing::kEntries];
  };
  void Activated();
  // Looks for ready sockets for a short while; the number found.
  int Linger(epoll_event* events);
  // The end of a round: the waiting sends, then the deferred work, until neither is left.
  void EndRound();
  void SendWaiting();
  void SendTogether(TBatchSender* const* senders, int count);
  void RunDeferred();

  int epoll_fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QTimer> timer_;
  std::function<void()> tick_;
  std::vector<TEntry> entries_;  // by descriptor number
  uint32_t next_generation_ = 0;
  std::vector<std::function<void()>> deferred_;
  std::vector<std::shared_ptr<TBatchSender>> senders_;  // waiting for the end of the round
  TSendRing ring_;
  std::unique_ptr<TSendScratch> scratch_;
  int depth_ = 0;  // batches running (nested when a handler lets events run)
  bool deferred_posted_ = false;
};

}  // namespace fidora
