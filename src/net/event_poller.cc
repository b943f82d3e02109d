#include "net/event_poller.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

#include "protocol/application_errors.h"

namespace fidora {

namespace {
constexpr int kBatch = 256;
// Rounds served per wake-up at most, so the Qt loop (the window, timers) keeps its turn.
constexpr int kMaxRounds = 16;
// A round that found fewer ready sockets than this gives the Qt loop its turn: the next round
// would most likely find none.
constexpr int kAnotherRoundFrom = 2;
// How long a round that served requests looks for more before it gives the Qt loop its turn,
// and the pause between two looks (CPU pause instructions).
constexpr std::chrono::microseconds kLinger{40};
constexpr int kLingerPause = 64;

void CpuPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

uint64_t Key(int fd, uint32_t generation) {
  return (uint64_t{generation} << 32) | static_cast<uint32_t>(fd);
}
}  // namespace

TEventPoller::TEventPoller()
    : epoll_fd_(::epoll_create1(EPOLL_CLOEXEC)), scratch_(std::make_unique<TSendScratch>()) {
  if (epoll_fd_ < 0)
    throw std::runtime_error(std::string("Cannot create the socket poller: ") +
                             std::strerror(errno));
  notifier_ = std::make_unique<QSocketNotifier>(epoll_fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Activated(); });
}

TEventPoller::~TEventPoller() {
  timer_.reset();
  notifier_.reset();
  ::close(epoll_fd_);
}

bool TEventPoller::Add(int fd, uint32_t events, TPollClient* client) {
  if (fd < 0) return false;
  if (static_cast<size_t>(fd) >= entries_.size()) entries_.resize(static_cast<size_t>(fd) + 1);
  TEntry& entry = entries_[static_cast<size_t>(fd)];
  entry = {client, ++next_generation_};
  epoll_event event{};
  event.events = events;
  event.data.u64 = Key(fd, entry.generation);
  if (::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event) == 0) return true;
  entry = {};
  return false;
}

void TEventPoller::Modify(int fd, uint32_t events) {
  if (fd < 0 || static_cast<size_t>(fd) >= entries_.size()) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = Key(fd, entries_[static_cast<size_t>(fd)].generation);
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, fd, &event);
}

void TEventPoller::Remove(int fd) {
  if (fd < 0 || static_cast<size_t>(fd) >= entries_.size()) return;
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd, nullptr);
  entries_[static_cast<size_t>(fd)] = {};
}

void TEventPoller::Activated() {
  ++depth_;
  epoll_event events[kBatch];
  for (int round = 0; round < kMaxRounds; ++round) {
    int n = ::epoll_wait(epoll_fd_, events, kBatch, 0);
    // After serving a terminal its next request often follows within microseconds: looking for
    // it a little longer answers it without the process going to sleep and being woken again,
    // which on an idle machine costs far more than the reply itself.
    if (n == 0 && round > 0) n = Linger(events);
    for (int i = 0; i < n; ++i) {
      const auto fd = static_cast<size_t>(events[i].data.u64 & 0xffffffffu);
      const auto generation = static_cast<uint32_t>(events[i].data.u64 >> 32);
      if (fd >= entries_.size()) continue;
      TPollClient* client = entries_[fd].client;
      if (!client || entries_[fd].generation != generation) continue;
      RunGuarded("ServerSocketEvent", [&] { client->OnPollEvents(events[i].events); });
      // A full ring's worth leaves at once: the first replies of a long round need not wait
      // for the last requests.
      if (senders_.size() >= TSendRing::kEntries) SendWaiting();
    }
    EndRound();
    if (n == 0) break;
  }
  --depth_;
}

int TEventPoller::Linger(epoll_event* events) {
  const auto until = std::chrono::steady_clock::now() + kLinger;
  int n = 0;
  while (n == 0 && std::chrono::steady_clock::now() < until) {
    for (int i = 0; i < kLingerPause; ++i) CpuPause();
    n = ::epoll_wait(epoll_fd_, events, kBatch, 0);
  }
  return n;
}

void TEventPoller::SendAtRoundEnd(std::shared_ptr<TBatchSender> sender) {
  senders_.push_back(std::move(sender));
}

void TEventPoller::EndRound() {
  do {
    SendWaiting();
    RunDeferred();
  } while (!senders_.empty());
}

void TEventPoller::SendWaiting() {
  while (!senders_.empty()) {
    // Taken out whole: a follow-up that lets events run starts a list of its own.
    std::vector<std::shared_ptr<TBatchSender>> batch;
    batch.swap(senders_);
    for (size_t start = 0; start < batch.size(); start += TSendRing::kEntries) {
      TBatchSender* chunk[TSendRing::kEntries];
      const size_t count = std::min<size_t>(TSendRing::kEntries, batch.size() - start);
      for (size_t i = 0; i < count; ++i) chunk[i] = batch[start + i].get();
      SendTogether(chunk, static_cast<int>(count));
    }
    batch.clear();
    if (senders_.empty()) senders_.swap(batch);  // keeps the list's memory for the next round
  }
}

void TEventPoller::SendTogether(TBatchSender* const* senders, int count) {
  TSendScratch& s = *scratch_;
  int sending = 0;
  for (int i = 0; i < count; ++i) {
    TBatchSender* sender = senders[i];
    const int pieces = sender->GatherSend(s.pieces[sending], kSendPieces);
    if (pieces == 0) {
      sender->Sent(0, 0);
      continue;
    }
    size_t offered = 0;
    for (int p = 0; p < pieces; ++p) offered += s.pieces[sending][p].iov_len;
    s.messages[sending] = {};
    s.messages[sending].msg_iov = s.pieces[sending];
    s.messages[sending].msg_iovlen = static_cast<size_t>(pieces);
    s.fds[sending] = sender->SendHandle();
    s.offered[sending] = offered;
    s.senders[sending] = sender;
    ++sending;
  }
  ring_.Send(s.fds, s.messages, s.results, sending);
  for (int i = 0; i < sending; ++i) s.senders[i]->Sent(s.results[i], s.offered[i]);
  for (int i = 0; i < count; ++i)
    RunGuarded("ServerSocketClientWrite", [&] { senders[i]->AfterSend(); });
}

void TEventPoller::RunSoon(std::function<void()> work) {
  deferred_.push_back(std::move(work));
  if (depth_ > 0 || deferred_posted_) return;
  // Asked outside a batch (a timer, the operator): once the current event is over.
  deferred_posted_ = true;
  QTimer::singleShot(0, notifier_.get(), [this] {
    deferred_posted_ = false;
    RunDeferred();
  });
}

void TEventPoller::RunDeferred() {
  while (!deferred_.empty()) {
    std::vector<std::function<void()>> work;
    work.swap(deferred_);
    for (auto& item : work) RunGuarded("ServerSocketDeferred", item);
  }
}

void TEventPoller::RunAfter(std::chrono::milliseconds delay, std::function<void()> work) {
  QTimer::singleShot(delay, notifier_.get(),
                     [work = std::move(work)] { RunGuarded("ServerSocketTimer", work); });
}

void TEventPoller::SetTick(std::chrono::milliseconds interval, std::function<void()> tick) {
  tick_ = std::move(tick);
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    ++depth_;
    RunGuarded("ServerSocketTick", tick_);
    EndRound();
    --depth_;
  });
  timer_->start(interval);
}

}  // namespace fidora
