#include "common/tcp.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fidora {

void UniqueFd::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<Endpoint> ResolveTcp(const std::string& host, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0 || !found) {
    error = fmt::format("cannot resolve {}: {}", host, ::gai_strerror(rc));
    return std::nullopt;
  }
  Endpoint endpoint;
  std::memcpy(&endpoint.address, found->ai_addr, found->ai_addrlen);
  endpoint.length = found->ai_addrlen;
  endpoint.text = fmt::format("{}:{}", host, port);
  ::freeaddrinfo(found);
  return endpoint;
}

UniqueFd StartConnect(const Endpoint& endpoint, std::string& error) {
  UniqueFd fd(::socket(endpoint.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    error = fmt::format("cannot open a socket: {}", std::strerror(errno));
    return fd;
  }
  const int one = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length) !=
          0 &&
      errno != EINPROGRESS) {
    error = fmt::format("cannot connect to {}: {}", endpoint.text, std::strerror(errno));
    fd.Close();
  }
  return fd;
}

std::string ConnectResult(int fd) {
  int so_error = 0;
  socklen_t length = sizeof so_error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &length) != 0) so_error = errno;
  return so_error == 0 ? std::string() : std::string(std::strerror(so_error));
}

UniqueFd ConnectWithin(const Endpoint& endpoint, int timeout_ms, std::string& error) {
  UniqueFd fd = StartConnect(endpoint, error);
  if (!fd.valid()) return fd;
  pollfd waiting{fd.get(), POLLOUT, 0};
  int rc;
  do {
    rc = ::poll(&waiting, 1, timeout_ms);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) {
    error = fmt::format("cannot connect to {}: no answer within the timeout", endpoint.text);
    fd.Close();
    return fd;
  }
  const std::string reason = rc < 0 ? std::string(std::strerror(errno)) : ConnectResult(fd.get());
  if (!reason.empty()) {
    error = fmt::format("cannot connect to {}: {}", endpoint.text, reason);
    fd.Close();
  }
  return fd;
}

}  // namespace fidora
