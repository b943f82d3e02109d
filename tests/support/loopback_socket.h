// A blocking TCP client for tests: connects to 127.0.0.1, sends bytes, and reads replies of
// the server's protocol (a text line, or a "B|length|C" block) with a timeout.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fidora::test {

// A port on the loopback interface that nothing listens on right now.
inline uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

class LoopbackSocket {
 public:
  LoopbackSocket() = default;
  explicit LoopbackSocket(uint16_t port) {
    if (!Connect(port)) throw std::runtime_error("cannot connect to port " + std::to_string(port));
  }
  ~LoopbackSocket() { Close(); }
  LoopbackSocket(LoopbackSocket&& other) noexcept
      : fd_(other.fd_), pending_(std::move(other.pending_)), head_(other.head_) {
    other.fd_ = -1;
  }
  LoopbackSocket& operator=(LoopbackSocket&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.fd_;
      pending_ = std::move(other.pending_);
      head_ = other.head_;
      other.fd_ = -1;
    }
    return *this;
  }

  bool Connect(uint16_t port) {
    Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      int one = 1;
      ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return true;
    }
    Close();
    return false;
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes with a reset instead of an orderly close.
  void Reset() {
    linger option{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    Close();
  }
  int fd() const { return fd_; }

  void Send(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      done += static_cast<size_t>(n);
    }
  }

  // Reads until `count` bytes are there; nullopt when the time runs out or the peer closes.
  std::optional<std::string> ReadBytes(
      size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    if (!Fill([&] { return pending_.size() - head_ >= count; }, timeout)) return std::nullopt;
    std::string bytes = pending_.substr(head_, count);
    Consume(count);
    return bytes;
  }

  // One line without its CR LF.
  std::optional<std::string> ReadLine(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    size_t end = std::string::npos;
    auto complete = [&] {
      end = pending_.find("\r\n", head_);
      return end != std::string::npos;
    };
    if (!Fill(complete, timeout)) return std::nullopt;
    std::string line = pending_.substr(head_, end - head_);
    Consume(end + 2 - head_);
    return line;
  }

  // One reply: a text line gives one line; a block gives its lines. Empty when none came.
  std::vector<std::string> ReadReply(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    auto header = ReadLine(timeout);
    if (!header) return {};
    if (header->rfind("B\xA6", 0) != 0) return {*header};
    const size_t bar = header->find('\xA6', 2);
    const size_t length = std::stoul(header->substr(2, bar - 2));
    auto payload = ReadBytes(length, timeout);
    if (!payload) return {};
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < payload->size()) {
      const size_t end = payload->find("\r\n", start);
      lines.push_back(payload->substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // True when nothing at all arrives within `wait`.
  bool Silent(std::chrono::milliseconds wait) {
    return !Fill([&] { return pending_.size() > head_; }, wait) && pending_.size() == head_;
  }
  // True when the server closes the connection within `wait`.
  bool ClosedByPeer(std::chrono::milliseconds wait) {
    Fill([] { return false; }, wait);
    return peer_closed_;
  }

 private:
  // Drops consumed bytes only now and then, so reading many small replies stays cheap.
  void Consume(size_t count) {
    head_ += count;
    if (head_ > 65536 && head_ * 2 > pending_.size()) {
      pending_.erase(0, head_);
      head_ = 0;
    }
  }

  template <typename Done>
  bool Fill(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || peer_closed_) return false;
      pollfd waiting{fd_, POLLIN, 0};
      if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[65536];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        peer_closed_ = true;
        return done();
      }
      pending_.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  int fd_ = -1;
  std::string pending_;
  size_t head_ = 0;
  bool peer_closed_ = false;
};

}  // namespace fidora::test
