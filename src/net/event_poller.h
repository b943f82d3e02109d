// TEventPoller: one epoll set for every socket of the server, watched by the Qt event loop
// through a single notifier on the epoll descriptor, so socket readiness costs one epoll_wait
// for many connections and no Qt object per socket. Runs on the event loop's thread; when a
// handler lets events run (a nested loop), the poller serves the other sockets meanwhile.
// Also drives one periodic tick (the connection watch) and work deferred to the end of the
// current batch of events (closing connections). This file and its .cc are the Qt part of the
// socket adapter.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace fidora {

// What gets the readiness of one descriptor.
class TPollClient {
 public:
  virtual void OnPollEvents(uint32_t events) = 0;

 protected:
  ~TPollClient() = default;
};

class TEventPoller {
 public:
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
  void Activated();
  void RunDeferred();

  int epoll_fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QTimer> timer_;
  std::function<void()> tick_;
  std::vector<TEntry> entries_;  // by descriptor number
  uint32_t next_generation_ = 0;
  std::vector<std::function<void()>> deferred_;
  int depth_ = 0;  // batches running (nested when a handler lets events run)
  bool deferred_posted_ = false;
};

}  // namespace fidora
