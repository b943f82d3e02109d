// The few socket calls both tools need: an owned descriptor, name resolution and connecting.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace fidora {

// Owns a file descriptor and closes it.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Close(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.Release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Close();

 private:
  int fd_ = -1;
};

struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
  std::string text;  // host:port, for messages
};

// Resolves a host name or address and a port to the first TCP endpoint. Sets `error` on failure.
std::optional<Endpoint> ResolveTcp(const std::string& host, int port, std::string& error);

// A non-blocking socket whose connect to the endpoint has been started (it may already be
// connected). TCP_NODELAY is set: requests are small and answered one at a time.
// Returns an invalid descriptor, and sets `error`, when the connect failed at once.
UniqueFd StartConnect(const Endpoint& endpoint, std::string& error);

// The outcome of a started connect, once the socket reports it writable: empty when connected,
// otherwise the reason.
std::string ConnectResult(int fd);

// Connects within `timeout_ms` milliseconds; the socket stays non-blocking.
UniqueFd ConnectWithin(const Endpoint& endpoint, int timeout_ms, std::string& error);

}  // namespace fidora
