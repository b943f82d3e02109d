#include "load/load_run.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace fidora {
namespace {

constexpr size_t kReadSize = 65536;

}  // namespace

LoadRun::LoadRun(Endpoint endpoint, LoadRequest request, int connections, long long requests,
                 int timeout_ms, std::string success)
    : endpoint_(std::move(endpoint)),
      request_(std::move(request)),
      success_(std::move(success)),
      timeout_ms_(timeout_ms),
      connections_(static_cast<size_t>(std::min<long long>(connections, requests))),
      buffer_(kReadSize) {
  totals_.requests = requests;
  totals_.latencies_us.reserve(static_cast<size_t>(requests));
  if (!success_.empty())
    for (Connection& connection : connections_) connection.reader = ReplyReader(success_);
}

void LoadRun::Run() {
  started_ = Clock::now();
  last_reply_ = started_;
  const auto deadline = started_ + std::chrono::milliseconds(timeout_ms_);
  epoll_ = UniqueFd(::epoll_create1(EPOLL_CLOEXEC));
  if (!epoll_.valid()) {
    problems_.connect_reason = std::strerror(errno);
    return;
  }
  OpenConnections();
  std::array<epoll_event, 256> events;
  while (!Finished()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      problems_.timed_out = true;
      break;
    }
    const int n = ::epoll_wait(epoll_.get(), events.data(), static_cast<int>(events.size()),
                               static_cast<int>(left));
    if (n < 0 && errno != EINTR) break;
    for (int i = 0; i < n; ++i) {
      HandleEvent(connections_[events[static_cast<size_t>(i)].data.u32],
                  events[static_cast<size_t>(i)].events);
    }
    SendQueued();
  }
  problems_.unanswered = totals_.requests - totals_.replies - lost_;
  totals_.seconds = std::chrono::duration<double>(last_reply_ - started_).count();
  for (auto& connection : connections_) connection.fd.Close();
}

bool LoadRun::Finished() const {
  return live_ == 0 || totals_.replies + lost_ >= totals_.requests;
}

void LoadRun::OpenConnections() {
  for (size_t i = 0; i < connections_.size(); ++i) {
    Connection& connection = connections_[i];
    std::string error;
    connection.fd = StartConnect(endpoint_, error);
    if (!connection.fd.valid()) {
      Fail(connection, error, false);
      continue;
    }
    ++live_;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT;
    event.data.u32 = static_cast<uint32_t>(i);
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, connection.fd.get(), &event) != 0) {
      Fail(connection, std::strerror(errno), false);
      continue;
    }
    connection.want_write = true;
  }
}

void LoadRun::HandleEvent(Connection& connection, uint32_t events) {
  if (!connection.fd.valid()) return;
  if (connection.connecting) {
    const std::string reason = ConnectResult(connection.fd.get());
    if (!reason.empty()) {
      Fail(connection, "cannot connect to " + endpoint_.text + ": " + reason, false);
      return;
    }
    if (!(events & EPOLLOUT)) return;
    connection.connecting = false;
    connected_once_ = true;
    WatchWrites(connection, false);
    SendNext(connection);
    return;
  }
  if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) ReadReplies(connection);
  if (connection.fd.valid() && (events & EPOLLOUT) && connection.want_write) {
    ContinueSending(connection);
  }
}

void LoadRun::SendNext(Connection& connection) {
  if (issued_ >= totals_.requests) return;  // everything has been sent; this one rests
  ++issued_;
  connection.outstanding = true;
  request_.Next(connection.request);
  connection.request_offset = 0;
  to_send_.push_back(static_cast<size_t>(&connection - connections_.data()));
}

void LoadRun::SendQueued() {
  std::erase_if(to_send_, [&](size_t i) { return !connections_[i].fd.valid(); });
  for (size_t start = 0; start < to_send_.size(); start += TSendRing::kEntries) {
    const size_t count = std::min<size_t>(TSendRing::kEntries, to_send_.size() - start);
    int fds[TSendRing::kEntries];
    iovec pieces[TSendRing::kEntries];
    msghdr messages[TSendRing::kEntries];
    int64_t results[TSendRing::kEntries];
    for (size_t i = 0; i < count; ++i) {
      const Connection& connection = connections_[to_send_[start + i]];
      fds[i] = connection.fd.get();
      pieces[i] = {const_cast<char*>(connection.request.data()), connection.request.size()};
      messages[i] = {};
      messages[i].msg_iov = &pieces[i];
      messages[i].msg_iovlen = 1;
    }
    // A request's time starts when it leaves, not while the other replies were read.
    const Clock::time_point now = Clock::now();
    for (size_t i = 0; i < count; ++i) connections_[to_send_[start + i]].sent_at = now;
    ring_.Send(fds, messages, results, static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
      Connection& connection = connections_[to_send_[start + i]];
      if (results[i] < 0 && results[i] != -EAGAIN) {
        Fail(connection, std::strerror(static_cast<int>(-results[i])), true);
        continue;
      }
      if (results[i] > 0) connection.request_offset = static_cast<size_t>(results[i]);
      // The rest of a request the network did not take whole waits for room.
      if (connection.request_offset < connection.request.size()) WatchWrites(connection, true);
    }
  }
  to_send_.clear();
}

void LoadRun::ContinueSending(Connection& connection) {
  const std::string& request = connection.request;
  while (connection.request_offset < request.size()) {
    const ssize_t n = ::send(connection.fd.get(), request.data() + connection.request_offset,
                             request.size() - connection.request_offset, MSG_NOSIGNAL);
    if (n > 0) {
      connection.request_offset += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WatchWrites(connection, true);
      return;
    } else {
      Fail(connection, std::strerror(errno), true);
      return;
    }
  }
  WatchWrites(connection, false);
}

void LoadRun::ReadReplies(Connection& connection) {
  ssize_t n;
  do {
    n = ::recv(connection.fd.get(), buffer_.data(), buffer_.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    Fail(connection, n == 0 ? "the server closed the connection" : std::strerror(errno), true);
    return;
  }
  const std::string_view received(buffer_.data(), static_cast<size_t>(n));
  size_t pos = 0;
  while (pos < received.size() && connection.outstanding) {
    pos += connection.reader.Feed(received.substr(pos), nullptr);
    if (connection.reader.complete()) ReplyComplete(connection, Clock::now());
  }
}

void LoadRun::ReplyComplete(Connection& connection, Clock::time_point now) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - connection.sent_at);
  totals_.latencies_us.push_back(
      static_cast<uint32_t>(std::min<long long>(us.count(), UINT32_MAX)));
  ++totals_.replies;
  if (connection.reader.info().ok) ++totals_.successful;
  last_reply_ = now;
  connection.reader.Reset();
  connection.outstanding = false;
  SendNext(connection);
}

// Closes a connection for good; a request it had outstanding is lost.
void LoadRun::Fail(Connection& connection, const std::string& reason, bool connected) {
  std::string& first_reason = connected ? problems_.break_reason : problems_.connect_reason;
  if (first_reason.empty()) first_reason = reason;
  ++(connected ? problems_.broken_connections : problems_.connect_failures);
  if (connection.outstanding) ++lost_;
  if (connection.fd.valid()) --live_;
  connection.outstanding = false;
  connection.fd.Close();  // closing also takes it out of the epoll set
}

void LoadRun::WatchWrites(Connection& connection, bool on) {
  if (connection.want_write == on) return;
  epoll_event event{};
  event.events = EPOLLIN | (on ? EPOLLOUT : 0u);
  event.data.u32 = static_cast<uint32_t>(&connection - connections_.data());
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, connection.fd.get(), &event);
  connection.want_write = on;
}

}  // namespace fidora
