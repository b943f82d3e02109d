#include "net/server_socket.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "protocol/application_errors.h"

namespace fidora {

namespace {
// The kernel cuts a larger backlog down to its maximum (net.core.somaxconn).
constexpr int kBacklog = INT_MAX;
// Connections taken per readiness of the listener, so a burst does not hold up the others.
constexpr int kAcceptsPerEvent = 64;
constexpr std::chrono::milliseconds kAcceptPause{1000};

void SetIntOption(int fd, int level, int name, int value) {
  ::setsockopt(fd, level, name, &value, sizeof value);
}

std::string DottedAddress(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  if (address.sin_family != AF_INET || !::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
    return {};
  return text;
}
}  // namespace

TServerSocket::TServerSocket(uint16_t port, TConnectionEvents& events, TEventPoller& poller)
    : port_(port), events_(events), poller_(poller) {}

TServerSocket::~TServerSocket() {
  Deactivate();
}

void TServerSocket::Activate() {
  if (Active()) return;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    throw std::runtime_error(
        fmt::format("Cannot listen on port {}: {}", port_, std::strerror(errno)));
  SetIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(events_.Limits().listen_address);
  address.sin_port = htons(port_);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, kBacklog) != 0) {
    const int code = errno;
    ::close(fd);
    throw std::runtime_error(
        fmt::format("Cannot listen on {}:{}: {}", DottedAddress(address), port_,
                    std::strerror(code)));
  }
  if (!poller_.Add(fd, EPOLLIN, this)) {
    const int code = errno;
    ::close(fd);
    throw std::runtime_error(
        fmt::format("Cannot listen on port {}: {}", port_, std::strerror(code)));
  }
  listen_fd_ = fd;
}

void TServerSocket::Deactivate() {
  if (listen_fd_ >= 0) {
    if (!accept_paused_) poller_.Remove(listen_fd_);
    ::close(listen_fd_);
    listen_fd_ = -1;
  }
  while (!connections_.empty()) {
    const std::shared_ptr<TTcpConnection> connection = connections_.begin()->second;
    connection->CloseNow();  // its disconnect event runs; it leaves the map
    connections_.erase(connection->ConnHandle());
  }
}

void TServerSocket::OnPollEvents(uint32_t /*events*/) {
  for (int i = 0; i < kAcceptsPerEvent && listen_fd_ >= 0 && !accept_paused_; ++i) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Adopt(fd, DottedAddress(peer));
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      // Out of descriptors or memory: the waiting connections stay queued in the kernel
      // while the listener rests a moment.
      accept_paused_ = true;
      poller_.Remove(listen_fd_);
      poller_.RunAfter(kAcceptPause, [this] { ResumeAccepting(); });
    }
    return;
  }
}

void TServerSocket::ResumeAccepting() {
  if (!accept_paused_) return;
  accept_paused_ = false;
  if (listen_fd_ >= 0) poller_.Add(listen_fd_, EPOLLIN, this);
}

void TServerSocket::Adopt(int fd, const std::string& peer) {
  SetIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdle);
  SetIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveInterval);
  SetIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
  SetIntOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  auto connection = std::make_shared<TTcpConnection>(
      fd, peer, poller_, events_,
      [this](TTcpConnection& closed) { connections_.erase(closed.ConnHandle()); });
  bool admitted = false;
  RunGuarded("ServerSocketClientConnect", [&] { admitted = events_.OnConnect(connection); });
  // Refused: the socket closes with the connection object, before anything is read.
  if (!admitted) return;
  connections_[fd] = connection;
  if (!connection->Start()) connection->CloseNow();
}

}  // namespace fidora
