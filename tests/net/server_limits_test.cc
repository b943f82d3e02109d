// The connection layer's bounds, tried on the real server the way a hostile or broken peer
// would: slow and stalled requests, more connections than slots, a burst of connections, a
// peer that never reads, large unfinished requests, a huge block of short lines, half-close
// and keepalive.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/server_fixture.h"

namespace fidora {
namespace {

using std::chrono::milliseconds;
using test::LoopbackSocket;
using testing::HasSubstr;
using testing::Not;

constexpr int64_t kMiB = 1 << 20;

// Under AddressSanitizer freed memory stays in quarantine and every block carries guard zones:
// the server's memory figures say nothing there, only its behaviour does.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kMemoryFiguresHold = false;
#else
constexpr bool kMemoryFiguresHold = true;
#endif

// A figure of /proc/PID/status ("VmRSS", "VmHWM") in bytes.
int64_t ProcessMemory(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    std::istringstream value(line.substr(field.size() + 1));
    int64_t kib = 0;
    value >> kib;
    return kib * 1024;
  }
  return -1;
}

// Waits until `done` holds (polling), at most `limit`.
template <typename Done>
bool WaitFor(Done done, milliseconds limit = milliseconds(10000)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Non-blocking connections started at once; `Established` tells which completed.
class ConnectionBurst {
 public:
  ConnectionBurst(uint16_t port, int count) {
    for (int i = 0; i < count; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(port);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fds_.push_back(fd);
    }
  }
  ~ConnectionBurst() {
    for (int fd : fds_) ::close(fd);
  }
  // Connections whose handshake completed within `wait`.
  int Established(milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    int done = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      done = 0;
      for (int fd : fds_) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (::poll(&p, 1, 0) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
            error == 0)
          ++done;
      }
      if (done == static_cast<int>(fds_.size())) break;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return done;
  }
  // Sends NOW on every connection and sorts them: a reply came, or the server closed it
  // without one. Waits at most `wait` for all of them.
  void Ask(milliseconds wait, int& answered, int& closed) {
    for (int fd : fds_) ::send(fd, "NOW\r\n", 5, MSG_NOSIGNAL);
    std::vector<int> state(fds_.size(), 0);  // 0 waiting, 1 answered, 2 closed
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::count(state.begin(), state.end(), 0) > 0 &&
           std::chrono::steady_clock::now() < deadline) {
      for (size_t i = 0; i < fds_.size(); ++i) {
        if (state[i] != 0) continue;
        char buffer[256];
        const ssize_t n = ::recv(fds_[i], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) state[i] = 1;
        if (n == 0 || (n < 0 && errno != EAGAIN)) state[i] = 2;
      }
      std::this_thread::sleep_for(milliseconds(10));
    }
    answered = static_cast<int>(std::count(state.begin(), state.end(), 1));
    closed = static_cast<int>(std::count(state.begin(), state.end(), 2));
  }

 private:
  std::vector<int> fds_;
};

int SystemListenBacklog() {
  std::ifstream in("/proc/sys/net/core/somaxconn");
  int value = 128;
  in >> value;
  return value;
}

class ServerLimitsTest : public test::ServerFixture {};

TEST_F(ServerLimitsTest, StalledPartialLinesLoseTheirSlotsSlowOnesThatFinishAreAnswered) {
  Start(Config("[Fidora]\r\nStallTimeoutSeconds=1\r\n"));
  // Every slot held by a request trickling in a byte at a time and never finished.
  std::vector<LoopbackSocket> trickles;
  for (int i = 0; i < 200; ++i) {
    trickles.emplace_back(i % 2 ? port_ : second_port_);
    trickles.back().Send("N");
  }
  for (int round = 0; round < 8; ++round) {
    std::this_thread::sleep_for(milliseconds(300));
    for (auto& trickle : trickles) {
      try {
        trickle.Send("x");
      } catch (const std::runtime_error&) {
        // already closed by the server
      }
    }
  }
  for (auto& trickle : trickles) EXPECT_TRUE(trickle.ClosedByPeer(milliseconds(100)));

  // A request that arrives slowly but finishes within the timeout is answered.
  LoopbackSocket terminal(port_);
  for (const char* piece : {"N", "O", "W\r\n"}) {
    terminal.Send(piece);
    std::this_thread::sleep_for(milliseconds(300));
  }
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
  EXPECT_THAT(StatusLog(), HasSubstr("FS Server - Connection from 127.0.0.1 closed: no progress "
                                     "for 1 s ("));
  EXPECT_EQ(CrashReports(), "");
}

TEST_F(ServerLimitsTest, ABurstOf250IsQueuedWholeAndThoseBeyond200AreClosedAtOnce) {
  test::FidoraProcess* server = Start();
  // While the server cannot accept, the kernel completes as many handshakes as the listen
  // backlog allows; the rest would wait for SYN retries, a second and more each.
  server->Signal(SIGSTOP);
  ConnectionBurst burst(port_, 250);
  const int queued = burst.Established(milliseconds(800));
  server->Signal(SIGCONT);
  EXPECT_GE(queued, std::min(250, SystemListenBacklog() + 1));

  ASSERT_EQ(burst.Established(milliseconds(10000)), 250);
  int answered = 0;
  int closed = 0;
  burst.Ask(milliseconds(10000), answered, closed);
  EXPECT_EQ(answered, 200);
  EXPECT_EQ(closed, 50);
  EXPECT_EQ(CountOf(StatusLog(), "refused: all 200 connection slots are in use"), 1) << StatusLog();
  EXPECT_EQ(CrashReports(), "");
}

TEST_F(ServerLimitsTest, APeerThatNeverReadsIsHeldBackThenClosedWhileOthersAreServed) {
  test::FidoraProcess* server = Start(Config("[Fidora]\r\nStallTimeoutSeconds=2\r\n"));
  const int64_t before = ProcessMemory(server->pid(), "VmRSS");
  LoopbackSocket deaf(port_);
  std::string burst;
  for (int i = 0; i < 60000; ++i) burst += i % 2 ? "HELP\r\n" : "foo\r\n";
  std::thread sender([&] {
    try {
      deaf.Send(burst);  // blocks once the server stops reading
    } catch (const std::runtime_error&) {
      // closed by the server
    }
  });
  std::this_thread::sleep_for(milliseconds(500));
  LoopbackSocket bystander(second_port_);
  bystander.Send("NOW\r\n");
  EXPECT_EQ(bystander.ReadReply().size(), 3u);
  // Replies wait in socket buffers and a bounded queue, not in ever more memory.
  if (kMemoryFiguresHold) {
    EXPECT_LT(ProcessMemory(server->pid(), "VmRSS") - before, 16 * kMiB);
  }

  EXPECT_TRUE(WaitFor([&] { return StatusLog().find("no progress for 2 s") != std::string::npos; }))
      << StatusLog();
  ::shutdown(deaf.fd(), SHUT_RDWR);  // lets the sender thread end
  sender.join();
  bystander.Send("NOW\r\n");
  EXPECT_EQ(bystander.ReadReply().size(), 3u);
}

TEST_F(ServerLimitsTest, LargeUnfinishedLinesStayWithinTheBudgetAndGoBackWhenClosed) {
  // 20 peers with 6 MiB each against a budget of 64 MiB (the default is 256).
  test::FidoraProcess* server = Start(Config("[Fidora]\r\nMemoryBudgetMiB=64\r\n"));
  const pid_t pid = server->pid();
  const int64_t before = ProcessMemory(pid, "VmRSS");
  std::vector<LoopbackSocket> holders;
  const std::string piece(kMiB, 'x');
  for (int i = 0; i < 20; ++i) {
    holders.emplace_back(port_);
    try {
      for (int mib = 0; mib < 6; ++mib) holders.back().Send(piece);  // no line end
    } catch (const std::runtime_error&) {
      // closed by the server to stay within its budget
    }
  }
  EXPECT_TRUE(WaitFor([&] {
    return CountOf(StatusLog(), "more than the memory budget of 67108864") >= 6;
  })) << StatusLog();
  const int64_t peak = ProcessMemory(pid, "VmHWM");
  if (kMemoryFiguresHold) {
    EXPECT_LT(peak - before, 64 * kMiB + 24 * kMiB);
  }

  holders.clear();
  LoopbackSocket probe(second_port_);
  probe.Send("NOW\r\n");
  EXPECT_EQ(probe.ReadReply().size(), 3u);
  if (kMemoryFiguresHold) {
    EXPECT_TRUE(WaitFor([&] { return ProcessMemory(pid, "VmRSS") - before < 20 * kMiB; },
                        milliseconds(5000)))
        << "before " << before << ", peak " << peak << ", after " << ProcessMemory(pid, "VmRSS");
  }
  EXPECT_EQ(CrashReports(), "");
}

TEST_F(ServerLimitsTest, AHugeBlockOfShortLinesNeitherBalloonsNorHoldsUpOthers) {
  test::FidoraProcess* server = Start();
  const pid_t pid = server->pid();
  const int64_t rss_before = ProcessMemory(pid, "VmRSS");
  const int64_t peak_before = ProcessMemory(pid, "VmHWM");
  std::string payload = "NOW\r\n";
  while (payload.size() < 30 * kMiB) payload += "abc\r\n";
  const std::string block = "B\xA6" + std::to_string(payload.size()) + "\xA6" + "C\r\n" + payload;

  std::atomic<bool> answered = false;
  std::thread sender([&] {
    LoopbackSocket bulk(port_);
    bulk.Send(block);
    EXPECT_EQ(bulk.ReadReply(milliseconds(30000)).size(), 3u);
    answered = true;
  });
  LoopbackSocket terminal(second_port_);
  milliseconds slowest{0};
  while (!answered) {
    const auto sent = std::chrono::steady_clock::now();
    terminal.Send("NOW\r\n");
    ASSERT_EQ(terminal.ReadReply().size(), 3u);
    slowest = std::max(
        slowest, std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - sent));
  }
  sender.join();
  EXPECT_LT(slowest, milliseconds(1000));

  if (!kMemoryFiguresHold) return;
  EXPECT_LT(ProcessMemory(pid, "VmHWM") - peak_before,
            5 * static_cast<int64_t>(payload.size()) / 2);
  // Nothing of the block is kept once it has been answered.
  EXPECT_TRUE(WaitFor([&] { return ProcessMemory(pid, "VmRSS") - rss_before < 20 * kMiB; },
                      milliseconds(5000)));
}

TEST_F(ServerLimitsTest, RequestsBeforeAHalfCloseAreAnsweredThenTheConnectionCloses) {
  Start();
  LoopbackSocket terminal(port_);
  terminal.Send("NOW\r\nNAME\r\nNO");
  ::shutdown(terminal.fd(), SHUT_WR);
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
  EXPECT_THAT(terminal.ReadReply(), testing::Contains(testing::StartsWith("NAME\xA6")));
  EXPECT_TRUE(terminal.ClosedByPeer(milliseconds(2000)));

  LoopbackSocket block(second_port_);
  block.Send(
      "B\xA6"
      "6\xA6"
      "C\r\nHELP\r\n");
  ::shutdown(block.fd(), SHUT_WR);
  EXPECT_EQ(block.ReadReply().size(), 25u);
  EXPECT_TRUE(block.ClosedByPeer(milliseconds(2000)));

  // A peer that half-closes and then goes away while its replies are still being sent is gone,
  // not a fault: no crash report.
  for (int i = 0; i < 3; ++i) {
    LoopbackSocket quitter(port_);
    std::string burst;
    for (int n = 0; n < 20000; ++n) burst += "NOW\r\n";
    quitter.Send(burst);
    ::shutdown(quitter.fd(), SHUT_WR);
    quitter.ReadReply();
    quitter.Reset();
  }
  LoopbackSocket after(port_);
  after.Send("NOW\r\n");
  EXPECT_EQ(after.ReadReply().size(), 3u);
  EXPECT_EQ(CrashReports(), "");
}

// The server side of a connection from `client_port`: its timer column of /proc/net/tcp
// ("tr:when", both hexadecimal), empty when not found.
std::string ServerSocketTimer(uint16_t server_port, uint16_t client_port) {
  std::ifstream in("/proc/net/tcp");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer;
    fields >> slot >> local >> remote >> state >> queues >> timer;
    const auto port_of = [](const std::string& address) {
      return static_cast<uint16_t>(std::stoul(address.substr(address.find(':') + 1), nullptr, 16));
    };
    if (port_of(local) == server_port && port_of(remote) == client_port) return timer;
  }
  return {};
}

TEST_F(ServerLimitsTest, AcceptedConnectionsProbeASilentPeerAfterAMinute) {
  Start();
  LoopbackSocket terminal(port_);
  terminal.Send("NOW\r\n");
  terminal.ReadReply();
  sockaddr_in local{};
  socklen_t length = sizeof local;
  ::getsockname(terminal.fd(), reinterpret_cast<sockaddr*>(&local), &length);
  const std::string timer = ServerSocketTimer(port_, ntohs(local.sin_port));
  ASSERT_FALSE(timer.empty());
  EXPECT_EQ(timer.substr(0, 3), "02:");                                  // the keepalive timer runs
  const unsigned long ticks = std::stoul(timer.substr(3), nullptr, 16);  // 1/100 s
  EXPECT_GT(ticks, 50 * 100u);
  EXPECT_LE(ticks, 60 * 100u);
}

}  // namespace
}  // namespace fidora
