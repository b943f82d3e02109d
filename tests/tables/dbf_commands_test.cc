// DBF READ and APPEND through the real server on a small shop: any table read with a filter,
// a field list and record numbers, records appended with the index files named, and names
// that would leave the data directory refused.
#include "support/shop_server.h"

namespace fidora::test {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class DbfCommands : public ShopServerTest {
 protected:
  void WriteTable(const std::string& file, const std::vector<std::string>& fields,
                  const std::vector<std::string>& rows) {
    WriteShopTable(data_, {file, fields, rows, {}});
  }
};

TEST_F(DbfCommands, ReadSelectsFieldsInTableOrderWithRecordNumbers) {
  EXPECT_EQ(
      WithoutTime(AskBlock({"DBF|READ|club", "FIELDS=CLUBDESC|CLUB", "RECNO=1"})),
      (std::vector<std::string>{"DBF|READ|CLUB", "DATA", "CLUB;C;10;0|CLUBDESC;C;30;0|RECNO;N;8;0",
                                "GOLD|Gold members|1", "SILVER|Silver members|2", "STAFF||3",
                                "|DATA", "STAT|OK|"}));
  // All columns, numbers in their general form; RECNO only for "1"; a list naming no column.
  const std::vector<std::string> all = AskBlock({"DBF|READ|CLUB", "RECNO=true"});
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[2], "CLUB;C;10;0|CLUBDESC;C;30;0|CLUBPTS;N;6;0|CLUBREWRD;N;6;0|CLUBDOLL;N;10;2");
  EXPECT_EQ(all[4], "SILVER|Silver members|20|50|2.5");
  const std::vector<std::string> none = AskBlock({"DBF|READ|CLUB", "FIELDS=NOSUCH"});
  ASSERT_EQ(none.size(), 8u);
  EXPECT_EQ(none[2], "");
  EXPECT_EQ(none[3], "");
}

TEST_F(DbfCommands, ReadFiltersWithTheTripleQuoteRule) {
  EXPECT_EQ(WithoutTime(AskBlock({"DBF|READ|CLUB", "FIELDS=CLUB", "FILTER=CLUB = \"\"\"GOLD\""})),
            (std::vector<std::string>{"DBF|READ|CLUB", "DATA", "CLUB;C;10;0", "GOLD", "|DATA",
                                      "STAT|OK|"}));
  for (const char* filter : {"FILTER=CLUB = ", "FILTER=CLUBPTS + 1"}) {
    const std::vector<std::string> reply = AskBlock({"DBF|READ|CLUB", filter});
    ASSERT_EQ(reply.size(), 1u) << filter;
    const std::string used = std::string(filter).substr(7);
    EXPECT_EQ(reply[0].rfind("STAT|TDM.DBF_Read - Could not open table CLUB.dbf. Error text \"", 0),
              0u)
        << reply[0];
    EXPECT_EQ(reply[0].substr(reply[0].size() - used.size() - 18),
              "\". Used filter \"" + used + "\".")
        << reply[0];
  }
}

TEST_F(DbfCommands, ReadStopsAtTheReplyLimit) {
  WriteTable("BIG.DBF", {"N;N;6;0"}, {});
  std::vector<std::string> append = {"DBF|APPEND|BIG", "DATA", "N"};
  for (int i = 1; i <= 1000; ++i) append.push_back(std::to_string(i));
  append.push_back("|DATA");
  ASSERT_EQ(WithoutTime(AskBlock(append)), std::vector<std::string>{"STAT|OK|"});
  const std::vector<std::string> reply = Ask("DBF|READ|BIG");
  ASSERT_EQ(reply.size(), 1002u);
  EXPECT_EQ(reply[3], "1");
  EXPECT_EQ(reply[999], "997");
  EXPECT_EQ(reply[1000], "|DATA");
  EXPECT_EQ(reply[1001].rfind("STAT|OK|", 0), 0u);
}

TEST_F(DbfCommands, ReadAndAppendRefuseBadRequestsAndNamesOutsideTheDataDirectory) {
  const std::string missing = (data_ / "NOSUCH.dbf").string();
  const std::vector<std::pair<std::string, std::string>> reads = {
      {"DBF", "STAT|Incomplete command after : DBF"},
      {"DBF|READ", "STAT|TDM.DBF_Read - Syntax Error : DBF|READ"},
      {"dbf|read|nosuch",
       "STAT|TDM.DBF_Read - Could not open table NOSUCH.dbf. Error text \"Cannot find file " +
           missing + "\". Used filter \"\"."},
      {"DBF|READ|../TRACKER",
       "STAT|TDM.DBF_Read - Could not open table ../TRACKER.dbf. Error text \"The name leaves "
       "the data directory\". Used filter \"\"."},
      {"DBF|READ|sub\\..\\..\\TRACKER",
       "STAT|TDM.DBF_Read - Could not open table SUB\\..\\..\\TRACKER.dbf. Error text \"The name "
       "leaves the data directory\". Used filter \"\"."},
      {"DBF|READ|" + (data_ / "CLUB").string(),
       "STAT|TDM.DBF_Read - Could not open table " + Upper((data_ / "CLUB").string()) +
           ".dbf. Error text \"The name leaves the data directory\". Used filter \"\"."},
      {"DBF|FOO", "STAT|Unknown Command - \"FOO\""},
  };
  for (const auto& [request, line] : reads)
    EXPECT_EQ(Ask(request), std::vector<std::string>{line}) << request;

  // A table of the server's own directory, reached from a copy one level down.
  std::filesystem::create_directories(data_ / "sub");
  std::filesystem::copy_file(data_ / "CLUB.DBF", root_ / "CLUB.DBF");
  const std::string outside = "STAT|TDM.DBF_Append - The name leaves the data directory";
  EXPECT_EQ(AskBlock({"DBF|APPEND|../CLUB", "DATA", "CLUB", "EVIL", "|DATA"}),
            std::vector<std::string>{outside});
  EXPECT_EQ(AskBlock({"DBF|APPEND|CLUB", "INDEX=../../x", "DATA", "CLUB", "EVIL", "|DATA"}),
            std::vector<std::string>{outside});
  EXPECT_EQ(Records("CLUB.DBF").size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(root_ / "x.ntx"));

  const std::vector<std::pair<std::vector<std::string>, std::string>> appends = {
      {{"DBF|APPEND"}, "STAT|TDM.DBF_Append - Syntax Error #1 : DBF|APPEND"},
      {{"DBF|APPEND|CLUB", "CLUB", "X"}, "STAT|TDM.DBF_Append - Syntax Error #2 : CLUB"},
      {{"DBF|APPEND|CLUB", "index=CLUB", "DATA", "|DATA"},
       "STAT|TDM.DBF_Append - Syntax Error #3 : |DATA"},
      {{"DBF|APPEND|CLUB", "DATA", "NOSUCH", "X", "|DATA"},
       "STAT|TDM.DBF_Append - Field 'NOSUCH' not found"},
      {{"DBF|APPEND|CLUB", "INDEX=NOSUCH", "DATA", "CLUB", "X", "|DATA"}, ""},
  };
  for (const auto& [lines, line] : appends) {
    const std::vector<std::string> reply = AskBlock(lines);
    ASSERT_EQ(reply.size(), 1u) << lines[0];
    if (line.empty())
      EXPECT_EQ(reply[0].rfind("STAT|TDM.DBF_Append - ", 0), 0u) << reply[0];
    else
      EXPECT_EQ(reply[0], line);
  }
  EXPECT_EQ(Records("CLUB.DBF").size(), 3u);
}

TEST_F(DbfCommands, AppendWritesRecordsAndTheIndexesNamed) {
  EXPECT_EQ(WithoutTime(AskBlock({"DBF|APPEND|TRACKLOG", "index=TRACKLOG,TRAKHIST", "DATA",
                                  "accountnum|SALEDATE|PRODCODE|AMOUNT", "1002|05/02/2026|P8|7.25",
                                  "1002|06/02/2026|P9|1|extra", "1002|07/02/2026|Q1|2", "|DATA"})),
            (std::vector<std::string>{"Error|1002|06/02/2026|P9|1|extra", "STAT|OK|"}));
  const std::vector<std::string> log = Records("TRACKLOG.DBF");
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[9], "1002|05/02/2026|P8|0|||7.25|0");
  ExpectIndexesExact("TRACKLOG.DBF");
  // The appended rows are found through the index the request named.
  EXPECT_EQ(Ask("SHOPPER|HISTORY|1002|0").size(), 7u);

  // Without index files: a value the column cannot take, or a date that is no date, ends the
  // append; the records before it stay.
  for (const char* bad : {"1003|1x|01/03/2026", "1003|1|31/02/2026"}) {
    const std::vector<std::string> reply =
        AskBlock({"DBF|APPEND|TRACKLOG", "DATA", "ACCOUNTNUM|QTY|SALEDATE", "1003|1|01/03/2026",
                  bad, "|DATA"});
    ASSERT_EQ(reply.size(), 1u) << bad;
    EXPECT_EQ(reply[0],
              "STAT|TDM.DBF_Append - Could not convert variant of type (String) into "
              "type (" +
                  std::string(bad[6] == 'x' ? "Integer" : "Date") + ")");
  }
  EXPECT_EQ(Records("TRACKLOG.DBF").size(), 13u);
  EXPECT_EQ(Records("TRACKLOG.DBF").back(), "1003|01/03/2026||0|||0.00|1");

  // A block that ends without "¦DATA": what it holds is appended, and the reply says so.
  EXPECT_EQ(AskBlock({"DBF|APPEND|CLUB", "DATA", "CLUB", "LAST"}),
            std::vector<std::string>{
                "STAT|TDM.DBF_Append - The request ends without its \"|DATA\" line"});
  EXPECT_EQ(Records("CLUB.DBF").size(), 4u);
  EXPECT_EQ(Records("CLUB.DBF").back().substr(0, 6), "LAST||");
}

}  // namespace
}  // namespace fidora::test
