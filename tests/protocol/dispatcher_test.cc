#include "protocol/dispatcher.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "protocol/application_errors.h"
#include "protocol/help_texts.h"
#include "protocol/server_commands.h"
#include "protocol/server_settings.h"
#include "protocol/transaction_log.h"
#include "recording_connection.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest() : connection_(std::make_shared<test::RecordingConnection>()) {
    rx_.Socket = connection_;
    ServerSettings().Version = "21.07.26";
  }
  ~DispatcherTest() override {
    for (std::string_view word : {"SHOPPER", "FILE", "DEBTOR"}) SetCommandHandler(word, nullptr);
  }
  // Dispatches one request and returns the bytes sent for it.
  std::string Dispatch(TLines request) {
    rx_.Request() = std::move(request);
    connection_->sent.clear();
    Net_Dispatch(rx_);
    return connection_->sent;
  }

  std::shared_ptr<test::RecordingConnection> connection_;
  TRxTx rx_;
};

TEST_F(DispatcherTest, UnknownWordsAreAnsweredWithTheUpperCasedFirstField) {
  EXPECT_EQ(Dispatch({"foo\xA6x"}), "STAT\xA6Unknown Command - \"FOO\"\r\n");
  EXPECT_EQ(Dispatch({"  "}), "STAT\xA6Unknown Command - \"\"\r\n");
  // Words of the table whose module is not there yet answer the same way.
  EXPECT_EQ(Dispatch({"shopper\xA6seq\xA6"
                      "1"}),
            "STAT\xA6Unknown Command - \"SHOPPER\"\r\n");
}

TEST_F(DispatcherTest, TwoOrMoreLinesGoOutAsOneBlock) {
  SetCommandHandler("SHOPPER", [](TRxTx& rx) {
    AddReply(rx,
             "TIME\xA6"
             "10:00:00");
    AddReply(rx,
             "DATE\xA6"
             "01/02/2021");
    AddReply(rx,
             "STAT\xA6OK\xA6"
             "0");
  });
  EXPECT_EQ(Dispatch({"SHOPPER"}),
            "B\xA6"
            "43\xA6"
            "C\r\nTIME\xA6"
            "10:00:00\r\nDATE\xA6"
            "01/02/2021\r\nSTAT\xA6OK\xA6"
            "0\r\n");
  SetCommandHandler("SHOPPER", [](TRxTx& rx) {
    AddReply(rx, "a\r\nb");
    AddReply(rx, "c");
  });
  EXPECT_EQ(Dispatch({"SHOPPER"}),
            "B\xA6"
            "11\xA6"
            "C\r\na<br>b\r\nc\r\n");
}

TEST_F(DispatcherTest, AHandlerWithoutReplyLinesSendsNothing) {
  SetCommandHandler("SHOPPER", [](TRxTx&) {});
  EXPECT_EQ(Dispatch({"SHOPPER"}), "");
}

TEST_F(DispatcherTest, HandlersStartFreshAndWorkOnACopyOfTheCursor) {
  rx_.Reply() = {"left over"};
  rx_.LineIndex = 2;
  int seen_index = -1;
  std::string seen_word;
  SetCommandHandler("SHOPPER", [&](TRxTx& rx) {
    seen_index = rx.LineIndex;
    seen_word = rx.Parser().Field(2);
    NextLine(rx);
    ReplyUnknownCommand(rx, rx.Parser().Field(2));
  });
  EXPECT_EQ(Dispatch({" shopper\xA6x\xA6y ", "second"}), "STAT\xA6Unknown Command - \"X\"\r\n");
  EXPECT_EQ(seen_index, 0);
  EXPECT_EQ(seen_word, "X");
  EXPECT_EQ(rx_.LineIndex, 0);
}

TEST_F(DispatcherTest, AFileNamedByTheHandlerFollowsTheReply) {
  test::TempDir dir;
  std::ofstream(dir / "Prices.txt", std::ios::binary) << "0123456789";
  const std::string path = (dir / "Prices.txt").string();
  SetCommandHandler(
      "FILE",
      [path](TRxTx& rx) {
        AddReply(rx, CurrentLine(rx));
        ReplyOK(rx);
        rx.SendFileName = path;
      },
      /*by_reference=*/true);
  const std::string sent = Dispatch({"FILE\xA6GET\xA6Prices.txt"});
  const std::string reply = EncodeReply({"FILE\xA6GET\xA6Prices.txt", rx_.Reply()[1]});
  EXPECT_EQ(sent, reply + "0123456789");
  EXPECT_EQ(rx_.SendFileName, "");

  // A file gone between the reply and the send: the reply goes alone, the status log says so.
  std::filesystem::create_directory(dir / "Debug");
  ServerSettings().DataPath = dir.dir();
  SetCommandHandler(
      "FILE", [&](TRxTx& rx) { AddReply(rx, "x"), rx.SendFileName = path + ".missing"; }, true);
  EXPECT_EQ(Dispatch({"FILE"}), "x\r\n");
  std::ifstream log(dir / "Debug" / "STATUS.TXT");
  std::string line;
  std::getline(log, line);
  EXPECT_THAT(line,
              testing::HasSubstr("FS Server - Net_File - " + path + ".missing could not be sent"));
  ServerSettings().DataPath.clear();

  // A file held exclusively elsewhere cannot be opened shared: the reply goes alone.
  const int holder = ::open(path.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  SetCommandHandler(
      "FILE", [&](TRxTx& rx) { AddReply(rx, "y"), rx.SendFileName = path; }, true);
  EXPECT_EQ(Dispatch({"FILE"}), "y\r\n");
  ::close(holder);
}

// The error reaches the application's error handler, named by the request and the terminal.
TEST_F(DispatcherTest, AnEscapingErrorEndsTheDispatchWithoutReply) {
  std::vector<std::pair<std::string, std::string>> reported;
  SetApplicationErrorHandler([&](std::string_view where, std::string_view message) {
    reported.emplace_back(where, message);
  });
  SetCommandHandler("DEBTOR", [](TRxTx& rx) {
    AddReply(rx, "half");
    throw std::runtime_error("boom");
  });
  rx_.PeerAddress = "192.168.1.20";
  const std::string sent = Dispatch({" Debtor\xA6x ", "more"});
  const std::string next = Dispatch({"foo"});
  SetApplicationErrorHandler(nullptr);
  EXPECT_EQ(sent, "");
  EXPECT_EQ(next, "STAT\xA6Unknown Command - \"FOO\"\r\n");
  EXPECT_EQ(reported, (std::vector<std::pair<std::string, std::string>>{
                          {"Net_Dispatch \"Debtor\xA6x\" from 192.168.1.20", "boom"}}));
}

TEST_F(DispatcherTest, TheTransactionLogRecordsRequestsAndReplies) {
  test::TempDir dir;
  const std::string old_cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  SetTransactionLogEnabled(true);
  Dispatch({"foo"});
  SetCommandHandler("SHOPPER", [](TRxTx&) {});
  Dispatch({"B", "C"});
  Dispatch({"SHOPPER"});
  SetCommandHandler("DEBTOR", [](TRxTx&) { throw std::runtime_error("boom"); });
  SetApplicationErrorHandler([](std::string_view, std::string_view) {});
  Dispatch({"DEBTOR"});
  SetApplicationErrorHandler(nullptr);
  SetTransactionLogEnabled(false);
  Dispatch({"NOT LOGGED"});
  std::filesystem::current_path(old_cwd);

  std::ifstream in(dir / "tx.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(log,
            "IN\r\nfoo\r\n\r\nOUT\r\nSTAT\xA6Unknown Command - \"FOO\"\r\n\r\n"
            "IN\r\nB\r\nC\r\n\r\nOUT\r\nSTAT\xA6Unknown Command - \"B\"\r\n\r\n"
            "IN\r\nSHOPPER\r\n\r\nOUT\r\n\r\n"
            "IN\r\nDEBTOR\r\n\r\n");
}

TEST_F(DispatcherTest, ATransactionLogThatCannotBeWrittenDoesNotStopTheReply) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "tx.log");  // a folder where the log should be
  const std::string old_cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  std::vector<std::string> reported;
  SetApplicationErrorHandler(
      [&](std::string_view, std::string_view message) { reported.emplace_back(message); });
  SetTransactionLogEnabled(true);
  const std::string sent = Dispatch({"foo"});
  SetTransactionLogEnabled(false);
  SetApplicationErrorHandler(nullptr);
  std::filesystem::current_path(old_cwd);
  EXPECT_EQ(sent, "STAT\xA6Unknown Command - \"FOO\"\r\n");
  ASSERT_EQ(reported.size(), 2u);  // IN and OUT
  EXPECT_NE(reported[0].find("tx.log"), std::string::npos);
}

TEST_F(DispatcherTest, CommandTableWords) {
  EXPECT_EQ(CommandWords().size(), 13u);
  EXPECT_THROW(SetCommandHandler("BOGUS", nullptr), std::invalid_argument);
}

// ---- the server's own commands ----

TEST_F(DispatcherTest, NowAnswersTimeDateAndSuccessAsOneBlock) {
  Dispatch({"now\xA6ignored"});
  ASSERT_EQ(rx_.Reply().size(), 3u);
  EXPECT_THAT(rx_.Reply()[0], testing::MatchesRegex("TIME.[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"));
  EXPECT_THAT(rx_.Reply()[1], testing::MatchesRegex("DATE.[0-3][0-9]/[01][0-9]/20[0-9][0-9]"));
  EXPECT_EQ(rx_.Reply()[2].rfind("STAT\xA6OK\xA6", 0), 0u);
  EXPECT_EQ(connection_->sent, EncodeReply(rx_.Reply()));
}

TEST_F(DispatcherTest, NameGivesTheHostName) {
  Dispatch({"NAME"});
  ASSERT_EQ(rx_.Reply().size(), 2u);
  EXPECT_EQ(rx_.Reply()[0], "NAME\xA6" + ComputerName());
  EXPECT_FALSE(ComputerName().empty());
}

TEST_F(DispatcherTest, VersChecksTheTerminalVersionAsText) {
  struct Case {
    std::string request;
    std::string status;  // empty: accepted
  };
  const std::string too_old = "STAT\xA6Tillona version needs to be at least 15.17.23";
  const std::string unknown = "STAT\xA6Tillona version number not known";
  const std::vector<Case> cases = {
      {"VERS\xA6"
       "15.17.23",
       ""},
      {"VERS\xA6"
       "15.18.00",
       ""},
      {"vers\xA6"
       "15.17.23",
       ""},
      {"VERS\xA6 15.17.23 \xA6x", ""},
      {"VERS\xA6"
       "15.9.1",
       ""},
      {"VERS\xA6"
       "9.99.99",
       ""},
      {"VERS\xA6"
       "15.17.22",
       too_old},
      {"VERS\xA6"
       "10.00.00",
       too_old},
      {"VERS\xA6"
       "15.09.01",
       too_old},
      {"VERS\xA6"
       "15.17",
       too_old},
      {"VERS", unknown},
      {"VERS\xA6   ", unknown},
  };
  for (const Case& c : cases) {
    Dispatch({c.request});
    ASSERT_EQ(rx_.Reply().size(), 2u) << c.request;
    EXPECT_EQ(rx_.Reply()[0],
              "VERS\xA6"
              "21.07.26")
        << c.request;
    if (c.status.empty())
      EXPECT_EQ(rx_.Reply()[1].rfind("STAT\xA6OK\xA6", 0), 0u) << c.request;
    else
      EXPECT_EQ(rx_.Reply()[1], c.status) << c.request;
  }
}

TEST_F(DispatcherTest, HelpSendsTheTopLevelTextWhateverFollows) {
  Dispatch(
      {"HELP\xA6"
       "anything"});
  const std::vector<std::string>& text = TopLevelHelpText();
  ASSERT_EQ(text.size(), 24u);
  ASSERT_EQ(rx_.Reply().size(), 25u);
  EXPECT_TRUE(std::equal(text.begin(), text.end(), rx_.Reply().begin()));
  EXPECT_EQ(text[19], "    Get the server version [Optionally check the client version].");
  EXPECT_EQ(text[18], "VERS\xA6[Client Version]");
  EXPECT_EQ(text[23], "\xA6TEXT");
}

TEST(HelpTextsTest, FamilyTextsHaveTheirLinesAndBlanks) {
  ASSERT_EQ(ShopperHelpText().size(), 40u);
  ASSERT_EQ(DbfHelpText().size(), 20u);
  ASSERT_EQ(ClubHelpText().size(), 15u);
  for (const auto* text : {&ShopperHelpText(), &DbfHelpText(), &ClubHelpText()}) {
    EXPECT_EQ((*text)[0], "TEXT");
    EXPECT_EQ((*text)[1], "");
    EXPECT_EQ((*text)[3], "{} - Indicates parameters that may be left blank");
    EXPECT_EQ((*text)[text->size() - 2], "");
    EXPECT_EQ(text->back(), "\xA6TEXT");
  }
  EXPECT_EQ(ShopperHelpText()[7],
            "SHOPPER\xA6"
            "DOLLARS\xA6xxx\xA6"
            "amt\xA6"
            "fs\xA6net");
  EXPECT_EQ(ShopperHelpText()[9], "    amt - the number of dallars to consider for rewards.");
  EXPECT_EQ(ShopperHelpText()[10], "    fs  - FS dollars used (positive) or refunded (negative).");
  EXPECT_EQ(ShopperHelpText()[14], "  [FILTER\xA6{any valid dbase filter}]");
  EXPECT_EQ(DbfHelpText()[7],
            "  [FIELDS\xA6"
            "field1[\xA6"
            "field2[etc]]]");
  EXPECT_EQ(DbfHelpText()[12],
            "  value1\xA6value2\xA6value3\xA6"
            "etc   <- Record 1");
  EXPECT_EQ(DbfHelpText()[14],
            "  \xA6"
            "DATA");
  EXPECT_EQ(DbfHelpText()[15], "    Append a new record to the table xxx");
  EXPECT_EQ(ClubHelpText()[7],
            "CLUB\xA6"
            "DETAIL\xA6WRITE\xA6xxx");
  EXPECT_EQ(ClubHelpText()[10], "    Get the list of all club names and their IDs.");

  TRxTx rx;
  rx.Socket = std::make_shared<test::RecordingConnection>();
  AddHelpText(rx, ClubHelpText());
  EXPECT_EQ(rx.Reply().size(), 16u);
}

}  // namespace
}  // namespace fidora
