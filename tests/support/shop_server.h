// A small shop written by the table tool (tables by `create` and `append`, index files by
// `index`) into a temporary data directory, and the real server started on it on free loopback
// ports. The shop is written once per test program and copied for every server, so each test
// starts from the same files.
//
// In the texts of requests and replies "|" stands for the field separator "¦" (wire_text.h).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wire_text.h"

namespace fidora::test {

// Today's date as the server writes it (dd/mm/yyyy), or in another strftime format.
inline std::string Today(const char* format = "%d/%m/%Y") {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

inline std::string TableTool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

struct TShopTable {
  std::string file;
  std::vector<std::string> fields;                           // NAME;T;length;decimals
  std::vector<std::string> rows;                             // values "|"-separated in field order
  std::vector<std::pair<std::string, std::string>> indexes;  // file, key expression
};

// The tables of the small shop.
inline const std::vector<TShopTable>& SmallShopTables() {
  static const std::vector<TShopTable> tables = {
      {"TRACKER.DBF",
       {"ACCOUNTNUM;C;16;0", "TITLE;C;10;0", "FIRSTNAME;C;20;0", "SURNAME;C;25;0", "ADDR1;C;35;0",
        "ADDR2;C;35;0", "PHONE;C;15;0", "CLUB;C;10;0", "DOLLAVAIL;N;10;2", "LST_PU_DTE;D;8;0",
        "LST_PU_AMT;N;10;2", "TTL_PU_AMT;N;12;4", "LST_PU_NUM;N;8;0", "OFFRITEM;N;4;0",
        "EXP_DATE;D;8;0", "DELIVERY;C;35;0", "EMAIL;C;45;0", "OFFER;C;2;0"},
       {
           "1001|Mr|John|Smith|1 High St|Northgate|0400 000 "
           "001|GOLD|2.00|20260101|50.00|45.5|41|5||||",
           "1002||Ann|Lee|2 Mill Rd|Riverside|0400 000 002|SILVER|5.00||0|0|0|0||||",
           "ABC||||3 Park Ave|Bayview|0400 000 003||0|||12.25|7|0||||",
           "1004|Dr||Smith|4 King St|Eastwood|0400 000 004|NOSUCH|1.00||0|3.5|0|0||||",
           "1005|Ms|Jane|Brown|5 Queen St|Westmead|0400 000 005|GOLD|0|||49.9999|0|0||||",
           "1006|||Young|6 Beach Rd|Hillcrest|0400 000 006|gold|0|||40|0|0||||",
       },
       {{"TRAKNAME.NTX", "UPPER(SURNAME)"},
        {"TRAKNUM.NTX", "UPPER(ACCOUNTNUM)"},
        {"TRAKPHON.NTX", "UPPER(PHONE)"},
        {"TRAKFNAM.NTX", "UPPER(FIRSTNAME)"},
        {"TRAKADR2.NTX", "UPPER(ADDR2)"},
        {"TRAKADR1.NTX", "UPPER(ADDR1)"}}},
      {"TRACKLOG.DBF",
       {"ACCOUNTNUM;C;16;0", "SALEDATE;D;8;0", "PRODCODE;C;13;0", "GROUP;N;3;0",
        "DESCRIPTIO;C;30;0", "DOCKET;C;10;0", "AMOUNT;N;10;2", "QTY;N;6;0"},
       {
           "1001|20260101|P1|1|Milk|D1|3.49|1",
           "1001|20260101|P2|1|Bread|D1|4.20|1",
           "1000|20251201|P1|1|Milk|X1|3.49|1",
           "1001|20260102|P3|1|Eggs|D2|6.50|1",
           "1000|20251202|P2|1|Bread|X2|4.20|1",
           "1001|20260103|P4|1|Tea|D3|5.99|1",
           "1001|20260103|P5|1|Rice|D3|12.99|1",
           "10010|20260101|P9|1|Soap|Z1|5.49|1",
           "1234567890123456|20260105|P7|1|Tea|Q1|1.00|1",
       },
       {{"TRACKLOG.NTX", "UPPER(ACCOUNTNUM)"},
        {"TRAKHIST.NTX", "(UPPER(ACCOUNTNUM)+DTOS(SALEDATE))"}}},
      {"CLUB.DBF",
       {"CLUB;C;10;0", "CLUBDESC;C;30;0", "CLUBPTS;N;6;0", "CLUBREWRD;N;6;0", "CLUBDOLL;N;10;2"},
       {"GOLD|Gold members|10|50|5.00", "SILVER|Silver members|20|50|2.50", "STAFF||0|0|0"},
       {{"CLUB.NTX", "UPPER(CLUB)"}}},
      {"VOUCHERS.DBF", {"SELLDATE;D;8;0", "NUMBER;C;16;0", "AMOUNT;N;8;2"}, {}, {}},
      {"TRACKCHLOG.DBF",
       {"DATE;D;8;0", "OLD_NUMBER;C;16;0", "NEW_NUMBER;C;16;0", "CLERK;C;20;0"},
       {},
       {}},
      // Sales and lay-bys of shoppers, of none (blank) and of look-alike numbers.
      {"POSHEAD.DBF",
       {"NUMBER;C;10;0", "CUSTOMER;C;16;0", "DATE;D;8;0", "TOTAL;N;12;2"},
       {"S1|1001|20260101|10.00", "S2||20260102|5.00", "S3|10010|20260103|7.00",
        "S4| 1001|20260104|8.00", "S5|1002|20260105|9.00", "S6|1001|20260106|4.00"},
       {{"POSDATE1.NTX", "DTOS(DATE)"},
        {"POSNUMHD.NTX", "NUMBER"},
        {"LAYBYACC.NTX", "UPPER(CUSTOMER)"}}},
      {"LAYBYHED.DBF",
       {"NUMBER;C;10;0", "CUSTOMER;C;16;0", "DATE;D;8;0", "TOTAL;N;12;2"},
       {"L1|1002|20260101|50.00", "L2|1001|20260102|60.00"},
       {{"LYBDATE1.NTX", "DTOS(DATE)"}, {"LYBNUMHD.NTX", "NUMBER"}}},
      {"Morvex.DBF",
       {"SECTION;C;40;0", "VALUE;C;60;0"},
       {"Shop:Name|Small shop", "FreqShop:AutoGenNumber|1", "FreqShop:AutoGenStart|1001"},
       {}},
  };
  return tables;
}

inline void WriteShopTable(const std::filesystem::path& dir, const TShopTable& table) {
  const std::string path = (dir / table.file).string();
  std::vector<std::string> create = {"create", path};
  create.insert(create.end(), table.fields.begin(), table.fields.end());
  ProgramResult r = RunProgram(TableTool(), create);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string input;
  for (const std::string& row : table.rows) input += Wire(row) + "\n";
  if (!input.empty()) {
    r = RunProgram(TableTool(), {"append", path}, input);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  for (const auto& [file, key] : table.indexes) {
    r = RunProgram(TableTool(), {"index", path, (dir / file).string(), key});
    ASSERT_EQ(r.status, 0) << r.err;
  }
}

class ShopServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shop_ = new TempDir;
    for (const TShopTable& table : SmallShopTables()) WriteShopTable(shop_->path(), table);
  }
  static void TearDownTestSuite() {
    delete shop_;
    shop_ = nullptr;
  }

  void SetUp() override {
    data_ = root_ / "data";
    std::filesystem::copy(shop_->path(), data_, std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(data_ / "Debug");
    std::filesystem::create_directories(root_ / "run");
    port_ = FreeLoopbackPort();
    server_ = std::make_unique<FidoraProcess>(
        root_.path(), root_ / "run",
        std::vector<std::string>{"--headless", "--data-dir", data_.string(), "--port",
                                 std::to_string(port_), "--second-port",
                                 std::to_string(FreeLoopbackPort())});
    ASSERT_TRUE(server_->WaitUntilListening(port_)) << server_->Stderr();
    // The ports listen before the server has checked the data directory and its tables; a
    // test that changes the shop's files waits until that is over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server_->Stderr().find("listening on ports") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(server_->Stderr().find("listening on ports"), std::string::npos) << server_->Stderr();
    ASSERT_TRUE(socket_.Connect(port_));
  }
  void TearDown() override {
    socket_.Close();
    server_->Signal(SIGTERM);
    EXPECT_EQ(server_->Wait(), 0) << server_->Stderr();
  }

  // One text request; the reply lines, with "|" for the separator.
  std::vector<std::string> Ask(const std::string& line,
                               std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    socket_.Send(Wire(line) + "\r\n");
    return ReplyLines(wait);
  }
  // One block request of the lines.
  std::vector<std::string> AskBlock(const std::vector<std::string>& lines) {
    std::string payload;
    for (const std::string& line : lines) payload += Wire(line) + "\r\n";
    socket_.Send(Wire("B|" + std::to_string(payload.size()) + "|C\r\n") + payload);
    return ReplyLines(std::chrono::seconds(10));
  }

  // The reply without its OK line's handling time: "STAT|OK|" stays.
  static std::vector<std::string> WithoutTime(std::vector<std::string> lines) {
    if (!lines.empty() && lines.back().rfind("STAT|OK|", 0) == 0) lines.back() = "STAT|OK|";
    return lines;
  }

  // Every index file passes the table tool's check against the table (one of `tables`).
  void ExpectIndexesExact(const std::string& table_file,
                          const std::vector<TShopTable>& tables = SmallShopTables()) {
    for (const TShopTable& table : tables) {
      if (table.file != table_file || table.indexes.empty()) continue;
      std::vector<std::string> args = {"check", (data_ / table.file).string()};
      for (const auto& index : table.indexes) args.push_back((data_ / index.first).string());
      const ProgramResult r = RunProgram(TableTool(), args);
      EXPECT_EQ(r.status, 0) << table_file << ": " << r.out << r.err;
    }
  }

  // The records of a table as the table tool dumps them, with "|" for the separator.
  std::vector<std::string> Records(const std::string& table_file) {
    const ProgramResult r = RunProgram(TableTool(), {"dump", (data_ / table_file).string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::string text = r.out;
    for (size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1))
      lines.push_back(Readable(FromUtf8Bar(text.substr(0, at))));
    return lines;
  }

  TempDir root_;
  std::filesystem::path data_;
  uint16_t port_ = 0;
  std::unique_ptr<FidoraProcess> server_;
  LoopbackSocket socket_;

 private:
  std::vector<std::string> ReplyLines(std::chrono::milliseconds wait) {
    std::vector<std::string> lines = socket_.ReadReply(wait);
    for (std::string& line : lines) line = Readable(line);
    return lines;
  }
  // The table tool writes the separator as UTF-8.
  static std::string FromUtf8Bar(std::string text) {
    for (size_t at; (at = text.find("\xC2\xA6")) != std::string::npos;) text.replace(at, 2, "\xA6");
    return text;
  }

  static inline TempDir* shop_ = nullptr;
};

}  // namespace fidora::test
