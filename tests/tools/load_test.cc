// fidora-load run as a real process against a fake server on a loopback port.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>

#include "child_process.h"
#include "fake_server.h"
#include "support/wire_text.h"

namespace fidora::test {
namespace {

using namespace std::chrono_literals;

const std::string kNowBlock = "B|43|C\r\nTIME|10:00:00\r\nDATE|01/02/2021\r\nSTAT|OK|0\r\n"_w;

struct Summary {
  bool matched = false;
  long long rate = 0, p50 = 0, p99 = 0, errors = -1;
};

Summary ParseSummary(const std::string& out) {
  static const std::regex line(
      R"(^requests/s: (\d+)  p50_us: (\d+)  p99_us: (\d+)  errors: (\d+)\n$)");
  std::smatch m;
  Summary s;
  if (!std::regex_match(out, m, line)) return s;
  s.matched = true;
  s.rate = std::stoll(m[1]);
  s.p50 = std::stoll(m[2]);
  s.p99 = std::stoll(m[3]);
  s.errors = std::stoll(m[4]);
  return s;
}

std::vector<std::string> LoadArgs(int port, int connections, long long requests,
                                  std::vector<std::string> rest = {"NOW"}) {
  std::vector<std::string> args{
      Program("tools/load/fidora-load"), "--port",     std::to_string(port),    "--connections",
      std::to_string(connections),       "--requests", std::to_string(requests)};
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

TEST(Load, SendsExactlyTheRequestsAskedForOverEveryConnection) {
  FakeServer server([](const std::string&, long long) { return Answer{{{kNowBlock, {}}}}; });
  ChildProcess load(LoadArgs(server.port(), 4, 300));
  EXPECT_EQ(load.Wait(), 0) << load.err();
  const Summary summary = ParseSummary(load.out());
  ASSERT_TRUE(summary.matched) << load.out();
  EXPECT_EQ(summary.errors, 0);
  EXPECT_GT(summary.rate, 0);
  EXPECT_LE(summary.p50, summary.p99);
  EXPECT_EQ(server.requests().size(), 300u);
  EXPECT_EQ(server.connections(), 4);
  for (const auto& request : server.requests()) ASSERT_EQ(request, "NOW\r\n");
}

// A connection sends its next request only after the whole reply: progress lines first, then a
// block that arrives in pieces. Before the last piece goes out the server looks whether the
// client has already sent something on that connection.
TEST(Load, WaitsForTheCompleteReplyBeforeTheNextRequest) {
  std::atomic<int> early{0};
  const std::string rest_of_reply = kNowBlock.substr(0, kNowBlock.size() - 3);
  FakeServer server([&](const std::string&, long long) {
    Answer answer;
    answer.chunks.push_back({"PROGRESS|50%\r\n"_w, {}});
    for (auto& chunk : FakeServer::InPieces(rest_of_reply, 11)) answer.chunks.push_back(chunk);
    answer.chunks.push_back({kNowBlock.substr(kNowBlock.size() - 3), [&](int fd) {
                               ::usleep(3000);
                               pollfd waiting{fd, POLLIN, 0};
                               if (::poll(&waiting, 1, 0) > 0) ++early;
                             }});
    return answer;
  });
  ChildProcess load(LoadArgs(server.port(), 3, 30));
  EXPECT_EQ(load.Wait(), 0) << load.err();
  EXPECT_EQ(ParseSummary(load.out()).errors, 0) << load.out();
  EXPECT_EQ(early.load(), 0);
  EXPECT_EQ(server.requests().size(), 30u);
}

// {n} steps through the range, one number per request sent, over all connections, and comes
// round again; a block request gets the length of its payload with the numbers in it.
TEST(Load, ReplacesTheNumberMarkWithNumbersSteppingThroughTheRange) {
  FakeServer server([](const std::string&, long long) {
    return Answer{{{"STAT|OK|0\r\n"_w, {}}}};
  });
  ChildProcess text(
      LoadArgs(server.port(), 1, 5, {"--range", "8-10", "SHOPPER\xC2\xA6SEQ\xC2\xA6{n}"}));
  EXPECT_EQ(text.Wait(), 0) << text.err();
  ChildProcess block(LoadArgs(server.port(), 1, 2, {"--range", "99-100", "-"}),
                     "SHOPPER\xC2\xA6READEX\xC2\xA6{n}\nX={n}{n}\n");
  EXPECT_EQ(block.Wait(), 0) << block.err();
  const std::vector<std::string> expected = {"SHOPPER|SEQ|8\r\n"_w,
                                             "SHOPPER|SEQ|9\r\n"_w,
                                             "SHOPPER|SEQ|10\r\n"_w,
                                             "SHOPPER|SEQ|8\r\n"_w,
                                             "SHOPPER|SEQ|9\r\n"_w,
                                             "B|27|C\r\nSHOPPER|READEX|99\r\nX=9999\r\n"_w,
                                             "B|30|C\r\nSHOPPER|READEX|100\r\nX=100100\r\n"_w};
  EXPECT_EQ(server.requests(), expected);
}

TEST(Load, CountsRequestsWithoutASuccessfulReplyAsErrors) {
  struct Case {
    const char* name;
    FakeServer::Responder respond;
    long long errors;
    long long requests_seen;  // by the server
  };
  const std::vector<Case> cases = {
      {"failure replies",
       [](const std::string&, long long) {
         return Answer{{{"STAT|Unknown Command - \"FOO\"\r\n"_w, {}}}};
       },
       20, 20},
      // The sixth request is never answered: its connection closes, the other one goes on.
      {"a connection closed under a request",
       [](const std::string&, long long index) {
         return index == 5 ? Answer{{}, true} : Answer{{{"STAT|OK|0\r\n"_w, {}}}};
       },
       1, 20},
  };
  for (const Case& c : cases) {
    FakeServer server(c.respond);
    ChildProcess load(LoadArgs(server.port(), 2, 20, {"FOO"}));
    EXPECT_EQ(load.Wait(), 1) << c.name;
    EXPECT_EQ(ParseSummary(load.out()).errors, c.errors) << c.name << ": " << load.out();
    EXPECT_EQ(static_cast<long long>(server.requests().size()), c.requests_seen) << c.name;
    EXPECT_FALSE(load.err().empty()) << c.name;
  }
}

TEST(Load, AnotherServersReplyCountsWhenItIsTheExpectedOne) {
  FakeServer server([](const std::string&, long long) { return Answer{{{"+PONG\r\n", {}}}}; });
  ChildProcess expecting(LoadArgs(server.port(), 2, 20, {"--expect", "+PONG", "PING"}));
  EXPECT_EQ(expecting.Wait(), 0) << expecting.err();
  EXPECT_EQ(ParseSummary(expecting.out()).errors, 0) << expecting.out();
  ChildProcess plain(LoadArgs(server.port(), 2, 20, {"PING"}));
  EXPECT_EQ(plain.Wait(), 1);
  EXPECT_EQ(ParseSummary(plain.out()).errors, 20) << plain.out();
  EXPECT_NE(plain.err().find("20 replies did not end with STAT\xC2\xA6OK\xC2\xA6"),
            std::string::npos)
      << plain.err();
}

TEST(Load, StopsAtItsTimeLimitWhenNoReplyComes) {
  FakeServer server([](const std::string&, long long) { return Answer{}; });
  const auto started = std::chrono::steady_clock::now();
  ChildProcess load(LoadArgs(server.port(), 3, 50, {"--timeout", "0.5", "NOW"}));
  EXPECT_EQ(load.Wait(10s), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_EQ(ParseSummary(load.out()).errors, 50) << load.out();
  EXPECT_EQ(server.requests().size(), 3u);
}

TEST(Load, ExitsWithTwoOnBadUsageOrNoServer) {
  const std::string unused = std::to_string(UnusedPort());
  {
    ChildProcess load(LoadArgs(UnusedPort(), 2, 10));
    EXPECT_EQ(load.Wait(), 2);
    EXPECT_EQ(ParseSummary(load.out()).errors, 10) << load.out();
  }
  const std::string program = Program("tools/load/fidora-load");
  const std::vector<std::vector<std::string>> cases = {
      {program, "--connections", "1", "--requests", "1", "NOW"},
      {program, "--port", unused, "--requests", "1", "NOW"},
      {program, "--port", unused, "--connections", "1", "NOW"},
      {program, "--port", unused, "--connections", "1", "--requests", "1"},
      {program, "--port", unused, "--connections", "1001", "--requests", "1", "NOW"},
      {program, "--port", unused, "--connections", "0", "--requests", "1", "NOW"},
      {program, "--port", unused, "--connections", "1", "--requests", "20000001", "NOW"},
      {program, "--port", unused, "--connections", "1", "--requests", "1", "--timeout", "x", "NOW"},
      {program, "--port", unused, "--connections", "1", "--requests", "1", ""},
      {program, "--port", unused, "--connections", "1", "--requests", "1", "SEQ|{n}"},
      {program, "--port", unused, "--connections", "1", "--requests", "1", "--range", "1-2", "NOW"},
      {program, "--port", unused, "--connections", "1", "--requests", "1", "--range", "5-1", "{n}"},
      {program, "--port", unused, "--connections", "1", "--requests", "1", "--range", "x", "{n}"},
  };
  for (const auto& args : cases) {
    ChildProcess load(args);
    EXPECT_EQ(load.Wait(), 2) << args.size();
    EXPECT_EQ(load.out(), "");
    EXPECT_FALSE(load.err().empty());
  }
}

}  // namespace
}  // namespace fidora::test
