#include "net/connection_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "fake_connection.h"
#include "net/framing.h"
#include "protocol/server_settings.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using std::chrono::seconds;
using testing::HasSubstr;
using testing::Not;

// Slots fed through the receive handler, a clock moved by the test and a status log to read.
class ConnectionWatchTest : public ::testing::Test {
 protected:
  ConnectionWatchTest() {
    std::filesystem::create_directory(dir_ / "Debug");
    ServerSettings().DataPath = dir_.dir();
    limits_.progress_bytes = 100;
  }
  ~ConnectionWatchTest() override { ServerSettings().DataPath.clear(); }

  TConnectionWatch& Watch() {
    if (!watch_)
      watch_ = std::make_unique<TConnectionWatch>(*list_, limits_, [this] { return now_; });
    return *watch_;
  }
  std::shared_ptr<test::FakeConnection> Connect(int handle, const std::string& peer) {
    auto connection = std::make_shared<test::FakeConnection>(handle, peer);
    list_->AllocateSlot(handle).Connection = connection;
    return connection;
  }
  void Arrive(const std::shared_ptr<test::FakeConnection>& connection, const std::string& bytes) {
    connection->incoming += bytes;
    ReceiveEvent(
        *list_, connection, [](TRxTx& rx) { AddReply(rx, "ANSWER"); }, limits_);
  }
  // Sweeps after `later` more seconds.
  void SweepAfter(int later) {
    now_ += seconds(later);
    Watch().Sweep();
  }
  std::string StatusLog() const {
    std::ifstream in(dir_ / "Debug" / "STATUS.TXT", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  test::TempDir dir_;
  std::unique_ptr<TSocketList> list_ = std::make_unique<TSocketList>();
  TConnectionLimits limits_;
  TClockTime now_{};
  std::unique_ptr<TConnectionWatch> watch_;
};

TEST_F(ConnectionWatchTest, AnUnfinishedRequestWithoutProgressIsClosedAfterTheTimeout) {
  auto stalled = Connect(1, "10.0.0.5");
  auto trickle = Connect(2, "10.0.0.6");
  auto idle = Connect(3, "10.0.0.7");
  auto answered = Connect(4, "10.0.0.8");
  SweepAfter(0);
  Arrive(stalled, "NO");
  for (int second = 1; second <= 59; ++second) {
    Arrive(trickle, "x");                                 // a byte a second is not progress
    if (second % 20 == 0) Arrive(answered, "NOW\r\nNO");  // a finished request is
    SweepAfter(1);
  }
  EXPECT_FALSE(stalled->closed);
  SweepAfter(1);
  SweepAfter(1);
  EXPECT_TRUE(stalled->closed);
  EXPECT_TRUE(trickle->closed);
  EXPECT_FALSE(idle->closed);
  EXPECT_FALSE(answered->closed);
  EXPECT_EQ(list_->FindSlot(1)->Unread(), 0);
  EXPECT_THAT(StatusLog(), HasSubstr("FS Server - Connection from 10.0.0.5 closed: no progress "
                                     "for 60 s (2 bytes unread, 0 bytes unsent)\r\n"));
}

TEST_F(ConnectionWatchTest, ALongRequestOrReplyThatKeepsMovingIsLeftAlone) {
  auto upload = Connect(1, "10.0.0.5");
  auto reader = Connect(2, "10.0.0.6");
  auto never_reads = Connect(3, "10.0.0.7");
  auto busy = Connect(4, "10.0.0.8");
  Arrive(upload,
         "B\xA6"
         "100000\xA6"
         "C\r\n");
  reader->unsent = 1'000'000;
  never_reads->unsent = 1'000'000;
  Arrive(busy, "NO");
  list_->FindSlot(4)->Busy = true;  // its handler lets events run: not stalled
  for (int second = 0; second <= 120; ++second) {
    Arrive(upload, std::string(100, 'a'));
    reader->sent.append(100, 'r');  // the peer takes 100 bytes a second
    SweepAfter(1);
  }
  EXPECT_FALSE(upload->closed);
  EXPECT_FALSE(reader->closed);
  EXPECT_FALSE(busy->closed);
  EXPECT_TRUE(never_reads->closed);
  EXPECT_THAT(StatusLog(), HasSubstr("Connection from 10.0.0.7 closed: no progress for 60 s (0 "
                                     "bytes unread, 1000000 bytes unsent)"));
}

TEST_F(ConnectionWatchTest, RefusalsAreReportedAtMostOnceAMinute) {
  Watch().Refused("10.0.0.1");
  now_ += seconds(10);
  Watch().Refused("10.0.0.2");
  Watch().Refused("10.0.0.3");
  SweepAfter(49);
  EXPECT_THAT(StatusLog(), HasSubstr("Connection from 10.0.0.1 refused: all 200 connection slots "
                                     "are in use\r\n"));
  EXPECT_THAT(StatusLog(), Not(HasSubstr("10.0.0.3")));
  SweepAfter(1);
  EXPECT_THAT(StatusLog(), HasSubstr("2 connections refused, the last from 10.0.0.3: all 200 "
                                     "connection slots are in use\r\n"));
  SweepAfter(600);
  const std::string log = StatusLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(Watch().RefusedCount(), 3u);
}

TEST_F(ConnectionWatchTest, OverTheBudgetTheConnectionsHoldingTheMostAreClosed) {
  limits_.memory_budget = 100;
  auto small = Connect(1, "10.0.0.1");
  auto large = Connect(2, "10.0.0.2");
  auto replies = Connect(3, "10.0.0.3");
  Arrive(small, std::string(30, 's'));
  Arrive(large, std::string(50, 'l'));
  replies->unsent = 20;
  Watch().EnforceBudget(*list_->FindSlot(1));
  EXPECT_FALSE(large->closed);
  Arrive(small, std::string(10, 's'));  // 40 + 50 + 20
  Watch().EnforceBudget(*list_->FindSlot(1));
  EXPECT_TRUE(large->closed);
  EXPECT_FALSE(small->closed);
  EXPECT_FALSE(replies->closed);
  EXPECT_EQ(list_->FindSlot(2)->Unread(), 0);
  EXPECT_THAT(StatusLog(), HasSubstr("Connection from 10.0.0.2 closed: it held 50 bytes while all "
                                     "connections held 110, more than the memory budget of 100"));
}

}  // namespace
}  // namespace fidora
