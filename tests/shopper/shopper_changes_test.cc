// SHOPPER APPEND, EDIT, EDIT_NUMBER and OFFER through the real server on the small shop: the
// replies, the rows they write (shopper, adjustment rows, renumbered sales, lay-bys and log
// rows, the change log), what stays written when another program holds a record, and every
// index of a written table exact afterwards.
#include "shopper_fixture.h"

namespace fidora::test {
namespace {

class ShopperChanges : public ShopperService {
 protected:
  // Sets one column of a record of a table of the shop (no index of the table covers it).
  void SetColumn(const std::string& table, int record, const std::string& assignment) {
    const ProgramResult r = RunProgram(
        TableTool(), {"set", (data_ / table).string(), std::to_string(record), assignment});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // One column (0-based) of every record of a table, as the table tool dumps them.
  std::vector<std::string> TableColumn(const std::string& table, size_t column) {
    std::vector<std::string> values;
    for (const std::string& record : Records(table)) values.push_back(Split(record).at(column));
    return values;
  }
  std::string StatusLogText() { return ReadFile(data_ / "Debug" / "STATUS.TXT"); }
  // The purchase-log rows after the small shop's nine.
  std::vector<std::string> NewLogRows() {
    std::vector<std::string> rows = Records("TRACKLOG.DBF");
    rows.erase(rows.begin(), rows.begin() + 9);
    return rows;
  }
  void ExpectEveryIndexExact() {
    for (const char* table : {"TRACKER.DBF", "TRACKLOG.DBF", "POSHEAD.DBF", "LAYBYHED.DBF"})
      ExpectIndexesExact(table);
  }
};

std::vector<std::string> Lines(std::initializer_list<std::string> lines) {
  return lines;
}

// ---- APPEND --------------------------------------------------------------------------------

TEST_F(ShopperChanges, AppendAutoTakesTheFirstFreeNumberFromTheStart) {
  // Start 1001: 1001 and 1002 are taken.
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO", "SURNAME=Auto"})),
            Lines({"SHOPPER|APPEND|AUTO", "ACCOUNTNUM|1003", "STAT|OK|"}));
  EXPECT_EQ(Shopper("1003")["SURNAME"], "Auto");
  // 1003 to 1006 are taken now.
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "ACCOUNTNUM=AUTO"})),
            Lines({"SHOPPER|APPEND|AUTO", "ACCOUNTNUM|1007", "STAT|OK|"}));
  // "auto" is a number like any other.
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "accountnum=auto"})),
            Lines({"SHOPPER|APPEND|auto", "ACCOUNTNUM|auto", "STAT|OK|"}));

  // A start that is not a number is 1, and so is a negative one; 0 is a start like any other.
  // A start at the last number gives it, then no more.
  for (const auto& [start, number] : std::vector<std::pair<std::string, std::string>>{
           {"one", "1"}, {"-5", "2"}, {"-2147483649", "3"}, {" 0", "0"}}) {
    SetColumn("Morvex.DBF", 3, "VALUE=" + start);
    EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"})[1], "ACCOUNTNUM|" + number) << start;
  }
  SetColumn("Morvex.DBF", 3, "VALUE=999999");
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"})[1], "ACCOUNTNUM|999999");
  const std::vector<std::string> refused = {
      "SHOPPER|APPEND|AUTO",
      "STAT|TSDM.SHOPPER_Append - F/S number could not be automatically generated"};
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"}), refused);
  // Numbering off, then its row gone.
  SetColumn("Morvex.DBF", 3, "VALUE=1");
  SetColumn("Morvex.DBF", 2, "VALUE=0");
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"}), refused);
  SetColumn("Morvex.DBF", 2, "SECTION=FreqShop:AutoGenNumberX");
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"}), refused);

  EXPECT_EQ(Records("TRACKER.DBF").size(), 14u);
  ExpectIndexesExact("TRACKER.DBF");
}

// Numbers 1 to 300 taken but 261, 258 deleted: the seeks run past their limit and the pass over
// the table takes over; deleted shoppers and look-alike numbers leave their numbers free.
TEST_F(ShopperChanges, AppendAutoPastALongRunOfTakenNumbers) {
  TShopTable shoppers = SmallShopTables().front();
  shoppers.rows.clear();
  for (int n = 1; n <= 300; ++n)
    if (n != 261) shoppers.rows.push_back(std::to_string(n) + std::string(17, '|'));
  shoppers.rows.push_back("0261" + std::string(17, '|'));
  shoppers.rows.push_back(" 261" + std::string(17, '|'));
  std::filesystem::remove(data_ / shoppers.file);
  for (const auto& index : shoppers.indexes) std::filesystem::remove(data_ / index.first);
  WriteShopTable(data_, shoppers);
  const ProgramResult deleted =
      RunProgram(TableTool(), {"delete", (data_ / shoppers.file).string(), "258"});
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  SetColumn("Morvex.DBF", 3, "VALUE=1");

  for (const char* number : {"258", "261", "301"})
    EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "accountnum=AUTO"})),
              Lines({"SHOPPER|APPEND|AUTO", std::string("ACCOUNTNUM|") + number, "STAT|OK|"}));
  ExpectIndexesExact("TRACKER.DBF");
}

TEST_F(ShopperChanges, AppendRefusesNumbersThatAreEmptyOrTaken) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"SHOPPER|APPEND|", "accountnum=1001"},
       {"SHOPPER|APPEND|1001",
        "STAT|TSDM.SHOPPER_Append - This F/S number (1001) is already used"}},
      // The number as TRAKNUM will hold it: upper-cased, and cut to the column's 16 characters.
      {{"SHOPPER|APPEND|", "accountnum=abc"},
       {"SHOPPER|APPEND|abc", "STAT|TSDM.SHOPPER_Append - This F/S number (abc) is already used"}},
      {{"SHOPPER|APPEND|", "accountnum=1001            X"},
       {"SHOPPER|APPEND|1001            X",
        "STAT|TSDM.SHOPPER_Append - This F/S number (1001            X) is already used"}},
      {{"SHOPPER|APPEND|", "accountnum=   "},
       {"SHOPPER|APPEND|   ", "STAT|TSDM.SHOPPER_Append - F/S number cannot be empty"}},
      {{"SHOPPER|APPEND|", "SURNAME=Nobody"},
       {"SHOPPER|APPEND|", "STAT|TSDM.SHOPPER_Append - F/S number cannot be empty"}},
      // Letters for a number: the shopper is not written.
      {{"SHOPPER|APPEND|", "accountnum=78", "LST_PU_NUM=many"},
       {"SHOPPER|APPEND|78",
        "STAT|TSDM.SHOPPER_Append - Could not convert variant of type "
        "(String) into type (Integer)"}},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(AskBlock(request), reply) << request[1];

  // A second accountnum line cannot store a number that was not checked.
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "accountnum=77", "ACCOUNTNUM=1001"})),
            Lines({"SHOPPER|APPEND|77", "ACCOUNTNUM|77", "STAT|OK|"}));
  // In the order TRAKNUM, which APPEND leaves selected.
  EXPECT_EQ(Column(Ask("SHOPPER|READ"), 0),
            Lines({"1001", "1002", "1004", "1005", "1006", "77", "ABC"}));
  ExpectIndexesExact("TRACKER.DBF");
}

TEST_F(ShopperChanges, AppendLogsTheBalancesItSets) {
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|", "accountnum=77", "DOLLAVAIL=10"})),
            Lines({"SHOPPER|APPEND|77", "ACCOUNTNUM|77", "STAT|OK|"}));
  // The note (upper-cased with the command line) is the description; 0 is no change.
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|welcome", "accountnum=78", "TTL_PU_AMT=2.5", "DOLLAVAIL=0",
                      "FIRSTNAME=Ann"})
                .size(),
            3u);
  // The adjustment row comes before the shopper is posted, so it stays when the shopper fails.
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=79", "DOLLAVAIL=3", "OFFRITEM=x"}).size(), 2u);
  EXPECT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=80", "DOLLAVAIL=ten"}),
            Lines({"SHOPPER|APPEND|80",
                   "STAT|TSDM.SHOPPER_Append - Could not convert variant of "
                   "type (String) into type (Double)"}));
  const std::string today = Today();
  EXPECT_EQ(NewLogRows(), Lines({"77|" + today + "|ADD_DOLLAR|99|Recvd - DOLLAVAIL 10||10.00|1",
                                 "78|" + today + "|ADD_POINT|99|WELCOME||2.50|1",
                                 "79|" + today + "|ADD_DOLLAR|99|Recvd - DOLLAVAIL 3||3.00|1"}));
  EXPECT_EQ(Shopper("77")["DOLLAVAIL"], "10");
  EXPECT_EQ(Shopper("78")["TTL_PU_AMT"], "2.5");
  EXPECT_EQ(Records("TRACKER.DBF").size(), 8u);
  ExpectIndexesExact("TRACKER.DBF");
  ExpectIndexesExact("TRACKLOG.DBF");
}

// An independent reader sees the rows the server wrote: the new shopper with its converted
// values, the OEM text, the adjustment row and, after a renumbering, the change-log row.
TEST_F(ShopperChanges, WrittenRowsReadBackInAnIndependentReader) {
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|APPEND|welcome", "accountnum=AUTO", "SURNAME=M\xFCller",
                                  "DOLLAVAIL=12.5", "EXP_DATE=31/12/2027", "OFFRITEM=3"})),
            Lines({"SHOPPER|APPEND|AUTO", "ACCOUNTNUM|1003", "STAT|OK|"}));
  ASSERT_EQ(WithoutTime(Ask("SHOPPER|EDIT_NUMBER|1003|N1003|kim")), Lines({"STAT|OK|"}));
  const char* script = R"(
import sys, dbfread
d = sys.argv[1] + '/'
shoppers = list(dbfread.DBF(d + 'TRACKER.DBF', encoding='cp437'))
print(len(shoppers))
for r in shoppers:
    if r['ACCOUNTNUM'] == 'N1003':
        print(ascii((r['SURNAME'], r['DOLLAVAIL'], r['EXP_DATE'].isoformat(), r['OFFRITEM'])))
r = list(dbfread.DBF(d + 'TRACKLOG.DBF', encoding='cp437'))[-1]
print(ascii((r['ACCOUNTNUM'], r['PRODCODE'], r['GROUP'], r['SALEDATE'].isoformat(),
             r['DESCRIPTIO'], r['AMOUNT'], r['QTY'])))
for r in dbfread.DBF(d + 'TRACKCHLOG.DBF', encoding='cp437'):
    print(ascii((r['DATE'].isoformat(), r['OLD_NUMBER'], r['NEW_NUMBER'], r['CLERK'])))
)";
  const ProgramResult r = RunProgram("/usr/bin/python3", {"-c", script, data_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string today = Today(),
                    iso = today.substr(6) + "-" + today.substr(3, 2) + "-" + today.substr(0, 2);
  EXPECT_EQ(r.out,
            "7\n"
            "('M\\xfcller', 12.5, '2027-12-31', 3)\n"
            "('N1003', 'ADD_DOLLAR', 99, '" +
                iso +
                "', 'WELCOME', 12.5, 1)\n"
                "('" +
                iso + "', '1003', 'N1003', 'KIM')\n");
}

// ---- EDIT ----------------------------------------------------------------------------------

TEST_F(ShopperChanges, EditChangesColumnsAndLogsEveryBalanceChange) {
  // 1006 holds 40 points, 1001 holds 2.00 dollars.
  EXPECT_EQ(WithoutTime(AskBlock({"SHOPPER|EDIT|", "accountnum=1006", "TTL_PU_AMT=45",
                                  "SURNAME =Smith", "firstname=Jo", "ACCOUNTNUM=2000"})),
            Lines({"SHOPPER|EDIT|1006", "STAT|OK|"}));
  EXPECT_EQ(AskBlock({"SHOPPER|EDIT|", "accountnum=1006", "TTL_PU_AMT=45.0"}).size(), 2u);
  EXPECT_EQ(AskBlock({"SHOPPER|EDIT|fix", "ACCOUNTNUM=1001", "DOLLAVAIL=10"}).size(), 2u);
  const std::string today = Today();
  EXPECT_EQ(NewLogRows(), Lines({"1006|" + today + "|ADD_POINT|99|Recvd - TTL_PU_AMT 45||5.00|1",
                                 "1001|" + today + "|ADD_DOLLAR|99|FIX||8.00|1"}));
  auto shopper = Shopper("1006");
  EXPECT_EQ(shopper["TTL_PU_AMT"], "45");
  EXPECT_EQ(shopper["SURNAME"], "Young");
  EXPECT_EQ(shopper["FIRSTNAME"], "Jo");
  EXPECT_EQ(Shopper("1001")["DOLLAVAIL"], "10");

  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> refused = {
      {{"SHOPPER|EDIT|", "accountnum=9999", "SURNAME=X"},
       {"SHOPPER|EDIT|9999", "STAT|TSDM.SHOPPER_Edit - This F/S number is not found"}},
      // The number is sought as given: TRAKNUM holds it upper-cased.
      {{"SHOPPER|EDIT|", "accountnum=abc", "SURNAME=X"},
       {"SHOPPER|EDIT|abc", "STAT|TSDM.SHOPPER_Edit - This F/S number is not found"}},
      {{"SHOPPER|EDIT|", "accountnum=1002", "TTL_PU_AMT=lots"},
       {"SHOPPER|EDIT|1002",
        "STAT|TSDM.SHOPPER_Edit - Could not convert variant of type "
        "(String) into type (Double)"}},
  };
  for (const auto& [request, reply] : refused) EXPECT_EQ(AskBlock(request), reply) << request[1];
  EXPECT_EQ(Records("TRACKLOG.DBF").size(), 11u);
  ExpectIndexesExact("TRACKER.DBF");
  ExpectIndexesExact("TRACKLOG.DBF");
}

// Another program holds the shopper's record: EDIT tries once and answers at once.
TEST_F(ShopperChanges, EditOfARecordHeldByAnotherProgram) {
  ChildProcess holder(TableTool(), {"lock", (data_ / "TRACKER.DBF").string(), "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  EXPECT_EQ(
      AskBlock({"SHOPPER|EDIT|", "accountnum=1001", "DOLLAVAIL=9"}),
      Lines({"SHOPPER|EDIT|1001", "STAT|TSDM.SHOPPER_Edit - Record is locked by another user"}));
  EXPECT_EQ(Records("TRACKLOG.DBF").size(), 9u);
  EXPECT_EQ(Shopper("1001")["DOLLAVAIL"], "2");
}

// ---- EDIT_NUMBER ---------------------------------------------------------------------------

TEST_F(ShopperChanges, EditNumberMovesTheShopperAndEveryRowOfIt) {
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|EDIT_NUMBER|1001|2001|kim")), Lines({"STAT|OK|"}));
  EXPECT_EQ(Shopper("2001")["SURNAME"], "Smith");
  EXPECT_EQ(Ask("SHOPPER|READEX|1001"),
            Lines({"STAT|TSDM.SHOPPER_ReadEx - NOT FOUND Shopper:1001"}));
  // Trimmed values equal to the old number change; blanks, look-alikes and others do not.
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"2001", "", "10010", "2001", "1002", "2001"}));
  EXPECT_EQ(TableColumn("LAYBYHED.DBF", 1), Lines({"1002", "2001"}));
  EXPECT_EQ(TableColumn("TRACKLOG.DBF", 0), Lines({"2001", "2001", "1000", "2001", "1000", "2001",
                                                   "2001", "10010", "1234567890123456"}));
  EXPECT_EQ(Records("TRACKCHLOG.DBF"), Lines({Today() + "|1001|2001|KIM"}));
  ExpectEveryIndexExact();
  // The history follows the shopper.
  EXPECT_EQ(Column(Ask("SHOPPER|HISTORY|2001|1"), 2), Lines({"P4", "P5"}));
}

TEST_F(ShopperChanges, EditNumberRefusalsChangeNothing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SHOPPER|EDIT_NUMBER|1001|1002|K", "This new F/S number is already used"},
      // The new number is checked first, so the same number twice is "already used".
      {"SHOPPER|EDIT_NUMBER|1001|1001|K", "This new F/S number is already used"},
      {"SHOPPER|EDIT_NUMBER|9999|2001|K", "This F/S number is not found"},
      // Numbers are upper-cased with the command line; a new number is taken as TRAKNUM will
      // hold it, cut to 16 characters.
      {"shopper|edit_number|1001|abc|k", "This new F/S number is already used"},
      {"SHOPPER|EDIT_NUMBER|1001|1002            99|K", "This new F/S number is already used"},
      // A missing number never names a shopper: the shopper's rows would join the blank ones.
      {"SHOPPER|EDIT_NUMBER|1001", "F/S number cannot be empty"},
      {"SHOPPER|EDIT_NUMBER||2001|K", "This F/S number is not found"},
  };
  for (const auto& [request, message] : cases)
    EXPECT_EQ(Ask(request), Lines({"STAT|TSDM.SHOPPER_EditNumber - " + message})) << request;
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"1001", "", "10010", " 1001", "1002", "1001"}));
  EXPECT_TRUE(Records("TRACKCHLOG.DBF").empty());
  EXPECT_EQ(Shopper("1001")["SURNAME"], "Smith");
}

// Numbers holding the filter's own characters, or letters outside ASCII (stored in the OEM
// code page), match only themselves.
TEST_F(ShopperChanges, EditNumberOfNumbersWithPatternQuoteAndAccentedCharacters) {
  const std::vector<std::string> numbers = {"100*", "X\"Y'Z]",
                                            "\xC9"
                                            "1"};  // É1 in Windows-1252
  for (size_t i = 0; i < numbers.size(); ++i) {
    // The adjustment row of the new shopper is its purchase-log row.
    ASSERT_EQ(AskBlock({"SHOPPER|APPEND|", "accountnum=" + numbers[i], "DOLLAVAIL=1"}).size(), 3u)
        << numbers[i];
    EXPECT_EQ(WithoutTime(Ask("SHOPPER|EDIT_NUMBER|" + numbers[i] + "|N" + std::to_string(i))),
              Lines({"STAT|OK|"}))
        << numbers[i];
  }
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"1001", "", "10010", " 1001", "1002", "1001"}));
  EXPECT_EQ(TableColumn("TRACKLOG.DBF", 0),
            Lines({"1001", "1001", "1000", "1001", "1000", "1001", "1001", "10010",
                   "1234567890123456", "N0", "N1", "N2"}));
  EXPECT_EQ(Records("TRACKCHLOG.DBF").size(), 3u);
  ExpectEveryIndexExact();
}

// A sale held by a till stops the renumbering there: what was written stays, there is no
// change-log row, and the status log says where it stopped.
TEST_F(ShopperChanges, EditNumberStopsAtARecordHeldByAnotherProgram) {
  ChildProcess holder(TableTool(), {"lock", (data_ / "POSHEAD.DBF").string(), "4", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  EXPECT_EQ(Ask("SHOPPER|EDIT_NUMBER|1001|2001|K"),
            Lines({"STAT|TSDM.SHOPPER_EditNumber - Record is locked by another user"}));
  EXPECT_EQ(Shopper("2001")["SURNAME"], "Smith");
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"2001", "", "10010", " 1001", "1002", "1001"}));
  EXPECT_EQ(TableColumn("LAYBYHED.DBF", 1), Lines({"1002", "1001"}));
  EXPECT_TRUE(Records("TRACKCHLOG.DBF").empty());
  const std::string log = StatusLogText();
  EXPECT_NE(log.find("TSDM.SHOPPER_EditNumber - renumbering 1001 to 2001 stopped at record 4 of "
                     "POSHEAD.DBF (Record is locked by another user); the shopper carries 2001, "
                     "rows still carrying 1001 may be in POSHEAD.DBF, LAYBYHED.DBF, TRACKLOG.DBF; "
                     "no row was written to TRACKCHLOG.DBF"),
            std::string::npos)
      << log;
  ExpectEveryIndexExact();
}

// A related table or the change log that cannot be used stops the renumbering there: the
// shopper and the rows before stay renumbered, and the status log says what is left to do.
TEST_F(ShopperChanges, EditNumberStopsAtATableThatCannotBeOpened) {
  std::filesystem::remove(data_ / "LAYBYHED.DBF");
  const std::vector<std::string> reply = Ask("SHOPPER|EDIT_NUMBER|1001|2001|K");
  ASSERT_EQ(reply.size(), 1u);
  EXPECT_EQ(reply[0].rfind("STAT|TSDM.SHOPPER_EditNumber - Cannot find file ", 0), 0u) << reply[0];
  EXPECT_EQ(Shopper("2001")["SURNAME"], "Smith");
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"2001", "", "10010", "2001", "1002", "2001"}));
  EXPECT_EQ(TableColumn("TRACKLOG.DBF", 0)[0], "1001");
  EXPECT_TRUE(Records("TRACKCHLOG.DBF").empty());
  const std::string log = StatusLogText();
  for (const std::string part :
       {"TSDM.SHOPPER_EditNumber - renumbering 1001 to 2001 stopped at LAYBYHED.DBF (Cannot "
        "find file ",
        "); the shopper carries 2001, rows still carrying 1001 may be in LAYBYHED.DBF, "
        "TRACKLOG.DBF; no row was written to TRACKCHLOG.DBF"})
    EXPECT_NE(log.find(part), std::string::npos) << log;
  for (const char* table : {"TRACKER.DBF", "POSHEAD.DBF"}) ExpectIndexesExact(table);
}

TEST_F(ShopperChanges, EditNumberWithAChangeLogItCannotWrite) {
  // The structure check has run at start; the change log loses its CLERK column now.
  std::filesystem::remove(data_ / "TRACKCHLOG.DBF");
  WriteShopTable(
      data_, {"TRACKCHLOG.DBF", {"DATE;D;8;0", "OLD_NUMBER;C;16;0", "NEW_NUMBER;C;16;0"}, {}, {}});
  const std::vector<std::string> reply = Ask("SHOPPER|EDIT_NUMBER|1001|2001|K");
  ASSERT_EQ(reply.size(), 1u);
  EXPECT_EQ(reply[0].rfind("STAT|TSDM.SHOPPER_EditNumber - ", 0), 0u) << reply[0];
  EXPECT_NE(reply[0].find("CLERK"), std::string::npos) << reply[0];
  EXPECT_EQ(TableColumn("POSHEAD.DBF", 1), Lines({"2001", "", "10010", "2001", "1002", "2001"}));
  EXPECT_EQ(TableColumn("LAYBYHED.DBF", 1), Lines({"1002", "2001"}));
  EXPECT_EQ(TableColumn("TRACKLOG.DBF", 0)[0], "2001");
  EXPECT_TRUE(Records("TRACKCHLOG.DBF").empty());
  const std::string message = reply[0].substr(reply[0].find(" - ") + 3);
  const std::string log = StatusLogText();
  EXPECT_NE(log.find("TSDM.SHOPPER_EditNumber - renumbering 1001 to 2001 stopped at "
                     "TRACKCHLOG.DBF (" +
                     message +
                     "); the shopper and its rows carry 2001; no row was written to "
                     "TRACKCHLOG.DBF"),
            std::string::npos)
      << log;
  ExpectEveryIndexExact();
}

// ---- OFFER ---------------------------------------------------------------------------------

TEST_F(ShopperChanges, OfferSingleAdjustAndReset) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"SHOPPER|OFFER|SINGLE|1001|-2", {"STAT|OK|"}},  // 5 - 2
      {"SHOPPER|OFFER|SINGLE|1002|7", {"STAT|OK|"}},
      {"shopper|offer|single| abc |3", {"STAT|OK|"}},
      {"SHOPPER|OFFER|SINGLE|nosuch|1", {"STAT|TSDM.SHOPPER_Offer - NOT FOUND Shopper:NOSUCH"}},
      {"SHOPPER|OFFER|SINGLE|1001|x",
       {"STAT|TSDM.SHOPPER_Offer - 'X' is not a valid integer value"}},
      // 3 + 9999 does not fit the counter's four digits.
      {"SHOPPER|OFFER|SINGLE|1001|9999",
       {"STAT|TSDM.SHOPPER_Offer - numeric value too big in field OFFRITEM - 10002"}},
      {"SHOPPER|OFFER|ADJUST|half",
       {"STAT|TSDM.SHOPPER_Offer - 'HALF' is not a valid floating point value"}},
      {"SHOPPER|OFFER|FOO", {"STAT|Unknown Command - \"FOO\""}},
      {"SHOPPER|OFFER", {"STAT|Unknown Command - \"\""}},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(WithoutTime(Ask(request)), reply) << request;
  auto counters = [&] {
    std::vector<std::string> values;
    for (const char* number : {"1001", "1002", "ABC", "1004"})
      values.push_back(Shopper(number)["OFFRITEM"]);
    return values;
  };
  ASSERT_EQ(counters(), Lines({"3", "7", "3", "0"}));
  ASSERT_EQ(WithoutTime(Ask("SHOPPER|OFFER|SINGLE|1002|-2")), Lines({"STAT|OK|"}));
  // 1.5, 2.5 and 3.5 go to the even neighbour.
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|OFFER|ADJUST|0.5")), Lines({"STAT|OK|"}));
  EXPECT_EQ(counters(), Lines({"2", "2", "2", "0"}));
  ASSERT_EQ(WithoutTime(Ask("SHOPPER|OFFER|SINGLE|1001|5")), Lines({"STAT|OK|"}));  // 7
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|OFFER|ADJUST|0.5")), Lines({"STAT|OK|"}));
  EXPECT_EQ(counters(), Lines({"4", "1", "1", "0"}));
  EXPECT_EQ(WithoutTime(Ask("SHOPPER|OFFER|RESET")), Lines({"STAT|OK|"}));
  EXPECT_EQ(counters(), Lines({"0", "0", "0", "0"}));
  ExpectIndexesExact("TRACKER.DBF");
}

// RESET meets a record another program holds: the error line, the shoppers before it stay
// reset, and the status log names the record.
TEST_F(ShopperChanges, OfferResetStopsAtARecordHeldByAnotherProgram) {
  ASSERT_EQ(WithoutTime(Ask("SHOPPER|OFFER|SINGLE|1004|6")), Lines({"STAT|OK|"}));
  ChildProcess holder(TableTool(), {"lock", (data_ / "TRACKER.DBF").string(), "3", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  EXPECT_EQ(Ask("SHOPPER|OFFER|RESET"),
            Lines({"STAT|TSDM.SHOPPER_Offer - Record is locked by another user"}));
  EXPECT_EQ(Shopper("1001")["OFFRITEM"], "0");
  EXPECT_EQ(Shopper("1004")["OFFRITEM"], "6");
  const std::string log = StatusLogText();
  EXPECT_NE(log.find("TSDM.SHOPPER_Offer - RESET stopped at record 3 of TRACKER.DBF (shopper "
                     "ABC): Record is locked by another user"),
            std::string::npos)
      << log;
  ExpectIndexesExact("TRACKER.DBF");
}

}  // namespace
}  // namespace fidora::test
