// The real server on free loopback ports, in a temporary data directory with its own runtime
// directory, driven over TCP.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/server_fixture.h"

namespace fidora {
namespace {

using std::chrono::milliseconds;
using test::FidoraProcess;
using test::LoopbackSocket;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

using ServerTest = test::ServerFixture;

TEST_F(ServerTest, SegmentedAndPipelinedRequestsAreAnsweredInOrder) {
  Start();
  LoopbackSocket terminal(port_);
  terminal.Send("NO");
  std::this_thread::sleep_for(milliseconds(50));
  terminal.Send("W");
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(terminal.Silent(milliseconds(100)));
  terminal.Send("\r\n");
  const auto now = terminal.ReadReply();
  ASSERT_EQ(now.size(), 3u);
  EXPECT_THAT(now[0], StartsWith("TIME\xA6"));
  EXPECT_THAT(now[1], StartsWith("DATE\xA6"));
  EXPECT_THAT(now[2], StartsWith("STAT\xA6OK\xA6"));

  terminal.Send(
      "now\r\nNAME\r\n\r\nvers\xA6"
      "15.17.23\r\n");
  EXPECT_THAT(terminal.ReadReply()[0], StartsWith("TIME\xA6"));
  EXPECT_THAT(terminal.ReadReply()[0], StartsWith("NAME\xA6"));
  EXPECT_THAT(terminal.ReadReply(),
              ElementsAre("VERS\xA6" FIDORA_EXPECTED_VERSION, StartsWith("STAT\xA6OK\xA6")));
}

TEST_F(ServerTest, ABlockArrivingByteByByteIsAnsweredOnceOnEitherPort) {
  Start();
  for (uint16_t port : {port_, second_port_}) {
    LoopbackSocket terminal(port);
    const std::string block =
        "B\xA6"
        "9\xA6"
        "C\r\nHELP\r\nX\r\n";
    for (size_t i = 0; i + 1 < block.size(); ++i) {
      terminal.Send(block.substr(i, 1));
      std::this_thread::sleep_for(milliseconds(2));
    }
    EXPECT_TRUE(terminal.Silent(milliseconds(100)));
    terminal.Send(block.substr(block.size() - 1));
    const auto help = terminal.ReadReply();
    ASSERT_EQ(help.size(), 25u) << port;
    EXPECT_EQ(help[2], "Available Commands");
    EXPECT_EQ(help[23], "\xA6TEXT");
    terminal.Send("NOW\r\n");  // nothing of the block is left over
    EXPECT_THAT(terminal.ReadReply()[0], StartsWith("TIME\xA6"));
  }
}

TEST_F(ServerTest, UnknownWordsAndBrokenBlockHeadersGetTheUnknownCommandLine) {
  Start();
  LoopbackSocket terminal(second_port_);
  terminal.Send(
      "foo\xA6x\r\nB\xA6zz\xA6"
      "C\r\nNOW\n");
  EXPECT_THAT(terminal.ReadReply(), ElementsAre("STAT\xA6Unknown Command - \"FOO\""));
  EXPECT_THAT(terminal.ReadReply(), ElementsAre("STAT\xA6Unknown Command - \"B\""));
  EXPECT_THAT(terminal.ReadReply(), ElementsAre("STAT\xA6Unknown Command - \"NO\""));
}

TEST_F(ServerTest, APeerResetIsSilentAndAFloodIsCutOff) {
  Start();
  {
    LoopbackSocket terminal(port_);
    terminal.Send("NOW\r\n");
    terminal.ReadReply();
    terminal.Reset();
  }
  LoopbackSocket flood(second_port_);
  LoopbackSocket bystander(port_);
  const std::string mebibyte(1 << 20, 'x');
  try {
    for (int i = 0; i < 65; ++i) flood.Send(mebibyte);
  } catch (const std::runtime_error&) {
    // The server may already have closed the connection.
  }
  EXPECT_TRUE(flood.ClosedByPeer(milliseconds(10000)));
  bystander.Send("NOW\r\n");
  EXPECT_EQ(bystander.ReadReply().size(), 3u);
  EXPECT_THAT(test::ReadFile(debug_dir() / "STATUS.TXT"),
              HasSubstr("FS Server - Connection from 127.0.0.1 closed: "));
  EXPECT_THAT(CrashReports(), Not(HasSubstr("socket error")));
}

TEST_F(ServerTest, APeerThatReadsLateGetsEveryReplyInOrderAndOthersAreServed) {
  Start();
  LoopbackSocket late(port_);
  constexpr int kRequests = 60000;  // about 17 MB of replies, far more than socket buffers hold
  std::string burst;
  for (int i = 0; i < kRequests; ++i) burst += i % 2 ? "HELP\r\n" : "foo\r\n";
  late.Send(burst);
  std::this_thread::sleep_for(milliseconds(300));
  LoopbackSocket bystander(second_port_);
  bystander.Send("NOW\r\n");
  EXPECT_EQ(bystander.ReadReply().size(), 3u);
  for (int i = 0; i < kRequests; ++i) {
    const auto reply = late.ReadReply();
    ASSERT_EQ(reply.size(), i % 2 ? 25u : 1u) << i;
  }
}

TEST_F(ServerTest, TerminalsPipeliningAtOnceGetEveryReplyInOrderBesideOneThatDoesNotRead) {
  Start();
  // Its HELP replies (some 20 MB) wait while the others are served in the same rounds.
  LoopbackSocket unread(port_);
  constexpr int kUnreadRequests = 20000;
  std::string unread_burst;
  for (int i = 0; i < kUnreadRequests; ++i) unread_burst += "HELP\r\n";
  unread.Send(unread_burst);

  // Each terminal sends its 1000 requests in one write: NOW (a block) and words that come back
  // in one-line replies naming the terminal and the request, so any reordering shows.
  constexpr int kTerminals = 20;
  constexpr int kRequests = 1000;
  std::vector<LoopbackSocket> terminals;
  for (int t = 0; t < kTerminals; ++t) terminals.emplace_back(t % 2 ? port_ : second_port_);
  auto word = [](int t, int r) { return "T" + std::to_string(t) + "R" + std::to_string(r); };
  for (int t = 0; t < kTerminals; ++t) {
    std::string burst;
    for (int r = 0; r < kRequests; ++r) burst += r % 3 == 0 ? "NOW\r\n" : word(t, r) + "\r\n";
    terminals[static_cast<size_t>(t)].Send(burst);
  }
  for (int t = 0; t < kTerminals; ++t) {
    for (int r = 0; r < kRequests; ++r) {
      const auto reply = terminals[static_cast<size_t>(t)].ReadReply();
      if (r % 3 == 0) {
        ASSERT_EQ(reply.size(), 3u) << t << " " << r;
        ASSERT_THAT(reply[0], StartsWith("TIME\xA6")) << t << " " << r;
      } else {
        ASSERT_THAT(reply, ElementsAre("STAT\xA6Unknown Command - \"" + word(t, r) + "\""));
      }
    }
  }
  for (int i = 0; i < kUnreadRequests; ++i) {
    const auto reply = unread.ReadReply();
    ASSERT_EQ(reply.size(), 25u) << i;
    ASSERT_EQ(reply[2], "Available Commands") << i;
  }
}

TEST_F(ServerTest, ASecondInstanceIsRefusedAndTheFirstGoesOn) {
  Start();
  FidoraProcess second(root_.path(), runtime_dir(),
                       {"--headless", "--data-dir", data_dir().string(), "--port",
                        std::to_string(test::FreeLoopbackPort()), "--second-port",
                        std::to_string(test::FreeLoopbackPort())});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_THAT(second.Stderr(), HasSubstr("Fidora is already running."));
  LoopbackSocket terminal(port_);
  terminal.Send("NOW\r\n");
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
}

TEST_F(ServerTest, AServerThatDiedDoesNotBlockTheNextStart) {
  {
    const uint16_t port = test::FreeLoopbackPort();
    FidoraProcess crashed(
        root_.path(), runtime_dir(),
        {"--headless", "--data-dir", data_dir().string(), "--port", std::to_string(port),
         "--second-port", std::to_string(test::FreeLoopbackPort())});
    ASSERT_TRUE(crashed.WaitUntilListening(port));
    crashed.Signal(SIGKILL);
    crashed.Wait();
  }
  Start();
  LoopbackSocket terminal(port_);
  terminal.Send("NOW\r\n");
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
}

TEST_F(ServerTest, SigtermAndSigintShutDownInOrder) {
  for (int number : {SIGTERM, SIGINT}) {
    auto server = Start();
    LoopbackSocket terminal(port_);
    server->Signal(number);
    EXPECT_EQ(server->Wait(), 0) << server->Stderr();
    EXPECT_TRUE(terminal.ClosedByPeer(milliseconds(2000)));
  }
  const std::string status = test::ReadFile(debug_dir() / "STATUS.TXT");
  const std::string started = "FS Server - Fidora Started : V" FIDORA_EXPECTED_VERSION "\r\n";
  const std::string shutdown = "FS Server - Server Shutdown\r\n";
  ASSERT_THAT(status, HasSubstr(started));
  EXPECT_LT(status.find(started), status.find(shutdown));
  EXPECT_EQ(status.size() - status.rfind(shutdown), shutdown.size());  // the last line
  // Each of the two runs: started, who may connect, shutdown.
  EXPECT_EQ(std::count(status.begin(), status.end(), '\n'), 6);
}

TEST_F(ServerTest, TheDebugBreakWritesAReportAndTheServerGoesOn) {
  FidoraProcess* server = Start();
  server->Signal(SIGUSR1);
  for (int i = 0; i < 100 && CrashReports().empty(); ++i)
    std::this_thread::sleep_for(milliseconds(20));
  const std::string report = CrashReports();
  EXPECT_THAT(report, HasSubstr("Debug break by user pressed Ctrl+Shift+End"));
  EXPECT_THAT(report, HasSubstr("Stack:"));
  LoopbackSocket terminal(port_);
  terminal.Send("NOW\r\n");
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
}

TEST_F(ServerTest, TheTransactionLogCanBeSwitchedOnAtStart) {
  auto server = Start({"--log-transactions"});
  LoopbackSocket terminal(port_);
  terminal.Send("foo\r\n");
  terminal.ReadReply();
  server->Signal(SIGTERM);
  server->Wait();
  EXPECT_EQ(test::ReadFile(root_ / "tx.log"),
            "IN\r\nfoo\r\n\r\nOUT\r\nSTAT\xA6Unknown Command - \"FOO\"\r\n\r\n");
}

TEST_F(ServerTest, WithoutAValidDataDirectoryItEndsWithStatus2) {
  std::filesystem::create_directories(root_ / "empty");
  FidoraProcess server(root_.path(), runtime_dir(),
                       {"--headless", "--data-dir", (root_ / "empty").string(), "--port",
                        std::to_string(test::FreeLoopbackPort()), "--second-port",
                        std::to_string(test::FreeLoopbackPort())});
  EXPECT_EQ(server.Wait(), 2);
  EXPECT_THAT(server.Stderr(), HasSubstr("--data-dir"));
  EXPECT_THAT(server.Stderr(), HasSubstr("POSPATH"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "empty" / "Debug"));

  // A directory name beyond 80 characters is cut, and the message says why it failed.
  const auto deep = data_dir() / std::string(90, 'd');
  std::filesystem::create_directories(deep);
  std::ofstream(deep / "TRACKER.DBF") << "placeholder";
  FidoraProcess too_long(root_.path(), runtime_dir(),
                         {"--headless", "--data-dir", deep.string(), "--port",
                          std::to_string(test::FreeLoopbackPort()), "--second-port",
                          std::to_string(test::FreeLoopbackPort())});
  EXPECT_EQ(too_long.Wait(), 2);
  EXPECT_THAT(too_long.Stderr(), HasSubstr("at most 80 characters"));
}

TEST_F(ServerTest, TheConfigurationFileNamesTheDataDirectory) {
  const auto cfg = root_ / "vorlund.cfg";
  std::ofstream(cfg, std::ios::binary) << "[Alias]\r\nPOSPATH=" << data_dir().string() << "\r\n";
  const uint16_t port = test::FreeLoopbackPort();
  FidoraProcess server(root_.path(), runtime_dir(),
                       {"--headless", "--config", cfg.string(), "--port", std::to_string(port),
                        "--second-port", std::to_string(test::FreeLoopbackPort())});
  ASSERT_TRUE(server.WaitUntilListening(port)) << server.Stderr();
  LoopbackSocket terminal(port);
  terminal.Send("NOW\r\n");
  EXPECT_EQ(terminal.ReadReply().size(), 3u);
  EXPECT_THAT(server.Stderr(), HasSubstr("Set Data Path : " + data_dir().string() + "/"));
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
}

}  // namespace
}  // namespace fidora
