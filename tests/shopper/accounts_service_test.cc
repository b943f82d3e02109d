// The VOUCHER, DEBTOR and STOCK families through the real server on a small shop: gift
// vouchers, debtor balances, invoices stored from a terminal's blocks and stock per store,
// with the no-reply error paths of VOUCHER and STOCK and every written index exact afterwards.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "support/shop_server.h"

namespace fidora::test {
namespace {

using TLinesList = std::vector<std::string>;

// The debtor, invoice and store tables beside the small shop's tables.
const std::vector<TShopTable>& AccountTables() {
  static const std::vector<TShopTable> tables = {
      {"DEBTORS.DBF",
       {"ACCOUNTNUM;C;10;0", "NAME;C;30;0", "CURRENTBAL;N;12;2", "LST_PU_AMT;N;10;2",
        "LST_PU_DTE;D;8;0", "LST_PY_AMT;N;10;2", "LST_PY_DTE;D;8;0"},
       {"D1|Alpha Builders|100.00|0||0|", "D2|Beta & Sons|-20.00|0||0|",
        "D3|Gamma Hire|3.00|0||0|"},
       {{"ACCTNUM.ntx", "UPPER(ACCOUNTNUM)"},
        {"SHRTNME.ntx", "UPPER(NAME)"},
        {"LONGNAME.ntx", "UPPER(NAME)"}}},
      {"INVHEAD.DBF",
       {"NUMBER;C;10;0", "CUSTOMER;C;10;0", "DATE;D;8;0", "ORDERNO;C;10;0", "TOTAL;N;12;2",
        "ACCBAL;N;12;2", "OWING;N;12;2"},
       {"INV1|D2|20260101|PO1|50.00|0|50.00"},
       {{"InvNumHD.NTX", "NUMBER"},
        {"InvDate1.NTX", "DTOS(DATE)"},
        {"INVOICES.NTX", "CUSTOMER+NUMBER"},
        {"ALLOwing.NTX", "CUSTOMER+STR(OWING,12,2)"},
        {"DORDERNO.NTX", "ORDERNO"}}},
      {"INVLINE.DBF",
       {"NUMBER;C;10;0", "LINENO;N;3;0", "PRODCODE;C;13;0", "QTY;N;8;2", "AMOUNT;N;12;2"},
       {"INV1|1|P1|1|50.00"},
       {{"INVNUMLN.NTX", "NUMBER+STR(LINENO,3)"}}},
      {"Storlist.dbf",
       {"STORENUM;C;2;0", "STORE_ID;C;20;0"},
       {"01|Main Street", "02|Harbour Mall"},
       {}},
      {"plu__01.dbf",
       {"PRODCODE;C;13;0", "QTYPERSALE;N;6;0"},
       {"P1|6", "P2|1", "P3|4"},
       {{"PSTCD01.ntx", "PRODCODE"}}},
      {"stock01_.dbf",
       {"PRODCODE;C;13;0", "TOTALSTOCK;N;10;2"},
       {"P1|27", "P3|10"},
       {{"STCOD01_.ntx", "UPPER(PRODCODE)"}}},
      {"plu__02.dbf",
       {"PRODCODE;C;13;0", "QTYPERSALE;N;6;0"},
       {"P1|0", "P3|3"},
       {{"PSTCD02.ntx", "PRODCODE"}}},
      {"stock02_.dbf",
       {"PRODCODE;C;13;0", "TOTALSTOCK;N;10;2"},
       {"P1|12.5", "P3|1"},
       {{"STCOD02_.ntx", "UPPER(PRODCODE)"}}},
  };
  return tables;
}

// A new invoice INV2 of debtor D1 with two lines, as a terminal sends it.
const TLinesList kHeaderBlock = {
    "DATA",
    "NUMBER;C;10;0|CUSTOMER;C;10;0|DATE;D;8;0|TOTAL;N;12;2|ACCBAL;N;12;2|OWING;N;12;2|NOTE;C;8;0",
    "INV2|D1|15/06/2026|30.00||30.00|not kept", "|DATA"};
const TLinesList kLinesBlock = {
    "DATA", "NUMBER;C;10;0|LINENO;N;3;0|PRODCODE;C;13;0|QTY;N;8;2|AMOUNT;N;12;2",
    "INV2|1|P1|2|20.00", "INV2|2|P2||10.00", "|DATA"};

TLinesList Joined(std::initializer_list<TLinesList> parts) {
  TLinesList lines = {"DEBTOR|OPER_DETAIL"};
  for (const TLinesList& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

class AccountsService : public ShopServerTest {
 protected:
  static void SetUpTestSuite() {
    // The server writes the regional date text of its locale; in the C locale dd/mm/yyyy.
    ::setenv("LC_ALL", "C", 1);
    ShopServerTest::SetUpTestSuite();
  }

  // Writes the named tables of AccountTables() into the data directory. Each test writes only
  // those it uses: the table tool is slow under the sanitizers.
  void Install(std::initializer_list<std::string_view> files) {
    for (const TShopTable& table : AccountTables())
      if (std::find(files.begin(), files.end(), table.file) != files.end())
        WriteShopTable(data_, table);
  }
  void InstallDebtorTables() { Install({"DEBTORS.DBF", "INVHEAD.DBF", "INVLINE.DBF"}); }
  void InstallStoreTables() {
    Install({"Storlist.dbf", "plu__01.dbf", "stock01_.dbf", "plu__02.dbf", "stock02_.dbf"});
  }

  void ExpectAccountIndexesExact(const std::string& table) {
    ExpectIndexesExact(table, AccountTables());
  }

  // Sends a request that must go unanswered, then NOW: the next reply is NOW's.
  void ExpectNoReply(const std::string& request,
                     std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    socket_.Send(Wire(request) + "\r\nNOW\r\n");
    const std::vector<std::string> reply = socket_.ReadReply(wait);
    ASSERT_EQ(reply.size(), 3u) << request << ": " << testing::PrintToString(reply);
    EXPECT_EQ(reply[0].rfind("TIME", 0), 0u) << request;
  }

  // Every crash report of the server so far, one after the other.
  std::string CrashReports() {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(data_ / "Debug"))
      if (entry.path().filename().string().rfind("crash-", 0) == 0)
        text += Readable(ReadFile(entry.path()));
    return text;
  }
};

TEST_F(AccountsService, FamiliesDispatchTheirSubCommands) {
  const std::vector<std::pair<std::string, TLinesList>> cases = {
      {"Voucher", {"STAT|Incomplete command after : Voucher"}},
      {"VOUCHER|FOO", {"STAT|Unknown Command - \"FOO\""}},
      {"debtor", {"STAT|Incomplete command after : debtor"}},
      {"DEBTOR|HELP", {"STAT|Unknown Command - \"HELP\""}},
      {"STOCK", {"STAT|Incomplete command after : STOCK"}},
      {"STOCK|HELP", {"STAT|Unknown Command - \"HELP\""}},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Ask(request), reply) << request;
}

TEST_F(AccountsService, VoucherAddCreatesTopsUpTakesOffAndAnswersBalances) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"VOUCHER|ADD|G100|50", "BALANCE|50"},
      {"VOUCHER|ADD|G100|-20", "BALANCE|30"},
      // The first line is upper-cased before the number is read.
      {"voucher|add|g100|5", "BALANCE|35"},
      {"VOUCHER|ADD|G100", "BALANCE|35"},
      {"VOUCHER|ADD|G100|", "BALANCE|35"},
      {"VOUCHER|ADD|G999", "BALANCE|"},
      {"VOUCHER|ADD|G200|12.50", "BALANCE|12.5"},
      {"VOUCHER|ADD|G300|10", "BALANCE|10"},
      {"VOUCHER|ADD|G300|-10", "BALANCE|0"},
  };
  for (const auto& [request, balance] : cases)
    EXPECT_EQ(WithoutTime(Ask(request)), (TLinesList{balance, "STAT|OK|"})) << request;
  // A two-line request names the sub-command on its second line.
  EXPECT_EQ(WithoutTime(AskBlock({"VOUCHER", "ADD"})), (TLinesList{"BALANCE|", "STAT|OK|"}));
  EXPECT_EQ(Records("VOUCHERS.DBF"),
            (TLinesList{Today() + "|G100|35.00", Today() + "|G200|12.50", Today() + "|G300|0.00"}));
}

TEST_F(AccountsService, VoucherUnusedListsVouchersWithAValue) {
  const ProgramResult added = RunProgram(TableTool(), {"append", (data_ / "VOUCHERS.DBF").string()},
                                         Wire("20260101|G000|0\n|G050|5.5\n20251231|G010|-2.25\n"));
  ASSERT_EQ(added.status, 0) << added.err;
  Ask("VOUCHER|ADD|G100|30");
  // Sold date (empty for none), number, amount in eight characters; vouchers of 0 are left out.
  const TLinesList expected = {
      "DATA",  "|G050|    5.50", "31/12/2025|G010|   -2.25", Today() + "|G100|   30.00",
      "|DATA", "STAT|OK|",
  };
  EXPECT_EQ(WithoutTime(Ask("VOUCHER|UNUSED")), expected);
  EXPECT_EQ(WithoutTime(AskBlock({"VOUCHER", "UNUSED"})), expected);
}

// A bad amount, an amount too big for the column, and a voucher held locked by another
// program: no reply, the error is reported with the request named, nothing is written, and
// the table is usable for the next request.
TEST_F(AccountsService, VoucherErrorsLeaveWithoutReply) {
  Ask("VOUCHER|ADD|G100|30");
  ExpectNoReply("VOUCHER|ADD|G100|abc");
  ExpectNoReply("VOUCHER|ADD|G777|1000000");
  ExpectNoReply("VOUCHER|ADD|G100|999999");
  EXPECT_EQ(WithoutTime(Ask("VOUCHER|ADD|G100")), (TLinesList{"BALANCE|30", "STAT|OK|"}));
  EXPECT_EQ(Records("VOUCHERS.DBF"), TLinesList{Today() + "|G100|30.00"});
  const std::string reports = CrashReports();
  EXPECT_NE(reports.find("Net_Dispatch \"VOUCHER|ADD|G100|abc\" from 127.0.0.1"), std::string::npos)
      << reports;
  EXPECT_NE(reports.find("'ABC' is not a valid floating point value"), std::string::npos);
  EXPECT_NE(reports.find("Net_Dispatch \"VOUCHER|ADD|G777|1000000\""), std::string::npos);

  ChildProcess holder(TableTool(),
                      {"lock", (data_ / "VOUCHERS.DBF").string(), "1", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));
  ExpectNoReply("VOUCHER|ADD|G100|5", std::chrono::seconds(20));
  EXPECT_NE(CrashReports().find("Server Lock Failed in VOUCHERS.DBF"), std::string::npos);
  EXPECT_EQ(WithoutTime(Ask("VOUCHER|ADD|G100")), (TLinesList{"BALANCE|30", "STAT|OK|"}));
}

TEST_F(AccountsService, DebtorBalanceMovesWithSalesAndPayments) {
  Install({"DEBTORS.DBF"});
  const std::vector<std::pair<std::string, TLinesList>> cases = {
      {"DEBTOR|DBALANCE|D1|-25.50|PAY|25.50|01/02/2021", {"CURBALANCE|74.50", "STAT|OK|"}},
      {"DEBTOR|DBALANCE|D2|150", {"CURBALANCE|130.00", "STAT|OK|"}},
      {"DEBTOR|DBALANCE|D3|-8|SELL|8|15/03/2026", {"CURBALANCE|-5.00", "STAT|OK|"}},
      // The number matches whatever its case; another word than SELL or PAY moves the balance
      // only.
      {"debtor|dbalance|d3|1|REFUND|1|01/01/2026", {"CURBALANCE|-4.00", "STAT|OK|"}},
      {"DEBTOR|DBALANCE|NOSUCH|1",
       {"STAT|TSDM.DEBTOR_DBalance - Shopper not found - NOSUCH", "STAT|OK|"}},
      {"DEBTOR|DBALANCE|D1",
       {"STAT|TSDM.DEBTOR_DBalance - Syntax Error - No Shopper ID or Balance delta"}},
      {"DEBTOR|DBALANCE|D1|",
       {"STAT|TSDM.DEBTOR_DBalance - '' is not a valid floating point value"}},
      // A bad amount or date of the sale or payment: the balance is not posted either.
      {"DEBTOR|DBALANCE|D1|5|PAY|5|31/02/2021",
       {"STAT|TSDM.DEBTOR_DBalance - '31/02/2021' is not a valid date"}},
      {"DEBTOR|DBALANCE|D1|5|SELL",
       {"STAT|TSDM.DEBTOR_DBalance - '' is not a valid floating point value"}},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(WithoutTime(Ask(request)), reply) << request;
  EXPECT_EQ(Records("DEBTORS.DBF"), (TLinesList{"D1|Alpha Builders|74.50|0.00||25.50|01/02/2021",
                                                "D2|Beta & Sons|130.00|0.00||0.00|",
                                                "D3|Gamma Hire|-4.00|8.00|15/03/2026|0.00|"}));
  ExpectAccountIndexesExact("DEBTORS.DBF");
}

TEST_F(AccountsService, OperDetailStoresANewInvoiceThenRefreshesIt) {
  InstallDebtorTables();
  EXPECT_EQ(WithoutTime(AskBlock(Joined({kHeaderBlock, kLinesBlock}))), TLinesList{"STAT|OK|"});
  EXPECT_EQ(Records("INVHEAD.DBF"), (TLinesList{"INV1|D2|01/01/2026|PO1|50.00|0.00|50.00",
                                                "INV2|D1|15/06/2026||30.00|100.00|30.00"}));
  const TLinesList lines = {"INV1|1|P1|1.00|50.00", "INV2|1|P1|2.00|20.00", "INV2|2|P2|0.00|10.00"};
  EXPECT_EQ(Records("INVLINE.DBF"), lines);
  // The received tables stay in the server's working directory; another reader agrees on them
  // and on the stored invoice.
  const char* script = R"(
import sys, dbfread
for path in sys.argv[1:]:
    for row in dbfread.DBF(path, encoding='cp437'):
        print('|'.join(str(value) for value in row.values()))
)";
  const ProgramResult read = RunProgram(
      "/usr/bin/python3", {"-c", script, (data_ / "INVHEAD.DBF").string(),
                           (root_ / "tmpinvhd.dbf").string(), (root_ / "tmpinvln.dbf").string()});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out,
            "INV1|D2|2026-01-01|PO1|50.0|0.0|50.0\n"
            "INV2|D1|2026-06-15||30.0|100.0|30.0\n"
            "INV2|D1|2026-06-15|30.0|100.0|30.0|not kept\n"
            "INV2|1|P1|2.0|20.0\n"
            "INV2|2|P2|0.0|10.0\n");

  // Sent again after a payment and with nothing owing: only ACCBAL and OWING change, no line
  // is added (the lines block is not read, and may be missing).
  Ask("DEBTOR|DBALANCE|D1|-40|PAY|40|20/06/2026");
  TLinesList again = Joined({kHeaderBlock, kLinesBlock});
  again[3] = "INV2|D1|15/06/2026|30.00||0|not kept";
  EXPECT_EQ(WithoutTime(AskBlock(again)), TLinesList{"STAT|OK|"});
  again.resize(5);
  again[3] = "INV2|D9|15/06/2026|99.00|7|0";
  EXPECT_EQ(WithoutTime(AskBlock(again)), TLinesList{"STAT|OK|"});
  EXPECT_EQ(Records("INVHEAD.DBF"), (TLinesList{"INV1|D2|01/01/2026|PO1|50.00|0.00|50.00",
                                                "INV2|D1|15/06/2026||30.00|60.00|0.00"}));
  EXPECT_EQ(Records("INVLINE.DBF"), lines);
  for (const char* table : {"INVHEAD.DBF", "INVLINE.DBF"}) ExpectAccountIndexesExact(table);
}

// Requests that lack a part of the invoice are the error line, and nothing is written.
TEST_F(AccountsService, OperDetailRefusesIncompleteInvoices) {
  InstallDebtorTables();
  const std::string error = "STAT|TSDM.DEBTOR_Oper_Detail - ";
  const std::string no_end = error + "The request ends without its \"|DATA\" line";
  TLinesList header_without_end(kHeaderBlock.begin(), kHeaderBlock.end() - 1);
  TLinesList lines_without_end(kLinesBlock.begin(), kLinesBlock.end() - 1);
  TLinesList header_without_record = {kHeaderBlock[0], kHeaderBlock[1], kHeaderBlock[3]};
  TLinesList header_without_customer = {"DATA", "NUMBER;C;10;0|ACCBAL;N;12;2|OWING;N;12;2",
                                        "INV3|0|1", "|DATA"};
  TLinesList bad_definitions = {"DATA", "NUMBER;C;10|CUSTOMER;C;10;0", "INV3|D1", "|DATA"};
  const std::vector<std::pair<TLinesList, std::string>> cases = {
      {Joined({}), error + "The request has no invoice header"},
      {Joined({{"DATA", "|DATA"}, kLinesBlock}), error + "The request has no invoice header"},
      {Joined({header_without_end}), no_end},
      {Joined({header_without_record, kLinesBlock}),
       error + "The invoice header block holds no record"},
      {Joined({kHeaderBlock}), error + "The request has no invoice lines"},
      {Joined({kHeaderBlock, {"DATA", "|DATA"}}), error + "The request has no invoice lines"},
      {Joined({kHeaderBlock, lines_without_end}), no_end},
      {Joined({header_without_customer, kLinesBlock}), error + "Field 'CUSTOMER' not found"},
      {Joined({bad_definitions, kLinesBlock}), error + "Field list is invalid"},
  };
  for (const auto& [request, line] : cases)
    EXPECT_EQ(AskBlock(request), TLinesList{line}) << testing::PrintToString(request);
  EXPECT_EQ(Records("INVHEAD.DBF").size(), 1u);
  EXPECT_EQ(Records("INVLINE.DBF").size(), 1u);
}

// The first invoice into empty tables (nothing to lock there), a damaged temporary table left
// by an interrupted run, and a temporary table that cannot be created.
TEST_F(AccountsService, OperDetailOnEmptyTablesAndDamagedTemporaryTables) {
  InstallDebtorTables();
  for (const auto& [table, indexes] : std::vector<std::pair<std::string, TLinesList>>{
           {"INVHEAD.DBF",
            {"InvNumHD.NTX", "InvDate1.NTX", "INVOICES.NTX", "ALLOwing.NTX", "DORDERNO.NTX"}},
           {"INVLINE.DBF", {"INVNUMLN.NTX"}},
           {"DEBTORS.DBF", {"ACCTNUM.ntx", "SHRTNME.ntx", "LONGNAME.ntx"}}}) {
    std::vector<std::string> args = {"zap", (data_ / table).string(), "--index"};
    for (const std::string& index : indexes) args.push_back((data_ / index).string());
    const ProgramResult zap = RunProgram(TableTool(), args);
    ASSERT_EQ(zap.status, 0) << zap.err;
  }
  std::ofstream(root_ / "tmpinvln.dbf", std::ios::binary) << "not a table";
  EXPECT_EQ(WithoutTime(AskBlock(Joined({kHeaderBlock, kLinesBlock}))), TLinesList{"STAT|OK|"});
  // No debtor: ACCBAL stays as received.
  EXPECT_EQ(Records("INVHEAD.DBF"), TLinesList{"INV2|D1|15/06/2026||30.00|0.00|30.00"});
  EXPECT_EQ(Records("INVLINE.DBF").size(), 2u);
  for (const char* table : {"INVHEAD.DBF", "INVLINE.DBF"}) ExpectAccountIndexesExact(table);

  std::filesystem::remove(root_ / "tmpinvhd.dbf");
  std::filesystem::create_directory(root_ / "tmpinvhd.dbf");
  TLinesList other = Joined({kHeaderBlock, kLinesBlock});
  other[3] = "INV3|D1|15/06/2026|30.00||30.00|";
  const TLinesList reply = AskBlock(other);
  ASSERT_EQ(reply.size(), 1u);
  EXPECT_EQ(reply[0].rfind("STAT|TSDM.DEBTOR_Oper_Detail - ", 0), 0u) << reply[0];
  EXPECT_EQ(Records("INVHEAD.DBF").size(), 1u);
}

TEST_F(AccountsService, StockLookInSellingUnitsPerStore) {
  InstallStoreTables();
  const std::vector<std::pair<std::string, TLinesList>> cases = {
      // qtypersale 6 (27 / 6) and 0 (the stock as it is), in the order of the store list.
      {"STOCK|LOOK|P1", {"DATA", "01|Main Street|4.50", "02|Harbour Mall|12.50", "|DATA"}},
      // In store 01's product table but not in its stock table; not in store 02 at all.
      {"STOCK|LOOK|P2", {"DATA", "|DATA"}},
      {"stock|look|p3", {"DATA", "01|Main Street|2.50", "02|Harbour Mall|0.33", "|DATA"}},
      {"STOCK|LOOK|NOSUCH", {"DATA", "|DATA"}},
  };
  for (auto [request, reply] : cases) {
    reply.push_back("STAT|OK|");
    EXPECT_EQ(WithoutTime(Ask(request)), reply) << request;
  }
}

// A store whose tables are missing (here store 02's, after store 01 has found the product)
// ends the lookup without a reply for the whole group.
TEST_F(AccountsService, StockLookWithAStoreWithoutTables) {
  Install({"Storlist.dbf", "plu__01.dbf", "stock01_.dbf"});
  ExpectNoReply("STOCK|LOOK|P1");
  const std::string reports = CrashReports();
  EXPECT_NE(reports.find("Net_Dispatch \"STOCK|LOOK|P1\""), std::string::npos) << reports;
  EXPECT_NE(reports.find("plu__02"), std::string::npos) << reports;
  // The store list's name lock was left: the next lookup runs (here without a store list).
  std::filesystem::remove(data_ / "Storlist.dbf");
  ExpectNoReply("STOCK|LOOK|P1");
  EXPECT_NE(CrashReports().find("Storlist"), std::string::npos);
}

// A shop whose regional settings are German (a locale compiled for the test): the voucher list
// shows the dates as the region writes them, while numbers keep their "." everywhere, in
// requests, replies and filter expressions alike.
class GermanShop : public AccountsService {
 protected:
  static void SetUpTestSuite() {
    AccountsService::SetUpTestSuite();
    locales_ = new TempDir;
    locale_made_ = RunProgram("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8",
                                                     (locales_->path() / "de_DE.UTF-8").string()});
    ::setenv("LOCPATH", locales_->path().c_str(), 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  }
  static void TearDownTestSuite() {
    ::unsetenv("LOCPATH");
    ::setenv("LC_ALL", "C", 1);
    delete locales_;
    locales_ = nullptr;
    AccountsService::TearDownTestSuite();
  }
  void SetUp() override {
    ASSERT_EQ(locale_made_.status, 0) << locale_made_.out << locale_made_.err;
    AccountsService::SetUp();
  }

  static inline TempDir* locales_ = nullptr;
  static inline ProgramResult locale_made_;
};

TEST_F(GermanShop, DatesFollowTheRegionWhileNumbersKeepTheirPoint) {
  const ProgramResult added = RunProgram(TableTool(), {"append", (data_ / "VOUCHERS.DBF").string()},
                                         Wire("20210201|G010|80.68\n"));
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(WithoutTime(Ask("VOUCHER|ADD|G100|30.25")), (TLinesList{"BALANCE|30.25", "STAT|OK|"}));
  EXPECT_EQ(WithoutTime(Ask("VOUCHER|UNUSED")),
            (TLinesList{"DATA", "01.02.2021|G010|   80.68", Today("%d.%m.%Y") + "|G100|   30.25",
                        "|DATA", "STAT|OK|"}));
  EXPECT_EQ(WithoutTime(AskBlock({"DBF|READ|VOUCHERS", "FILTER=AMOUNT > 30.3"})),
            (TLinesList{"DBF|READ|VOUCHERS", "DATA", "SELLDATE;D;8;0|NUMBER;C;16;0|AMOUNT;N;8;2",
                        "01/02/2021|G010|80.68", "|DATA", "STAT|OK|"}));
}

}  // namespace
}  // namespace fidora::test
