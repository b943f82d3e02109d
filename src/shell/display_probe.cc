#include "shell/display_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace fidora {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Closes a socket handle when the scope ends.
class TSocketHandle {
 public:
  explicit TSocketHandle(int fd) : fd_(fd) {}
  ~TSocketHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  TSocketHandle(const TSocketHandle&) = delete;
  TSocketHandle& operator=(const TSocketHandle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// `path` with a leading NUL is a name in the abstract namespace.
bool UnixSocketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  const TSocketHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return false;
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  return ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

bool TcpAnswers(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool answered = false;
  for (const addrinfo* a = found; a && !answered; a = a->ai_next) {
    const TSocketHandle socket(
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (socket.get() < 0) continue;
    if (::connect(socket.get(), a->ai_addr, a->ai_addrlen) == 0) {
      answered = true;
      break;
    }
    if (errno != EINPROGRESS) continue;
    pollfd wait{socket.get(), POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof(error);
    answered = ::poll(&wait, 1, 2000) == 1 &&
               ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  }
  ::freeaddrinfo(found);
  return answered;
}

bool WaylandReachable(const std::string& name) {
  if (name.front() == '/') return UnixSocketAnswers(name);
  const std::string runtime = Env("XDG_RUNTIME_DIR");
  return !runtime.empty() && UnixSocketAnswers(runtime + "/" + name);
}

// DISPLAY is [host]:number[.screen]; an empty host or "unix" means the local socket, which X
// servers offer both in the abstract namespace and as a file.
bool X11Reachable(const std::string& display) {
  const size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = display.substr(0, colon);
  if (!host.empty() && host.front() == '/') return true;  // a socket path: let Qt try it
  const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (const size_t slash = host.find('/'); slash != std::string::npos) host.erase(0, slash + 1);
  if (host.empty() || host == "unix") {
    const std::string path = "/tmp/.X11-unix/X" + number;
    return UnixSocketAnswers(std::string(1, '\0') + path) || UnixSocketAnswers(path);
  }
  return TcpAnswers(host, 6000 + std::atoi(number.c_str()));
}

}  // namespace

bool DisplayReachable(std::string& why_not) {
  why_not.clear();
  const std::string platform = Env("QT_QPA_PLATFORM");
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0)
    return true;
  const std::string wayland = Env("WAYLAND_DISPLAY");
  const std::string x11 = Env("DISPLAY");
  if (!wayland.empty()) {
    if (WaylandReachable(wayland)) return true;
    why_not = "WAYLAND_DISPLAY=" + wayland;
  }
  if (!x11.empty()) {
    if (X11Reachable(x11)) return true;
    why_not += (why_not.empty() ? "" : ", ") + std::string("DISPLAY=") + x11;
  }
  return false;
}

}  // namespace fidora
