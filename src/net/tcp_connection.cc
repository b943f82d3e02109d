#include "net/tcp_connection.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/socket_error.h"
#include "protocol/application_errors.h"

namespace fidora {

namespace {
int PendingSocketError(int fd) {
  int code = 0;
  socklen_t length = sizeof code;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) != 0) return errno;
  return code;
}
}  // namespace

TTcpConnection::TTcpConnection(int fd, std::string peer, TEventPoller& poller,
                               TConnectionEvents& events, TClosed closed)
    : fd_(fd),
      peer_(std::move(peer)),
      poller_(poller),
      events_(events),
      closed_callback_(std::move(closed)) {}

TTcpConnection::~TTcpConnection() {
  if (!closed_) ::close(fd_);
}

bool TTcpConnection::Start() {
  interest_ = EPOLLIN;
  return poller_.Add(fd_, interest_, this);
}

int TTcpConnection::ReadBytes(char* buffer, int n) {
  if (closed_ || peer_done_ || read_error_ != 0 || n <= 0) return 0;
  for (;;) {
    const ssize_t got = ::recv(fd_, buffer, static_cast<size_t>(n), 0);
    if (got > 0) return static_cast<int>(got);
    if (got == 0) {
      peer_done_ = true;
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) read_error_ = errno;
    return 0;
  }
}

void TTcpConnection::WriteText(std::string_view text) {
  if (closed_) return;
  out_.Add(std::string(text));
  if (reading_ == 0) Flush();
}

bool TTcpConnection::WriteStream(std::unique_ptr<TByteSource> source) {
  if (closed_) return false;
  out_.Add(std::move(source));
  if (reading_ == 0) Flush();
  return true;
}

void TTcpConnection::Flush() {
  if (closed_ || out_.Empty()) return;
  if (SendQueued()) UpdateInterest();
}

void TTcpConnection::FlushLater() {
  if (closed_ || out_.Empty() || send_pending_) return;
  if (!poller_.InRound()) {
    Flush();
    return;
  }
  send_pending_ = true;
  poller_.SendAtRoundEnd(shared_from_this());
}

int TTcpConnection::GatherSend(iovec* pieces, int room) {
  if (closed_) return 0;
  return out_.Gather(pieces, room);
}

void TTcpConnection::Sent(int64_t result, size_t offered) {
  send_pending_ = false;
  sent_all_ = false;
  if (closed_) return;
  if (result < 0) {
    const auto code = static_cast<int>(-result);
    if (code != EAGAIN && code != EWOULDBLOCK) send_error_ = code;
    return;
  }
  out_.Consume(static_cast<size_t>(result));
  bytes_sent_ += static_cast<uint64_t>(result);
  sent_all_ = static_cast<size_t>(result) == offered;
}

void TTcpConnection::AfterSend() {
  if (closed_) return;
  if (send_error_ != 0) {
    const int code = send_error_;
    send_error_ = 0;
    Fail(code, "send");
    return;
  }
  // What did not fit into the round's send (more pieces, a file's next piece) follows now.
  if (sent_all_ && !out_.Empty() && !SendQueued()) return;
  ContinueAfterSend();
}

bool TTcpConnection::SendQueued() {
  int failure = 0;
  const int64_t sent = out_.SendTo([&](const iovec* pieces, int count) -> int64_t {
    msghdr message{};
    message.msg_iov = const_cast<iovec*>(pieces);
    message.msg_iovlen = static_cast<size_t>(count);
    for (;;) {
      const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      failure = errno;
      return -1;
    }
  });
  if (sent < 0) {
    Fail(failure, "send");
    return false;
  }
  bytes_sent_ += static_cast<uint64_t>(sent);
  return true;
}

void TTcpConnection::CloseConnection() {
  if (closed_ || close_pending_) return;
  close_pending_ = true;
  std::weak_ptr<TTcpConnection> weak = shared_from_this();
  poller_.RunSoon([weak] {
    if (auto connection = weak.lock()) connection->CloseNow();
  });
}

void TTcpConnection::CloseNow() {
  if (closed_) return;
  const std::shared_ptr<TTcpConnection> self = shared_from_this();
  closed_ = true;
  poller_.Remove(fd_);
  RunGuarded("ServerSocketClientDisconnect", [&] { events_.OnDisconnect(self); });
  ::close(fd_);
  out_.Clear();
  if (closed_callback_) closed_callback_(*this);
}

void TTcpConnection::OnPollEvents(uint32_t events) {
  const std::shared_ptr<TTcpConnection> self = shared_from_this();
  if (closed_) return;
  if (events & EPOLLERR) {
    const int code = PendingSocketError(fd_);
    if (code != 0) {
      Fail(code, "recv");
      return;
    }
  }
  if (events & EPOLLOUT) WriteReady();
  if (!closed_ && (events & (EPOLLIN | EPOLLHUP)) && !peer_done_) ReadReady();
  // Both directions are shut: what the requests before gave is tried, then nothing can be sent
  // or received any more.
  if (!closed_ && (events & EPOLLHUP)) {
    Flush();
    CloseNow();
  }
}

void TTcpConnection::ReadReady() {
  if (closed_ || throttled_) return;
  const std::shared_ptr<TTcpConnection> self = shared_from_this();
  TReceiveResult result = TReceiveResult::Served;
  ++reading_;
  RunGuarded("ServerSocketClientRead", [&] { result = events_.OnRead(self); });
  --reading_;
  if (closed_) return;
  if (read_error_ != 0) {
    Fail(read_error_, "recv");
    return;
  }
  if (result == TReceiveResult::Throttled) throttled_ = true;
  // The peer ended its input and every request before it has been dispatched.
  if (peer_done_ && result == TReceiveResult::Served) finish_ = true;
  // With replies about to leave, after they had their chance (ContinueAfterSend).
  if (!send_pending_) {
    RunGuarded("ServerSocketClientRead", [&] { events_.CheckBudget(self); });
    if (closed_) return;
  }
  if (finish_ && out_.Empty()) {
    CloseConnection();
    return;
  }
  UpdateInterest();
}

void TTcpConnection::WriteReady() {
  if (SendQueued()) ContinueAfterSend();
}

void TTcpConnection::ContinueAfterSend() {
  RunGuarded("ServerSocketClientWrite", [&] { events_.CheckBudget(shared_from_this()); });
  if (closed_) return;
  if (throttled_ && out_.Unsent() <= events_.Limits().max_unsent) {
    throttled_ = false;
    ReadReady();  // the requests that waited
    return;
  }
  if (finish_ && out_.Empty()) {
    CloseConnection();
    return;
  }
  UpdateInterest();
}

void TTcpConnection::UpdateInterest() {
  if (closed_) return;
  uint32_t want = 0;
  if (!peer_done_ && !throttled_) want |= EPOLLIN;
  // A send waiting for the end of the round needs no readiness: the poller tries it anyway.
  if (!out_.Empty() && !send_pending_) want |= EPOLLOUT;
  if (want == interest_) return;
  interest_ = want;
  poller_.Modify(fd_, want);
}

void TTcpConnection::Fail(int code, const char* api) {
  if (closed_) return;
  const std::shared_ptr<TTcpConnection> self = shared_from_this();
  // A peer that went away shows as a broken pipe (a reset after its end of input, or a send
  // after it): an abort, which like a reset is not reported.
  int filtered = code == EPIPE ? ECONNABORTED : code;
  const TSocketErrorKind kind =
      std::string_view(api) == "send" ? TSocketErrorKind::Send : TSocketErrorKind::Receive;
  RunGuarded("ServerSocketClientError", [&] { events_.OnError(self, kind, filtered); });
  CloseNow();
  if (filtered != 0)
    RunGuarded("ServerSocketClientError", [&] { throw ESocketError(filtered, api); });
}

}  // namespace fidora
