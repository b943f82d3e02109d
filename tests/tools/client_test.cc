// fidora-client run as a real process against a fake server on a loopback port.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "child_process.h"
#include "fake_server.h"
#include "support/temp_dir.h"
#include "support/wire_text.h"

namespace fidora::test {
namespace {

using namespace std::chrono_literals;

const std::string kNowBlock = "B|43|C\r\nTIME|10:00:00\r\nDATE|01/02/2021\r\nSTAT|OK|0\r\n"_w;

Answer Fixed(std::vector<Chunk> chunks, bool close = false) {
  return Answer{std::move(chunks), close};
}

std::vector<std::string> ClientArgs(const FakeServer& server, std::vector<std::string> rest) {
  std::vector<std::string> args{Program("tools/client/fidora-client"), "--port",
                                std::to_string(server.port())};
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

// Replies as the server sends them, each cut into small reads, and what the client prints.
TEST(Client, PrintsRepliesDecodedOrRaw) {
  struct Case {
    const char* name;
    std::string reply;
    std::string printed;  // decoded
  };
  const std::vector<Case> cases = {
      {"one-line reply", "STAT|Unknown Command - \"FOO\"\r\n"_w,
       "STAT\u00A6Unknown Command - \"FOO\"\n"},
      {"block reply", kNowBlock,
       "TIME\u00A6"
       "10:00:00\nDATE\u00A6"
       "01/02/2021\nSTAT\u00A6OK\u00A6"
       "0\n"},
      {"progress before the reply", "PROGRESS|Start\r\nPROGRESS|+50%\r\nSTAT|OK|7\r\n"_w,
       "PROGRESS\u00A6Start\nPROGRESS\u00A6+50%\nSTAT\u00A6OK\u00A6"
       "7\n"},
      {"Windows-1252 text", "B|13|C\r\nNAME|\xC9t\x80\r\nX\r\n"_w, "NAME\u00A6\u00C9t\u20AC\nX\n"},
      {"control characters", "\x1B[2J\rX\r\n", "\\x1B[2J\\x0DX\n"},
  };
  for (const Case& c : cases) {
    for (const bool raw : {false, true}) {
      FakeServer server(
          [&](const std::string&, long long) { return Fixed(FakeServer::InPieces(c.reply, 5)); });
      std::vector<std::string> rest{"--timeout", "5", "NOW"};
      if (raw) rest.insert(rest.begin(), "--raw");
      ChildProcess client(ClientArgs(server, rest));
      EXPECT_EQ(client.Wait(), 0) << c.name << client.err();
      EXPECT_EQ(client.out(), raw ? c.reply : c.printed) << c.name << (raw ? " raw" : "");
      EXPECT_EQ(server.requests(), std::vector<std::string>{"NOW\r\n"}) << c.name;
    }
  }
}

TEST(Client, PrintsProgressLinesBeforeTheReplyArrives) {
  std::promise<void> seen;
  auto seen_future = seen.get_future();
  FakeServer server([&](const std::string&, long long) {
    return Fixed({{"PROGRESS|Reindex TRAKNUM\r\n"_w, {}},
                  {"STAT|OK|1\r\n"_w, [&](int) { seen_future.wait_for(30s); }}});
  });
  ChildProcess client(ClientArgs(server, {"REINDEX"}));
  EXPECT_TRUE(client.ReadUntil("PROGRESS\u00A6Reindex TRAKNUM\n", 5s)) << client.out();
  seen.set_value();
  EXPECT_EQ(client.Wait(), 0);
  EXPECT_EQ(client.out(),
            "PROGRESS\u00A6Reindex TRAKNUM\nSTAT\u00A6OK\u00A6"
            "1\n");
}

TEST(Client, SendsUtf8ArgumentsAsWindows1252) {
  FakeServer server([](const std::string&, long long) { return Fixed({{"STAT|OK|0\r\n"_w, {}}}); });
  ChildProcess client(ClientArgs(server, {"SHOPPER\u00A6FIND\u00A6Ren\u00E9e"}));
  EXPECT_EQ(client.Wait(), 0) << client.err();
  EXPECT_EQ(server.requests(), std::vector<std::string>{"SHOPPER|FIND|Ren\xE9"_w
                                                        "e\r\n"});
}

TEST(Client, SendsStandardInputAsOneBlockRequest) {
  FakeServer server([](const std::string&, long long) { return Fixed({{kNowBlock, {}}}); });
  ChildProcess client(ClientArgs(server, {"-"}), "CLUB\u00A6SUMMARY\nX\n");
  EXPECT_EQ(client.Wait(), 0) << client.err();
  EXPECT_EQ(server.requests(), std::vector<std::string>{"B|17|C\r\nCLUB|SUMMARY\r\nX\r\n"_w});
}

TEST(Client, WritesTheFileThatFollowsAFileGetReply) {
  const std::string file_bytes = std::string("line one\r\nB|9|C\r\n"_w) + std::string("\0\xFF", 2);
  const std::string reply = "B|27|C\r\nFILE|GET|p.txt\r\nSTAT|OK|0\r\n"_w;
  FakeServer server([&](const std::string&, long long) {
    return Fixed({{reply + file_bytes.substr(0, 5), {}},
                  {file_bytes.substr(5), [](int) { ::usleep(20000); }}});
  });
  {
    ChildProcess client(ClientArgs(server, {"--timeout", "1", "file\u00A6get\u00A6p.txt"}));
    EXPECT_EQ(client.Wait(), 0) << client.err();
    EXPECT_EQ(client.out(),
              "FILE\u00A6GET\u00A6p.txt\nSTAT\u00A6OK\u00A6"
              "0\n" +
                  file_bytes);
  }
  TempDir dir;
  const auto saved = (dir / "p.txt").string();
  ChildProcess client(
      ClientArgs(server, {"--timeout", "1", "--save", saved, "FILE\u00A6GET\u00A6p.txt"}));
  EXPECT_EQ(client.Wait(), 0) << client.err();
  EXPECT_EQ(client.out(),
            "FILE\u00A6GET\u00A6p.txt\nSTAT\u00A6OK\u00A6"
            "0\n");
  std::ifstream in(saved, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), file_bytes);
}

TEST(Client, ExitsWithOneWhenNoCompleteReplyComes) {
  const std::vector<std::pair<const char*, Answer>> cases = {
      {"never answers", Answer{}},
      {"stops inside a block", Fixed({{"PROGRESS|x\r\nB|43|C\r\nTIME|"_w, {}}})},
      {"closes before the reply", Fixed({{"PROGRESS|x\r\n"_w, {}}}, true)},
  };
  for (const auto& [name, answer] : cases) {
    FakeServer server([&](const std::string&, long long) { return answer; });
    const auto started = std::chrono::steady_clock::now();
    ChildProcess client(ClientArgs(server, {"--timeout", "0.5", "NOW"}));
    EXPECT_EQ(client.Wait(10s), 1) << name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << name;
    EXPECT_FALSE(client.err().empty()) << name;
  }
}

TEST(Client, ExitsWithTwoOnBadUsageOrNoServer) {
  const std::string client = Program("tools/client/fidora-client");
  const std::string unused = std::to_string(UnusedPort());
  const std::vector<std::vector<std::string>> cases = {
      {client},
      {client, "NOW", "NAME"},
      {client, "--port", "70000", "NOW"},
      {client, "--timeout", "0", "NOW"},
      {client, "--colour", "NOW"},
      {client, "--port", unused, ""},
      {client, "--port", unused, "NOW\u2603"},
      {client, "--port", unused, "--save", "/tmp/x", "NOW"},
      {client, "--port", unused, "NOW"},
  };
  for (const auto& args : cases) {
    ChildProcess process(args);
    EXPECT_EQ(process.Wait(), 2) << args.back();
    EXPECT_FALSE(process.err().empty()) << args.back();
  }
  ChildProcess help({client, "--help"});
  EXPECT_EQ(help.Wait(), 0);
  EXPECT_NE(help.out().find("default 30"), std::string::npos);
}

}  // namespace
}  // namespace fidora::test
