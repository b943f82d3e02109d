// Who may connect: the allow-list's parsing and matching, and the real server refusing a
// machine that is not on it, listening on one address, and warning when every machine may
// connect.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/terminal_access.h"
#include "support/server_fixture.h"

namespace fidora {
namespace {

using testing::HasSubstr;
using testing::Not;

TEST(TerminalAccess, MatchesAddressesAndNetworks) {
  const TTerminalAccess access = TTerminalAccess::Parse(" 192.168.1.0/24, 10.0.0.7 172.16.0.0/12,");
  EXPECT_TRUE(access.Restricted());
  EXPECT_EQ(access.Text(), "192.168.1.0/24, 10.0.0.7/32, 172.16.0.0/12");
  const struct {
    const char* peer;
    bool allowed;
  } cases[] = {
      {"192.168.1.0", true},   {"192.168.1.255", true}, {"192.168.2.1", false},
      {"10.0.0.7", true},      {"10.0.0.8", false},     {"172.31.255.255", true},
      {"172.32.0.0", false},   {"", false},             {"not an address", false},
  };
  for (const auto& c : cases) EXPECT_EQ(access.Allows(c.peer), c.allowed) << c.peer;
  // Host bits of a network are cleared; /0 is every machine, as is an empty list.
  EXPECT_EQ(TTerminalAccess::Parse("10.1.2.3/8").Text(), "10.0.0.0/8");
  EXPECT_TRUE(TTerminalAccess::Parse("0.0.0.0/0").Allows("8.8.8.8"));
  EXPECT_FALSE(TTerminalAccess::Parse("").Restricted());
  EXPECT_TRUE(TTerminalAccess::Parse("").Allows("8.8.8.8"));
}

TEST(TerminalAccess, RefusesWhatIsNotAnAddressOrNetwork) {
  for (const char* list : {"10.0.0.1/33", "10.0.0.1/", "10.0.0/24", "host.example", "10.0.0.1/x",
                           "::1", "10.0.0.1,,300.1.1.1"}) {
    try {
      TTerminalAccess::Parse(list);
      ADD_FAILURE() << list << " was accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_THAT(e.what(), HasSubstr("is not an IPv4 address or network")) << list;
    }
  }
}

// Sends NOW from the local address `source` and returns the first reply line (the block's
// header); empty when the server closed the connection without a reply.
std::string NowFrom(const char* source, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
      ::send(fd, "NOW\r\n", 5, MSG_NOSIGNAL) == 5) {
    pollfd wait{fd, POLLIN, 0};
    char buffer[256];
    while (reply.find("\r\n") == std::string::npos && ::poll(&wait, 1, 5000) == 1) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      reply.append(buffer, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  return reply.substr(0, reply.find("\r\n"));
}

class TerminalAccessServer : public test::ServerFixture {};

TEST_F(TerminalAccessServer, OnlyAllowedTerminalsAreServed) {
  test::FidoraProcess* server = Start(Config("[Fidora]\r\nAllowedTerminals=127.0.0.1\r\n"));
  EXPECT_NE(NowFrom("127.0.0.1", port_), "");
  EXPECT_EQ(NowFrom("127.0.0.2", port_), "");
  EXPECT_EQ(NowFrom("127.0.0.3", second_port_), "");
  EXPECT_NE(NowFrom("127.0.0.1", second_port_), "");
  // One line for the first refusal; the next in the same minute are only counted.
  EXPECT_THAT(StatusLog(), HasSubstr("Connection from 127.0.0.2 refused: not an allowed "
                                     "terminal address"));
  EXPECT_THAT(StatusLog(), Not(HasSubstr("127.0.0.3")));
  EXPECT_THAT(StatusLog(), HasSubstr("Terminals allowed to connect: 127.0.0.1/32"));
  EXPECT_THAT(server->Stderr(), Not(HasSubstr("Every machine")));
  EXPECT_EQ(CrashReports(), "");
}

TEST_F(TerminalAccessServer, TheOptionOverridesTheFileAndTakesNetworks) {
  std::vector<std::string> args = Config("[Fidora]\r\nAllowedTerminals=10.0.0.1\r\n");
  args.insert(args.end(), {"--allow", "127.0.0.0/30"});
  Start(args);
  EXPECT_NE(NowFrom("127.0.0.2", port_), "");
  EXPECT_NE(NowFrom("127.0.0.3", port_), "");
  EXPECT_EQ(NowFrom("127.0.0.4", port_), "");
}

TEST_F(TerminalAccessServer, WithoutAListEveryMachineIsServedAndTheStartSaysSo) {
  test::FidoraProcess* server = Start();
  EXPECT_NE(NowFrom("127.0.0.9", port_), "");
  const std::string warning = "Every machine that can reach ports " + std::to_string(port_) +
                              " and " + std::to_string(second_port_) +
                              " may read and change shopper data";
  EXPECT_THAT(StatusLog(), HasSubstr(warning));
  EXPECT_THAT(server->Stderr(), HasSubstr(warning));
}

TEST_F(TerminalAccessServer, ListensOnTheGivenAddressOnly) {
  Start({"--listen", "127.0.0.1"});
  // A client aimed at another loopback address finds nobody listening there.
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in other{};
  other.sin_family = AF_INET;
  other.sin_port = htons(port_);
  ::inet_pton(AF_INET, "127.0.0.2", &other.sin_addr);
  EXPECT_NE(::connect(fd, reinterpret_cast<sockaddr*>(&other), sizeof other), 0);
  ::close(fd);
  EXPECT_NE(NowFrom("127.0.0.1", port_), "");
}

TEST(TerminalAccessStart, ASettingThatCannotBeReadStopsTheStart) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "run");
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--allow", "192.168.1.0/33"},
        std::vector<std::string>{"--listen", "localhost"}}) {
    std::vector<std::string> args = {"--headless", "--data-dir", dir.path().string(), "--port",
                                     std::to_string(test::FreeLoopbackPort())};
    args.insert(args.end(), bad.begin(), bad.end());
    test::FidoraProcess server(dir.path(), dir.path() / "run", args);
    EXPECT_EQ(server.Wait(), 1) << bad[0];
    EXPECT_THAT(server.Stderr(), HasSubstr("Fidora cannot start: " + bad[0] + ": "));
  }
}

}  // namespace
}  // namespace fidora
