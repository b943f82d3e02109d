#include "fake_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace fidora::test {
namespace {

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("bind failed");
  }
  port = ntohs(address.sin_port);
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the peer went away; the test sees it from the other side
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

FakeServer::FakeServer(Responder respond) : respond_(std::move(respond)) {
  listen_fd_ = ListenOnLoopback(port_);
  if (::listen(listen_fd_, 64) != 0) throw std::runtime_error("listen failed");
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Loop(); });
}

FakeServer::~FakeServer() {
  const uint64_t one = 1;
  if (::write(wake_fd_, &one, sizeof one) < 0) std::abort();
  thread_.join();
  ::close(wake_fd_);
  ::close(listen_fd_);
}

std::vector<std::string> FakeServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<Chunk> FakeServer::InPieces(const std::string& bytes, size_t piece) {
  std::vector<Chunk> chunks;
  for (size_t i = 0; i < bytes.size(); i += piece) {
    chunks.push_back({bytes.substr(i, piece), [](int) { ::usleep(2000); }});
  }
  return chunks;
}

void FakeServer::Loop() {
  std::vector<Peer> peers;
  for (;;) {
    std::vector<pollfd> waiting{{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    for (const Peer& peer : peers) waiting.push_back({peer.fd, POLLIN, 0});
    if (::poll(waiting.data(), waiting.size(), -1) < 0) continue;
    if (waiting[0].revents) break;
    const size_t polled = peers.size();
    if (waiting[1].revents & POLLIN) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        peers.push_back({fd, {}});
        ++connections_;
      }
    }
    for (size_t i = polled; i-- > 0;) {
      if (!waiting[i + 2].revents) continue;
      if (!ServePeer(peers[i])) {
        ::close(peers[i].fd);
        peers.erase(peers.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  for (const Peer& peer : peers) ::close(peer.fd);
}

bool FakeServer::ServePeer(Peer& peer) {
  char buffer[4096];
  const ssize_t n = ::recv(peer.fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  peer.buffer.append(buffer, static_cast<size_t>(n));
  for (size_t end; (end = RequestEnd(peer.buffer)) != 0;) {
    const std::string request = peer.buffer.substr(0, end);
    peer.buffer.erase(0, end);
    long long index;
    {
      std::lock_guard lock(mutex_);
      index = static_cast<long long>(requests_.size());
      requests_.push_back(request);
    }
    const Answer answer = respond_(request, index);
    for (const Chunk& chunk : answer.chunks) {
      if (chunk.before) chunk.before(peer.fd);
      SendAll(peer.fd, chunk.bytes);
    }
    if (answer.close) return false;
  }
  return true;
}

// Length of the first complete request in the buffer, 0 when there is none yet.
size_t FakeServer::RequestEnd(const std::string& buffer) {
  const size_t lf = buffer.find('\n');
  if (lf == std::string::npos) return 0;
  if (buffer.compare(0, 2, "B\xA6") != 0) return lf + 1;
  const size_t length = std::strtoul(buffer.c_str() + 2, nullptr, 10);
  return buffer.size() >= lf + 1 + length ? lf + 1 + length : 0;
}

int UnusedPort() {
  int port = 0;
  ::close(ListenOnLoopback(port));
  return port;
}

}  // namespace fidora::test
