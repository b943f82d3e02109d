#include "net/connection_events.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "fake_connection.h"
#include "net/socket_error.h"
#include "protocol/application_errors.h"
#include "protocol/operator_view.h"

namespace fidora {
namespace {

class ClientsRecorder : public TOperatorView {
 public:
  void ShowClients(const std::vector<std::string>& clients) override { shown = clients; }
  std::vector<std::string> shown;
};

class ConnectionEventsTest : public ::testing::Test {
 protected:
  ConnectionEventsTest() { SetOperator(&view_); }
  ~ConnectionEventsTest() override { SetOperator(nullptr); }

  std::unique_ptr<TSocketList> list_ = std::make_unique<TSocketList>();
  TConnectionWatch watch_{*list_};
  TClientList clients_;
  ClientsRecorder view_;
  TDispatchFunction dispatch_ = [](TRxTx& rx) { AddReply(rx, "ANSWER"); };
  TConnectionEvents listed_{watch_, &clients_, dispatch_};
  TConnectionEvents unlisted_{watch_, nullptr, dispatch_};
};

TEST_F(ConnectionEventsTest, TheListedPortKeepsOneLinePerConnection) {
  auto first = std::make_shared<test::FakeConnection>(11, "10.0.0.5");
  auto second = std::make_shared<test::FakeConnection>(12, "10.0.0.5");
  auto other_port = std::make_shared<test::FakeConnection>(13, "10.0.0.9");
  listed_.OnConnect(first);
  listed_.OnConnect(second);
  unlisted_.OnConnect(other_port);
  EXPECT_EQ(view_.shown, (std::vector<std::string>{"10.0.0.5", "10.0.0.5"}));
  EXPECT_EQ(list_->SlotsInUse(), 3);

  listed_.OnDisconnect(first);
  EXPECT_EQ(view_.shown, std::vector<std::string>{"10.0.0.5"});
  unlisted_.OnDisconnect(other_port);
  EXPECT_EQ(clients_.Lines(), std::vector<std::string>{"10.0.0.5"});
  EXPECT_EQ(list_->SlotsInUse(), 1);
}

TEST_F(ConnectionEventsTest, ConnectionsOfBothPortsAreServedAlike) {
  auto listed = std::make_shared<test::FakeConnection>(21);
  auto unlisted = std::make_shared<test::FakeConnection>(22);
  listed_.OnConnect(listed);
  unlisted_.OnConnect(unlisted);
  listed->incoming = "X\r\n";
  unlisted->incoming = "X\r\n";
  listed_.OnRead(listed);
  unlisted_.OnRead(unlisted);
  EXPECT_EQ(listed->sent, "");  // the dispatch function given here only collects the reply
  EXPECT_EQ(list_->FindSlot(21)->RxTx.Reply(), TLines{"ANSWER"});
  EXPECT_EQ(list_->FindSlot(22)->RxTx.Reply(), TLines{"ANSWER"});
}

TEST_F(ConnectionEventsTest, TheConnectionPastTheLastSlotIsRefusedAndNotListed) {
  for (int handle = 1; handle <= 200; ++handle)
    EXPECT_TRUE(unlisted_.OnConnect(std::make_shared<test::FakeConnection>(handle)));
  auto extra = std::make_shared<test::FakeConnection>(500, "10.0.0.7");
  EXPECT_FALSE(listed_.OnConnect(extra));
  EXPECT_TRUE(clients_.Lines().empty());
  EXPECT_EQ(watch_.RefusedCount(), 1u);
  EXPECT_EQ(list_->FindSlot(500), nullptr);
}

TEST_F(ConnectionEventsTest, ResetsAndAbortsAreSilencedOtherErrorsAreNot) {
  auto connection = std::make_shared<test::FakeConnection>(31);
  for (int code : {ECONNRESET, ECONNABORTED}) {
    int filtered = code;
    listed_.OnError(connection, TSocketErrorKind::Receive, filtered);
    EXPECT_EQ(filtered, 0) << code;
  }
  for (int code : {EPIPE, ETIMEDOUT, ENETDOWN}) {
    int filtered = code;
    unlisted_.OnError(connection, TSocketErrorKind::Send, filtered);
    EXPECT_EQ(filtered, code);
  }
}

TEST(SocketErrorTest, MessageNamesTheErrorAndTheCall) {
  EXPECT_STREQ(ESocketError(ECONNREFUSED, "recv").what(),
               "Windows socket error: Connection refused (111), on API 'recv'");
}

}  // namespace
}  // namespace fidora
