// The socket adapter in this process, on a real loopback port, with handlers of the test's own:
// what the single-threaded model promises when a handler lets events run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "net/server_socket.h"
#include "protocol/rx_tx.h"
#include "support/loopback_socket.h"

namespace fidora {
namespace {

using std::chrono::milliseconds;
using test::LoopbackSocket;
using testing::ElementsAre;

// A listener served by the test's dispatch function; the clients run on another thread while
// this one runs the event loop until they are done.
class SocketAdapterTest : public ::testing::Test {
 protected:
  SocketAdapterTest() {
    static int argc = 1;
    static char name[] = "socket_adapter_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc, argv);
  }

  void Serve(TDispatchFunction dispatch, const std::function<void(uint16_t)>& clients) {
    TEventPoller poller;
    TConnectionWatch watch(*slots_);
    TConnectionEvents events(watch, nullptr, std::move(dispatch));
    const uint16_t port = test::FreeLoopbackPort();
    TServerSocket listener(port, events, poller);
    listener.Activate();
    std::atomic<bool> done = false;
    std::thread client_thread([&] {
      clients(port);
      done = true;
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (done) QCoreApplication::quit();
    });
    check.start(10);
    QCoreApplication::exec();
    client_thread.join();
  }

  std::unique_ptr<QCoreApplication> app_;
  std::unique_ptr<TSocketList> slots_ = std::make_unique<TSocketList>();
};

TEST_F(SocketAdapterTest, AHandlerThatLetsEventsRunLetsOtherConnectionsBeServed) {
  std::vector<std::string> order;
  bool fast_done = false;
  const TDispatchFunction dispatch = [&](TRxTx& rx) {
    const std::string word = rx.Request()[0];
    order.push_back("start " + word);
    if (word == "SLOW") {
      // Like a dialog or a reindex: events run until the other connection has been served.
      while (!fast_done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (word == "FAST") fast_done = true;
    rx.Socket->WriteText(word + "\r\n");
    order.push_back("end " + word);
  };
  std::vector<std::string> replies;
  Serve(dispatch, [&](uint16_t port) {
    LoopbackSocket slow(port);
    LoopbackSocket fast(port);
    slow.Send("SLOW\r\nNEXT\r\n");  // NEXT waits for SLOW, its connection's dispatch in progress
    std::this_thread::sleep_for(milliseconds(100));
    fast.Send("FAST\r\n");
    for (auto* socket : {&fast, &slow, &slow}) {
      const auto reply = socket->ReadReply();
      replies.push_back(reply.empty() ? "(none)" : reply[0]);
    }
  });
  EXPECT_THAT(order, ElementsAre("start SLOW", "start FAST", "end FAST", "end SLOW", "start NEXT",
                                 "end NEXT"));
  EXPECT_THAT(replies, ElementsAre("FAST", "SLOW", "NEXT"));
}

TEST_F(SocketAdapterTest, RepliesOfRequestsServedWhileAHandlerLetsEventsRunLeaveBeforeItReturns) {
  constexpr int kOthers = 5;
  std::atomic<bool> others_answered = false;
  const TDispatchFunction dispatch = [&](TRxTx& rx) {
    const std::string word = rx.Request()[0];
    if (word == "SLOW") {
      // Like a dialog: events run until the terminals served meanwhile have read their replies
      // (or long past the moment they would have).
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!others_answered && std::chrono::steady_clock::now() < give_up)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    rx.Socket->WriteText(word + "\r\n");
  };
  std::vector<std::string> replies;
  Serve(dispatch, [&](uint16_t port) {
    LoopbackSocket slow(port);
    std::vector<LoopbackSocket> others;
    for (int i = 0; i < kOthers; ++i) others.emplace_back(port);
    slow.Send("SLOW\r\n");
    std::this_thread::sleep_for(milliseconds(100));
    for (int i = 0; i < kOthers; ++i)
      others[static_cast<size_t>(i)].Send("R" + std::to_string(i) + "\r\n");
    for (auto& other : others) {
      const auto reply = other.ReadReply();
      replies.push_back(reply.empty() ? "(none)" : reply[0]);
    }
    others_answered = true;
    const auto reply = slow.ReadReply();
    replies.push_back(reply.empty() ? "(none)" : reply[0]);
  });
  EXPECT_THAT(replies, ElementsAre("R0", "R1", "R2", "R3", "R4", "SLOW"));
}

TEST_F(SocketAdapterTest, AThousandRequestsInOneWriteGetAThousandRepliesInOrder) {
  int dispatched = 0;
  const TDispatchFunction dispatch = [&](TRxTx& rx) {
    ++dispatched;
    rx.Socket->WriteText(rx.Request()[0] + "\r\n");
  };
  std::vector<std::string> replies;
  Serve(dispatch, [&](uint16_t port) {
    LoopbackSocket terminal(port);
    std::string burst;
    for (int i = 0; i < 1000; ++i) burst += "R" + std::to_string(i) + "\r\n";
    terminal.Send(burst);
    for (int i = 0; i < 1000; ++i) {
      const auto reply = terminal.ReadReply();
      replies.push_back(reply.empty() ? "(none)" : reply[0]);
    }
  });
  ASSERT_EQ(replies.size(), 1000u);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(replies[static_cast<size_t>(i)], "R" + std::to_string(i));
  EXPECT_EQ(dispatched, 1000);
}

}  // namespace
}  // namespace fidora
