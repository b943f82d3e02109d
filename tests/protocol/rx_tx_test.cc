#include "protocol/rx_tx.h"

#include <gtest/gtest.h>

#include "protocol/operator_view.h"
#include "recording_connection.h"

namespace fidora {
namespace {

TRxTx ConnectedRecord(std::shared_ptr<test::RecordingConnection>* connection = nullptr) {
  TRxTx rx;
  auto c = std::make_shared<test::RecordingConnection>();
  rx.Socket = c;
  if (connection) *connection = c;
  return rx;
}

TEST(RxTxTest, NextLineSkipsBlankLinesAndStopsAtTheEnd) {
  TRxTx rx;
  rx.Request() = {
      "DBF\xA6"
      "APPEND\xA6X",
      "  ", "  DATA ", "\t",
      "A\xA6"
      "B"};
  EXPECT_EQ(CurrentLine(rx),
            "DBF\xA6"
            "APPEND\xA6X");
  EXPECT_EQ(NextLine(rx), "DATA");
  EXPECT_EQ(rx.LineIndex, 2);
  EXPECT_EQ(NextLine(rx),
            "A\xA6"
            "B");
  EXPECT_EQ(NextLine(rx), "");
  EXPECT_EQ(rx.LineIndex, 5);
  EXPECT_EQ(NextLine(rx), "");
  EXPECT_EQ(rx.LineIndex, 5);
  EXPECT_EQ(CurrentLine(rx), "");
}

TEST(RxTxTest, FindLineSearchesBelowTheCursorFirstThenFromTheTop) {
  TRxTx rx;
  rx.Request() = {"FILTER\xA6one", "x",
                  "FIELDS\xA6"
                  "A",
                  "FILTER\xA6two"};
  rx.LineIndex = 1;
  EXPECT_EQ(FindLine(rx, "FILTER"), 3);
  EXPECT_EQ(rx.LineIndex, 3);
  rx.LineIndex = 3;
  EXPECT_EQ(FindLine(rx, "FIELDS"), 2);  // found above the cursor
  EXPECT_EQ(FindLine(rx, "NOPE"), -1);
  EXPECT_EQ(rx.LineIndex, 2);
  EXPECT_EQ(FindLine(rx, ""), -1);
  EXPECT_EQ(FindLine(rx, " x"), -1);  // compared exactly, untrimmed
}

TEST(RxTxTest, RequestAnswersNameValueLinesWithoutRegardToCase) {
  TRxTx rx;
  rx.Request() = {"DBF\xA6READ", "fields=A;B", "FIELDS=C", "plain"};
  EXPECT_EQ(rx.Request().Value("Fields"), "A;B");
  EXPECT_EQ(rx.Request().Value("missing"), "");
}

TEST(RxTxTest, CopiesShareTheListsButNotTheCursor) {
  TRxTx rx = ConnectedRecord();
  rx.Request() = {"A", "B", "C"};
  TRxTx copy = rx;
  NextLine(copy);
  AddReply(copy, "LINE");
  EXPECT_EQ(rx.LineIndex, 0);
  EXPECT_EQ(copy.LineIndex, 1);
  ASSERT_EQ(rx.Reply().size(), 1u);
  EXPECT_EQ(&copy.Parser(), &rx.Parser());
}

TEST(RxTxTest, ReplyHelpers) {
  TRxTx rx = ConnectedRecord();
  AddReply(rx, "one\r\ntwo\rthree\n");
  ReplyUnknownCommand(rx, "FOO");
  rx.StopWatch().Start();
  ReplyOK(rx);
  ASSERT_EQ(rx.Reply().size(), 3u);
  EXPECT_EQ(rx.Reply()[0], "one<br>two\rthree\n");
  EXPECT_EQ(rx.Reply()[1], "STAT\xA6Unknown Command - \"FOO\"");
  EXPECT_EQ(rx.Reply()[2],
            "STAT\xA6OK\xA6"
            "0");
  EXPECT_FALSE(rx.StopWatch().Running());
}

TEST(RxTxTest, ABlankRecordCollectsNoReply) {
  TRxTx rx;
  AddReply(rx, "x");
  ReplyOK(rx);
  ReplyUnknownCommand(rx, "X");
  EXPECT_TRUE(rx.Reply().empty());
}

class ProgressRecorder : public TOperatorView {
 public:
  void ShowProgress(std::string_view text) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

TEST(RxTxTest, SendProgressGoesToTheTerminalAtOnceAndToTheOperator) {
  ProgressRecorder view;
  SetOperator(&view);
  std::shared_ptr<test::RecordingConnection> connection;
  TRxTx rx = ConnectedRecord(&connection);
  SendProgress(&rx, "Reindexing...");
  SendProgress(nullptr, "+50%");
  SetOperator(nullptr);
  EXPECT_EQ(connection->sent, "PROGRESS\xA6Reindexing...\r\n");
  EXPECT_TRUE(rx.Reply().empty());
  EXPECT_EQ(view.shown, (std::vector<std::string>{"Reindexing...", "+50%"}));
}

}  // namespace
}  // namespace fidora
