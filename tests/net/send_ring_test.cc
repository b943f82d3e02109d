// The send ring on real socket pairs: every message gets the result a non-blocking sendmsg
// would give, whatever state its socket is in, and nothing ever waits for the network.
#include "net/send_ring.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {
namespace {

// A connected pair of non-blocking stream sockets.
struct SocketPair {
  SocketPair() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
      throw std::runtime_error("socketpair");
  }
  ~SocketPair() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;

  int sender() const { return fds[0]; }
  std::string Received() const {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fds[1], buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
      all.append(buffer, static_cast<size_t>(n));
    return all;
  }
  // Sends until the socket takes not even one byte more.
  void Fill() const {
    const std::string block(65536, 'x');
    for (const size_t size : {size_t{65536}, size_t{4096}, size_t{256}, size_t{1}}) {
      while (::send(fds[0], block.data(), size, MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
      }
    }
  }
  void ClosePeer() {
    ::close(fds[1]);
    fds[1] = -1;
  }

  int fds[2] = {-1, -1};
};

enum class State { Open, Full, PeerClosed };

constexpr std::string_view kTail = "B\xA6tail\r\n";

TEST(SendRingTest, EveryMessageGetsTheResultOfANonBlockingSend) {
  struct Case {
    State state;
    int64_t expected;  // bytes, or -errno
  };
  const std::vector<Case> cases = {
      {State::Open, 12}, {State::Full, -EAGAIN}, {State::Open, 12}, {State::PeerClosed, -EPIPE},
      {State::Open, 12}, {State::Full, -EAGAIN}, {State::Open, 12},
  };
  // Alone, in a batch, and in a full ring.
  for (const size_t count : {size_t{1}, cases.size(), size_t{TSendRing::kEntries}}) {
    TSendRing ring;
    std::vector<SocketPair> pairs(count);
    std::vector<int> fds(count);
    std::vector<std::string> texts(count);
    std::vector<iovec> pieces(count * 2);
    std::vector<msghdr> messages(count);
    std::vector<int64_t> results(count, 12345);
    for (size_t i = 0; i < count; ++i) {
      const Case& c = cases[i % cases.size()];
      if (c.state == State::Full) pairs[i].Fill();
      if (c.state == State::PeerClosed) pairs[i].ClosePeer();
      fds[i] = pairs[i].sender();
      texts[i] = "M" + std::to_string(i % 10) + "\r\n";  // 4 bytes, and the tail's 8
      pieces[2 * i] = {texts[i].data(), texts[i].size()};
      pieces[2 * i + 1] = {const_cast<char*>(kTail.data()), kTail.size()};
      messages[i] = {};
      messages[i].msg_iov = &pieces[2 * i];
      messages[i].msg_iovlen = 2;
    }
    ring.Send(fds.data(), messages.data(), results.data(), static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
      const Case& c = cases[i % cases.size()];
      EXPECT_EQ(results[i], c.expected) << count << " messages, message " << i;
      if (c.state == State::Open) {
        EXPECT_EQ(pairs[i].Received(), texts[i] + std::string(kTail));
      }
    }
  }
}

}  // namespace
}  // namespace fidora
