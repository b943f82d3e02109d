#include "net/framing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

using namespace std::string_literals;

#include "fake_connection.h"
#include "protocol/application_errors.h"
#include "protocol/dispatcher.h"
#include "protocol/server_settings.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using Requests = std::vector<TRequestLines>;

// Feeds chunks to one connection, one receive event per chunk, and records every dispatch.
class FramingTest : public ::testing::Test {
 protected:
  FramingTest()
      : list_(std::make_unique<TSocketList>()),
        connection_(std::make_shared<test::FakeConnection>()) {
    list_->AllocateSlot(connection_->ConnHandle());
  }

  TReceiveResult Arrive(const std::string& bytes, const TConnectionLimits& limits = {}) {
    connection_->incoming += bytes;
    return ReceiveEvent(*list_, connection_, dispatch_, limits);
  }
  TSocketFifo& Slot() { return *list_->FindSlot(connection_->ConnHandle()); }

  std::unique_ptr<TSocketList> list_;
  std::shared_ptr<test::FakeConnection> connection_;
  Requests dispatched_;
  TDispatchFunction dispatch_ = [this](TRxTx& rx) { dispatched_.push_back(rx.Request()); };
};

struct CutCase {
  const char* name;
  std::vector<std::string> chunks;  // one receive event each
  Requests expected;
  int left_unread;
};

TEST_F(FramingTest, CutsRequestsOutOfTheStream) {
  const std::string block17 =
      "B\xA6"
      "17\xA6"
      "C\r\nCLUB\xA6SUMMARY\r\nX\r\n";
  const std::vector<CutCase> cases = {
      {"text line", {"NOW\r\n"}, {{"NOW"}}, 0},
      {"three segments", {"NO", "W", "\r\n"}, {{"NOW"}}, 0},
      {"two in one segment", {"NOW\r\nNAME\r\n"}, {{"NOW"}, {"NAME"}}, 0},
      {"untrimmed", {"  now \xA6x \r\n"}, {{"  now \xA6x "}}, 0},
      {"empty lines skipped", {"\r\n\nNOW\r\n\r\nX\n"}, {{"NOW"}}, 0},
      {"LF alone loses a byte", {"NOW\n"}, {{"NO"}}, 0},
      {"no LF yet", {"NOW\r"}, {}, 4},
      {"block", {block17}, {{"CLUB\xA6SUMMARY", "X"}}, 0},
      {"block short by one byte", {block17.substr(0, block17.size() - 1)}, {}, 24},
      {"block completed by its last byte",
       {block17.substr(0, block17.size() - 1), "\n"},
       {{"CLUB\xA6SUMMARY", "X"}},
       0},
      {"block then text", {block17 + "NOW\r\n"}, {{"CLUB\xA6SUMMARY", "X"}, {"NOW"}}, 0},
      {"payload without final line end",
       {"B\xA6"
        "5\xA6"
        "C\r\nA\r\nBC"},
       {{"A", "BC"}},
       0},
      {"CR, LF and CR LF end lines",
       {"B\xA6"
        "8\xA6"
        "C\r\nA\rB\nC\r\n\r"},
       {{"A", "B", "C", ""}},
       0},
      {"NUL ends the payload",
       {"B\xA6"
        "8\xA6"
        "C\r\nA\r\nB\0C\r\n"s},
       {{"A", "B"}},
       0},
      {"header without a text field",
       {"B\xA6"
        "3\r\nA\r\n"},
       {{"A"}},
       0},
      {"length not a number",
       {"B\xA6"
        "x\xA6"
        "C\r\nNOW\r\n"},
       {{"B\xA6x\xA6"
         "C"},
        {"NOW"}},
       0},
      {"length zero",
       {"B\xA6"
        "0\xA6"
        "C\r\nNOW\r\n"},
       {{"B\xA6"
         "0\xA6"
         "C"},
        {"NOW"}},
       0},
      {"negative length",
       {"B\xA6-4\xA6"
        "C\r\n"},
       {{"B\xA6-4\xA6"
         "C"}},
       0},
      {"empty length",
       {"B\xA6\xA6"
        "C\r\n"},
       {{"B\xA6\xA6"
         "C"}},
       0},
      {"huge length",
       {"B\xA6"
        "99999999999999999999\xA6"
        "C\r\n"},
       {{"B\xA6"
         "99999999999999999999\xA6"
         "C"}},
       0},
  };
  for (const CutCase& c : cases) {
    list_ = std::make_unique<TSocketList>();
    list_->AllocateSlot(connection_->ConnHandle());
    dispatched_.clear();
    for (const std::string& chunk : c.chunks) Arrive(chunk);
    EXPECT_EQ(dispatched_, c.expected) << c.name;
    EXPECT_EQ(Slot().Unread(), c.left_unread) << c.name;
  }
}

TEST_F(FramingTest, ABlockArrivingByteByByteIsDispatchedOnceWhenComplete) {
  const std::string block =
      "B\xA6"
      "5\xA6"
      "C\r\nNOW\r\n";
  for (char byte : block) {
    EXPECT_TRUE(dispatched_.empty());
    Arrive(std::string(1, byte));
  }
  EXPECT_EQ(dispatched_, (Requests{{"NOW"}}));
}

TEST_F(FramingTest, ALongLineOverManyEventsIsDispatchedWhole) {
  const std::string line(200'000, 'a');
  for (size_t at = 0; at < line.size(); at += 30'000) Arrive(line.substr(at, 30'000));
  Arrive("\r\n");
  ASSERT_EQ(dispatched_.size(), 1u);
  EXPECT_EQ(dispatched_[0][0], line);
}

TEST_F(FramingTest, OneEventTakesAtMost32767Bytes) {
  connection_->incoming = std::string(40'000, 'x');
  ReceiveEvent(*list_, connection_, dispatch_);
  EXPECT_EQ(Slot().Available(), 32767);
  EXPECT_EQ(connection_->incoming.size(), 40'000u - 32767);
}

TEST_F(FramingTest, BytesWithoutASlotAreReadAndDropped) {
  auto stranger = std::make_shared<test::FakeConnection>(99);
  stranger->incoming = "NOW\r\n";
  ReceiveEvent(*list_, stranger, dispatch_);
  EXPECT_TRUE(stranger->incoming.empty());
  EXPECT_TRUE(dispatched_.empty());
}

TEST_F(FramingTest, TheRecordKnowsItsConnectionAndPeer) {
  TRxTx seen;
  dispatch_ = [&](TRxTx& rx) { seen = rx; };
  Arrive("NOW\r\n");
  EXPECT_EQ(seen.Socket, connection_);
  EXPECT_EQ(seen.PeerAddress, "192.168.1.20");
}

TEST_F(FramingTest, AnErrorInOneRequestDoesNotHoldUpTheNextOne) {
  std::vector<std::string> reported;
  SetApplicationErrorHandler(
      [&](std::string_view, std::string_view message) { reported.emplace_back(message); });
  dispatch_ = [this](TRxTx& rx) {
    dispatched_.push_back(rx.Request());
    if (rx.Request()[0] == "BAD") throw std::runtime_error("handler blew up");
  };
  Arrive("BAD\r\nNOW\r\n");
  SetApplicationErrorHandler(nullptr);
  EXPECT_EQ(dispatched_, (Requests{{"BAD"}, {"NOW"}}));
  EXPECT_EQ(reported, std::vector<std::string>{"handler blew up"});
}

TEST_F(FramingTest, RequestsOfOneConnectionWaitForTheDispatchInProgress) {
  // The first handler lets events run; meanwhile the next request of the same connection
  // arrives. It is taken only after the first dispatch has returned.
  std::vector<std::string> order;
  dispatch_ = [&](TRxTx& rx) {
    const std::string line = rx.Request()[0];
    order.push_back("start " + line);
    if (line == "SLOW") {
      EXPECT_EQ(Arrive("FAST\r\n"), TReceiveResult::Busy);
    }
    order.push_back("end " + line);
  };
  EXPECT_EQ(Arrive("SLOW\r\n"), TReceiveResult::Served);
  EXPECT_EQ(order, (std::vector<std::string>{"start SLOW", "end SLOW", "start FAST", "end FAST"}));
}

TEST_F(FramingTest, AConnectionThatGoesAwayDuringADispatchIsNotServedFurther) {
  dispatch_ = [&](TRxTx& rx) {
    dispatched_.push_back(rx.Request());
    list_->ReleaseSlot(connection_->ConnHandle());
  };
  Arrive("ONE\r\nTWO\r\n");
  EXPECT_EQ(dispatched_, (Requests{{"ONE"}}));
}

TEST_F(FramingTest, APeerPassingTheUnreadLimitIsDisconnectedAndLogged) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Debug");
  ServerSettings().DataPath = dir.dir();
  TConnectionLimits limits;
  limits.max_unread = 100;
  Arrive(std::string(100, 'a'), limits);
  EXPECT_FALSE(connection_->closed);
  Arrive("b", limits);
  EXPECT_TRUE(connection_->closed);
  EXPECT_EQ(Slot().Available(), 0);
  std::ifstream in(dir / "Debug" / "STATUS.TXT", std::ios::binary);
  std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("FS Server - Connection from 192.168.1.20 closed: 101 unread bytes exceed "
                     "the limit of 100\r\n"),
            std::string::npos)
      << log;
  ServerSettings().DataPath.clear();
}

TEST_F(FramingTest, RequestsWaitWhileTheConnectionHasTooManyUnsentReplies) {
  TConnectionLimits limits;
  limits.max_unsent = 1000;
  dispatch_ = [this](TRxTx& rx) {
    dispatched_.push_back(rx.Request());
    connection_->unsent += 600;
  };
  EXPECT_EQ(Arrive("A\r\nB\r\nC\r\n", limits), TReceiveResult::Throttled);
  EXPECT_EQ(dispatched_, (Requests{{"A"}, {"B"}}));
  connection_->unsent = 0;  // the peer took its replies: the event is raised again
  EXPECT_EQ(Arrive("", limits), TReceiveResult::Served);
  EXPECT_EQ(dispatched_, (Requests{{"A"}, {"B"}, {"C"}}));
}

TEST_F(FramingTest, RepliesOfOneEventAreFlushedOnceAfterItsRequests) {
  dispatch_ = [](TRxTx& rx) { AddReply(rx, "ANSWER"); };
  Arrive("A\r\nB\r\nC\r\n");
  EXPECT_EQ(connection_->flushes, 1);
}

TEST_F(FramingTest, ALargeRequestGivesItsMemoryBackAfterItsDispatch) {
  std::string payload;
  for (int i = 0; i < 100'000; ++i) payload += "abc\r\n";
  const std::string block = "B\xA6" + std::to_string(payload.size()) + "\xA6" + "C\r\n" + payload;
  size_t lines = 0;
  dispatch_ = [&](TRxTx& rx) { lines = rx.Request().size(); };
  for (size_t at = 0; at < block.size(); at += 32767) Arrive(block.substr(at, 32767));
  EXPECT_EQ(lines, 100'000u);
  EXPECT_LT(Slot().RxTx.Request().MemoryBytes(), 64u);
  EXPECT_EQ(Slot().Capacity(), 0);
}

TEST_F(FramingTest, RepliesLeaveInRequestOrderThroughTheDispatcher) {
  dispatch_ = Net_Dispatch;
  Arrive("foo\r\nVERS\r\n");
  ServerSettings().Version = "21.07.26";
  EXPECT_EQ(connection_->sent.rfind("STAT\xA6Unknown Command - \"FOO\"\r\nB\xA6", 0), 0u)
      << connection_->sent;
}

}  // namespace
}  // namespace fidora
