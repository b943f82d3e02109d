#include "net/event_poller.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "protocol/application_errors.h"

namespace fidora {

namespace {
constexpr int kBatch = 256;

uint64_t Key(int fd, uint32_t generation) {
  return (uint64_t{generation} << 32) | static_cast<uint32_t>(fd);
}
}  // namespace

TEventPoller::TEventPoller() : epoll_fd_(::epoll_create1(EPOLL_CLOEXEC)) {
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
  const int n = ::epoll_wait(epoll_fd_, events, kBatch, 0);
  for (int i = 0; i < n; ++i) {
    const auto fd = static_cast<size_t>(events[i].data.u64 & 0xffffffffu);
    const auto generation = static_cast<uint32_t>(events[i].data.u64 >> 32);
    if (fd >= entries_.size()) continue;
    TPollClient* client = entries_[fd].client;
    if (!client || entries_[fd].generation != generation) continue;
    RunGuarded("ServerSocketEvent", [&] { client->OnPollEvents(events[i].events); });
  }
  RunDeferred();
  --depth_;
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
    RunDeferred();
    --depth_;
  });
  timer_->start(interval);
}

}  // namespace fidora
