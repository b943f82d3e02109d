// The SHOPPER and CLUB families through the real server on a small shop: what the terminals
// read and what DOLLARS and SEQ write, with every index of a written table exact afterwards.
#include "shopper_fixture.h"

namespace fidora::test {
namespace {

TEST_F(ShopperService, FamiliesDispatchTheirSubCommands) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"Shopper", {"STAT|Incomplete command after : Shopper"}},
      {"SHOPPER|FOO", {"STAT|Unknown Command - \"FOO\""}},
      {"CLUB|DETAIL|READ|X", {"STAT|Unknown Command - \"DETAIL\""}},
      {"CLUB", {"STAT|Incomplete command after : CLUB"}},
      {"VOUCHER|HELP", {"STAT|Unknown Command - \"HELP\""}},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Ask(request), reply) << request;

  // Help texts: the block, then the OK line.
  for (const auto& [request, lines] : std::vector<std::pair<std::string, size_t>>{
           {"shopper|help", 40}, {"CLUB|HELP", 15}, {"DBF|HELP", 20}}) {
    const std::vector<std::string> reply = Ask(request);
    ASSERT_EQ(reply.size(), lines + 1) << request;
    EXPECT_EQ(reply.front(), "TEXT");
    EXPECT_EQ(reply[lines - 1], "|TEXT");
  }
  EXPECT_EQ(Ask("SHOPPER|HELP")[5], "SHOPPER|SEQ|xxx");
}

TEST_F(ShopperService, ClubSummaryInBothFormsAndOnAnEmptyTable) {
  const std::vector<std::string> expected = {
      "CLUB|SUMMARY", "DATA",  "GOLD|Gold members", "SILVER|Silver members",
      "STAFF|",       "|DATA", "STAT|OK|"};
  EXPECT_EQ(WithoutTime(Ask("club|summary")), expected);
  EXPECT_EQ(WithoutTime(AskBlock({"CLUB", "SUMMARY"})), expected);
  const ProgramResult zap = RunProgram(TableTool(), {"zap", (data_ / "CLUB.DBF").string(),
                                                     "--index", (data_ / "CLUB.NTX").string()});
  ASSERT_EQ(zap.status, 0) << zap.err;
  EXPECT_EQ(WithoutTime(Ask("CLUB|SUMMARY")),
            (std::vector<std::string>{"CLUB|SUMMARY", "DATA", "|DATA", "STAT|OK|"}));
}

TEST_F(ShopperService, DollarsWorkedExample) {
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|DOLLARS|1001|120.00|2.00|118.00")),
            (std::vector<std::string>{"SHOPPER|DOLLARS|1001", "BONUS|TRUE", "STAT|OK|"}));
  auto shopper = Shopper("1001");
  EXPECT_EQ(shopper["DOLLAVAIL"], "5");
  EXPECT_EQ(shopper["TTL_PU_AMT"], "7.5");
  EXPECT_EQ(shopper["LST_PU_AMT"], "118");
  EXPECT_EQ(shopper["LST_PU_DTE"], Today());
  ExpectIndexesExact("TRACKER.DBF");
}

TEST_F(ShopperService, DollarsRewardsPointsAndPayBacks) {
  struct Case {
    std::string request;
    bool bonus;
    std::string number;  // as echoed and stored
    std::map<std::string, std::string> after;
  };
  const std::vector<Case> cases = {
      // Points exactly at the threshold earn one reward and leave none; the club code is
      // found whatever its case.
      {"SHOPPER|DOLLARS|1006|100|0|100", true, "1006", {{"DOLLAVAIL", "5"}, {"TTL_PU_AMT", "0"}}},
      // 149.9999 points: two rewards, the rest stays.
      {"SHOPPER|DOLLARS|1005|1000|0|1000",
       true,
       "1005",
       {{"DOLLAVAIL", "10"}, {"TTL_PU_AMT", "49.9999"}}},
      // An unknown club, and a blank one: no points, no reward; the number matches upper-cased.
      {"SHOPPER|DOLLARS|1004|50|0.50|49.50",
       false,
       "1004",
       {{"DOLLAVAIL", "0.5"}, {"TTL_PU_AMT", "0"}, {"LST_PU_AMT", "49.5"}}},
      {"shopper|dollars|abc|10|0|10",
       false,
       "ABC",
       {{"DOLLAVAIL", "0"}, {"TTL_PU_AMT", "0"}, {"LST_PU_AMT", "10"}}},
      // Pay-backs change only the dollars; without a net amount a deposit row is logged.
      {"SHOPPER|DOLLARS|1002|99|-10.00|0|D123",
       false,
       "1002",
       {{"DOLLAVAIL", "15"}, {"TTL_PU_AMT", "0"}, {"LST_PU_AMT", "0"}, {"LST_PU_DTE", ""}}},
      {"SHOPPER|DOLLARS|1002|99|-10.00|20.00",
       false,
       "1002",
       {{"DOLLAVAIL", "25"}, {"LST_PU_AMT", "0"}}},
      // An unknown shopper: echoed and nothing written.
      {"SHOPPER|DOLLARS|9999|10|0|10", false, "9999", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expected = {"SHOPPER|DOLLARS|" + c.number};
    if (c.bonus) expected.push_back("BONUS|TRUE");
    expected.push_back("STAT|OK|");
    EXPECT_EQ(WithoutTime(Ask(c.request)), expected) << c.request;
    if (c.after.empty()) continue;
    auto shopper = Shopper(c.number);
    for (const auto& [column, value] : c.after) EXPECT_EQ(shopper[column], value) << c.request;
  }
  const std::vector<std::string> log = Records("TRACKLOG.DBF");
  ASSERT_EQ(log.size(), 10u);  // one deposit row
  EXPECT_EQ(log.back(), "1002|" + Today() + "|DEPOSIT|99|Recvd - Balance $15.00|D123|-10.00|1");
  ExpectIndexesExact("TRACKER.DBF");
  ExpectIndexesExact("TRACKLOG.DBF");
}

TEST_F(ShopperService, DollarsRefusesBadRequests) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SHOPPER|DOLLARS|1001|10|0",
       "STAT|TSDM.SHOPPER_Dollars - Syntax Error - No Shopper ID or Dollar Amount"},
      {"SHOPPER|DOLLARS|1001|10|0|10|D1|X",
       "STAT|TSDM.SHOPPER_Dollars - Syntax Error - Excess parameters"},
      {"SHOPPER|DOLLARS|1001|10|ten|10",
       "STAT|TSDM.SHOPPER_Dollars - 'TEN' is not a valid floating point value"},
  };
  for (const auto& [request, line] : cases)
    EXPECT_EQ(Ask(request), std::vector<std::string>{line}) << request;
  EXPECT_EQ(Shopper("1001")["DOLLAVAIL"], "2");
}

// Another program holds the shopper's record: after the retries (five seconds) the reply is the
// lock-failure line, the status log says so, and nothing is written.
TEST_F(ShopperService, DollarsOnARecordHeldByAnotherProgram) {
  ChildProcess holder(TableTool(), {"lock", (data_ / "TRACKER.DBF").string(), "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  EXPECT_EQ(Ask("SHOPPER|DOLLARS|1001|120.00|2.00|118.00", std::chrono::seconds(20)),
            (std::vector<std::string>{
                "SHOPPER|DOLLARS|1001",
                "STAT|TSDM.SHOPPER_Dollars - Ostra Pos Failed to lock record in TRACKER.DBF"}));
  const std::string log = ReadFile(data_ / "Debug" / "STATUS.TXT");
  EXPECT_NE(log.find("TDM.RLock - Failed on TRACKER.DBF"), std::string::npos) << log;
  EXPECT_EQ(Shopper("1001")["DOLLAVAIL"], "2");
}

TEST_F(ShopperService, SeqHandsOutTheNextPurchaseNumber) {
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|SEQ|1001")),
            (std::vector<std::string>{"SHOPPER|SEQ|1001", "SEQ|42", "STAT|OK|"}));
  EXPECT_EQ(WithoutTime(Ask("shopper|seq|1001")),
            (std::vector<std::string>{"SHOPPER|SEQ|1001", "SEQ|43", "STAT|OK|"}));
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|SEQ|NOSUCH")),
            (std::vector<std::string>{"SHOPPER|SEQ|NOSUCH", "STAT|OK|"}));
  EXPECT_EQ(Ask("SHOPPER|SEQ"),
            std::vector<std::string>{"STAT|TSDM.SHOPPER_Seq - Syntax Error - No Shopper ID"});
  EXPECT_EQ(Ask("SHOPPER|SEQ|1|2"),
            std::vector<std::string>{"STAT|TSDM.SHOPPER_Seq - Syntax Error - Excess parameters"});
  ExpectIndexesExact("TRACKER.DBF");
}

TEST_F(ShopperService, ReadWithAndWithoutAFilter) {
  const std::vector<std::string> all = Ask("SHOPPER|READ");
  ASSERT_EQ(all.size(), 11u);
  EXPECT_EQ(all[0], "SHOPPER|READ");
  EXPECT_EQ(all[2].substr(0, 36), "ACCOUNTNUM;C;16;0|TITLE;C;10;0|FIRST");
  EXPECT_EQ(all[3],
            "1001|Mr|John|Smith|1 High St|Northgate|0400 000 001|GOLD|2|01/01/2026|50|45.5|"
            "41|5||||");
  EXPECT_EQ(Column(all, 0),
            (std::vector<std::string>{"1001", "1002", "ABC", "1004", "1005", "1006"}));

  EXPECT_EQ(Column(AskBlock({"SHOPPER|READ", "FILTER=UPPER(SURNAME) = 'SMITH'"}), 0),
            (std::vector<std::string>{"1001", "1004"}));
  // A filter that does not compile, or is not logical, is the error line, and is off again for
  // the next request.
  for (const char* filter : {"FILTER=UPPER(SURNAME = ", "FILTER=SURNAME"}) {
    const std::vector<std::string> reply = AskBlock({"SHOPPER|READ", filter});
    ASSERT_EQ(reply.size(), 1u) << filter;
    EXPECT_EQ(reply[0].rfind("STAT|TSDM.SHOPPER_Read - ", 0), 0u) << reply[0];
  }
  EXPECT_EQ(Ask("SHOPPER|READ").size(), 11u);
}

TEST_F(ShopperService, ReadExFindsTheNumberWhateverItsCase) {
  const std::vector<std::string> reply = Ask("SHOPPER|READEX| abc ");
  ASSERT_EQ(reply.size(), 6u);
  EXPECT_EQ(reply[0], "SHOPPER|DETAIL|ABC");
  EXPECT_EQ(reply[3].substr(0, 5), "ABC||");
  EXPECT_EQ(reply[4], "|DATA");
  EXPECT_EQ(Ask("SHOPPER|READEX|nope"),
            std::vector<std::string>{"STAT|TSDM.SHOPPER_ReadEx - NOT FOUND Shopper:NOPE"});
}

TEST_F(ShopperService, SummaryBuildsNames) {
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|SUMMARY")),
            (std::vector<std::string>{"SHOPPER|SUMMARY", "DATA", "1001|Mr John Smith",
                                      "1002|Ann Lee", "ABC|", "1004|Dr Smith", "1005|Ms Jane Brown",
                                      "1006|Young", "|DATA", "STAT|OK|"}));
}

TEST_F(ShopperService, HistoryReturnsTheNewestDocketsOldestFirst) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"SHOPPER|HISTORY|1001|1", {"P4", "P5"}},
      {"SHOPPER|HISTORY|1001|2", {"P3", "P4", "P5"}},
      {"SHOPPER|HISTORY|1001|0", {"P1", "P2", "P3", "P4", "P5"}},
      {"SHOPPER|HISTORY|1001|9", {"P1", "P2", "P3", "P4", "P5"}},
      {"SHOPPER|HISTORY|1001|-1", {"P1", "P2", "P3", "P4", "P5"}},
      // The first shopper of the order, and one without rows.
      {"SHOPPER|HISTORY|1000|5", {"P1", "P2"}},
      {"SHOPPER|HISTORY|1002|1", {}},
      // Only the first 16 characters of the number count.
      {"SHOPPER|HISTORY|12345678901234567890|1", {"P7"}},
  };
  for (const auto& [request, products] : cases) {
    const std::vector<std::string> reply = Ask(request);
    ASSERT_GE(reply.size(), 5u) << request;
    EXPECT_EQ(reply[0], "SHOPPER|HISTORY|" + Split(request)[2].substr(0, 16)) << request;
    EXPECT_EQ(reply[2],
              "ACCOUNTNUM;C;16;0|SALEDATE;D;8;0|PRODCODE;C;13;0|GROUP;N;3;0|"
              "DESCRIPTIO;C;30;0|DOCKET;C;10;0|AMOUNT;N;10;2|QTY;N;6;0");
    EXPECT_EQ(Column(reply, 2), products) << request;
    EXPECT_EQ(reply[reply.size() - 2], "|DATA") << request;
  }
  EXPECT_EQ(Ask("SHOPPER|HISTORY|1001|x"),
            (std::vector<std::string>{"|DATA",
                                      "STAT|TSDM.SHOPPER_Seq - 'X' is not a valid integer value"}));
  EXPECT_EQ(
      Ask("shopper|history|1001"),
      std::vector<std::string>{"STAT|TSDM.SHOPPER_Seq - Syntax Error - SHOPPER|HISTORY|1001"});
}

}  // namespace
}  // namespace fidora::test
