// demo: writes a small but complete shop into an empty data directory — every table the
// server's catalogue names, with the columns the services read and write, realistic rows and
// every index file with its key expression. The rows come from a fixed seed, so two runs
// give the same shop.
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/file_io.h"
#include "engine/table/oem_ansi.h"
#include "engine/table/table_handler.h"
#include "tools/dbf/command.h"

namespace fidora::tool {
namespace {

// ---- deterministic choices -----------------------------------------------------------------

// A small generator of its own (xorshift64*): the standard distributions may differ between
// library versions, this does not.
class TDemoRandom {
 public:
  explicit TDemoRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ULL;
  }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(items.size())))];
  }
  // A money amount in cents between low and high, as "12.34".
  std::string Money(int low_cents, int high_cents) {
    const int cents = Between(low_cents, high_cents);
    return fmt::format("{}{}.{:02d}", cents < 0 ? "-" : "", std::abs(cents) / 100,
                       std::abs(cents) % 100);
  }

 private:
  uint64_t state_;
};

constexpr uint64_t kSeed = 20261210;

// Texts are written in Windows-1252 here and stored in the tables' OEM code page.
const std::vector<std::string> kFirstNames = {"Ann",
                                              "Peter",
                                              "Mary",
                                              "John",
                                              "Li",
                                              "Sarah",
                                              "David",
                                              "Chen",
                                              "Emma",
                                              "Liam",
                                              "Olivia",
                                              "Noah",
                                              "Grace",
                                              "Jack",
                                              "Aisha",
                                              "Tom",
                                              "Jos\xE9",
                                              "Ren\xE9"
                                              "e",
                                              "Fran\xE7ois",
                                              "Bj\xF6rn",
                                              "Zo\xEB",
                                              "Ang\xE9lique",
                                              "J\xFCrgen",
                                              "Marie",
                                              "Kate",
                                              "Sam",
                                              "Priya",
                                              "Ahmed",
                                              "Lucy",
                                              "Ben"};
const std::vector<std::string> kSurnames = {"Smith",
                                            "Lee",
                                            "Brown",
                                            "Nguyen",
                                            "Wilson",
                                            "Taylor",
                                            "Martin",
                                            "Anderson",
                                            "Thompson",
                                            "White",
                                            "Harris",
                                            "Clarke",
                                            "Walker",
                                            "Young",
                                            "M\xFCller",
                                            "Garc\xED"
                                            "a",
                                            "Dub\xE9",
                                            "Nu\xF1"
                                            "ez",
                                            "Ch\xE2teau",
                                            "K\xF6nig",
                                            "Patel",
                                            "O'Brien",
                                            "Kelly",
                                            "Singh",
                                            "Rossi",
                                            "Jones",
                                            "Evans",
                                            "Hughes"};
const std::vector<std::string> kTitles = {"Mr", "Mrs", "Ms", "Dr", "", "Miss"};
const std::vector<std::string> kStreets = {
    "High Street", "Station Road", "Church Lane", "Park Avenue",   "Mill Road",
    "King Street", "Queen Street", "Beach Road",  "Hill Crescent", "Ocean Parade"};
const std::vector<std::string> kSuburbs = {"Northgate", "Riverside", "Eastwood", "Bayview",
                                           "Kingsford", "Westmead",  "Hillcrest"};
const std::vector<std::string> kClubs = {"GOLD", "SILVER", "GOLD", "SILVER", "STAFF", ""};

struct TProduct {
  std::string code, description;
  int per_sale;
  int price_cents;
};
const std::vector<TProduct> kProducts = {{"9300001000017", "Milk 2L", 1, 349},
                                         {"9300001000024", "Bread loaf", 1, 420},
                                         {"9300001000031", "Eggs dozen", 1, 650},
                                         {"9300001000048", "Butter 500g", 1, 575},
                                         {"9300001000055", "Coffee beans 1kg", 1, 2899},
                                         {"9300001000062", "Tea 100 bags", 1, 599},
                                         {"9300001000079", "Orange juice 2L", 1, 525},
                                         {"9300001000086", "Mineral water 6pk", 6, 899},
                                         {"9300001000093", "Cola 24pk", 24, 2450},
                                         {"9300001000109", "Chocolate bar", 1, 250},
                                         {"9300001000116", "Crisps 175g", 1, 399},
                                         {"9300001000123", "Rice 5kg", 1, 1299},
                                         {"9300001000130", "Pasta 500g", 1, 229},
                                         {"9300001000147", "Tomato sauce", 1, 349},
                                         {"9300001000154", "Olive oil 1L", 1, 1199},
                                         {"9300001000161", "Cheese 1kg", 1, 1550},
                                         {"9300001000178", "Yoghurt 6pk", 6, 649},
                                         {"9300001000185", "Apples 1kg", 1, 499},
                                         {"9300001000192", "Bananas 1kg", 1, 375},
                                         {"9300001000208", "Soap 4pk", 4, 549},
                                         {"9300001000215", "Washing powder 2kg", 1, 1399},
                                         {"9300001000222", "Paper towels 12pk", 12, 1150},
                                         {"SHAMPOO400", "Shampoo 400ml", 1, 799},
                                         {"CAN-BEER-6", "Lager 6pk", 6, 2199},
                                         {"GIFTCARD", "Gift card", 1, 5000}};

// ---- writing tables ------------------------------------------------------------------------

struct TColumn {
  std::string name;
  char type;
  uint32_t length, decimals;
};

struct TIndexSpec {
  std::string file, key;
};

// One table being written: created from its columns, filled row by row (values by column
// name, as text), then indexed.
class TDemoTable {
 public:
  TDemoTable(const std::string& dir, const std::string& file, const std::vector<TColumn>& columns)
      : dir_(dir), file_(file) {
    TDbfBuild build(dir + file, io_);
    for (const TColumn& c : columns) build.AddField(c.name, c.type, c.length, c.decimals);
    build.Build();
    table_ = std::make_unique<TTableHandler>(build.path(), false, true, io_);
    table_->Open();
    table_->SetLockProtocol(TxLokProtocol::ClipLock);
  }

  void Add(const std::vector<std::pair<std::string, std::string>>& values) {
    table_->BlankRecord();
    for (const auto& [name, value] : values) {
      const int n = table_->FieldNo(name);
      table_->SetFieldText(n, table_->FieldType(n) == 'C' ? AnsiToOem(value) : value);
    }
    table_->AppendRecord();
    ++rows_;
  }

  void Index(const std::vector<TIndexSpec>& specs) {
    for (const TIndexSpec& s : specs) table_->IndexOn(dir_ + s.file, "", s.key, "", false, true);
    indexes_ = specs.size();
  }

  ~TDemoTable() {
    if (table_) table_->Close();
    std::cout << fmt::format("{}: {} rows, {} index files\n", file_, rows_, indexes_);
  }

 private:
  // Appends flush the files after every record, which a generator does not need.
  NoSyncFileIo io_;
  std::string dir_, file_;
  std::unique_ptr<TTableHandler> table_;
  size_t rows_ = 0, indexes_ = 0;
};

std::string Date(int64_t day) {
  return TxDBFDate::Instance().DayToField(day);
}

// ---- the shop ------------------------------------------------------------------------------

constexpr int kDefaultShoppers = 300;
constexpr long kMaxShoppers = 1'000'000;
constexpr long kMaxLogRows = 20'000'000;

struct TShop {
  std::string dir;
  int shopper_count = kDefaultShoppers;
  long log_rows = 0;  // 0: three dockets every third day over half a year
  TDemoRandom random{kSeed};
  int64_t today = TxDBFDate::EncodeDay(2026, 6, 30);
  std::vector<std::string> shoppers;
};

void WriteClubs(TShop& shop) {
  TDemoTable t(shop.dir, "CLUB.DBF",
               {{"CLUB", 'C', 10, 0},
                {"CLUBDESC", 'C', 30, 0},
                {"CLUBPTS", 'N', 6, 0},
                {"CLUBREWRD", 'N', 6, 0},
                {"CLUBDOLL", 'N', 10, 2}});
  t.Add({{"CLUB", "GOLD"},
         {"CLUBDESC", "Gold members"},
         {"CLUBPTS", "10"},
         {"CLUBREWRD", "50"},
         {"CLUBDOLL", "5.00"}});
  t.Add({{"CLUB", "SILVER"},
         {"CLUBDESC", "Silver members"},
         {"CLUBPTS", "20"},
         {"CLUBREWRD", "50"},
         {"CLUBDOLL", "2.50"}});
  t.Add({{"CLUB", "STAFF"},
         {"CLUBDESC", "Staff"},
         {"CLUBPTS", "0"},
         {"CLUBREWRD", "0"},
         {"CLUBDOLL", "0"}});
  t.Index({{"CLUB.NTX", "UPPER(CLUB)"}});
}

void WriteShoppers(TShop& shop) {
  TDemoTable t(shop.dir, "TRACKER.DBF",
               {{"ACCOUNTNUM", 'C', 16, 0},
                {"TITLE", 'C', 10, 0},
                {"FIRSTNAME", 'C', 20, 0},
                {"SURNAME", 'C', 25, 0},
                {"ADDR1", 'C', 35, 0},
                {"ADDR2", 'C', 35, 0},
                {"PHONE", 'C', 15, 0},
                {"CLUB", 'C', 10, 0},
                {"DOLLAVAIL", 'N', 10, 2},
                {"LST_PU_DTE", 'D', 8, 0},
                {"LST_PU_AMT", 'N', 10, 2},
                {"TTL_PU_AMT", 'N', 12, 4},
                {"LST_PU_NUM", 'N', 8, 0},
                {"OFFRITEM", 'N', 4, 0},
                {"EXP_DATE", 'D', 8, 0},
                {"DELIVERY", 'C', 35, 0},
                {"EMAIL", 'C', 45, 0},
                {"OFFER", 'C', 2, 0}});
  TDemoRandom& r = shop.random;
  for (int i = 0; i < shop.shopper_count; ++i) {
    const std::string number = std::to_string(1001 + i);
    shop.shoppers.push_back(number);
    const std::string first = r.Pick(kFirstNames), last = r.Pick(kSurnames);
    std::string mail;
    for (char c : first + "." + last)
      if (static_cast<unsigned char>(c) < 128 && c != '\'') mail += AnsiLower(c);
    t.Add({{"ACCOUNTNUM", number},
           {"TITLE", r.Pick(kTitles)},
           {"FIRSTNAME", first},
           {"SURNAME", last},
           {"ADDR1", fmt::format("{} {}", r.Between(1, 240), r.Pick(kStreets))},
           {"ADDR2", r.Pick(kSuburbs)},
           {"PHONE",
            fmt::format("04{:02d} {:03d} {:03d}", r.Below(100), r.Below(1000), r.Below(1000))},
           {"CLUB", r.Pick(kClubs)},
           {"DOLLAVAIL", r.Money(0, 6000)},
           {"LST_PU_DTE", Date(shop.today - r.Between(0, 120))},
           {"LST_PU_AMT", r.Money(200, 25000)},
           {"TTL_PU_AMT", fmt::format("{}.{:04d}", r.Below(50), r.Below(10000))},
           {"LST_PU_NUM", std::to_string(r.Below(80))},
           {"OFFRITEM", std::to_string(r.Below(10))},
           {"EXP_DATE", Date(shop.today + r.Between(30, 730))},
           {"EMAIL", mail + "@example.com"}});
  }
  t.Index({{"TRAKNUM.NTX", "UPPER(ACCOUNTNUM)"},
           {"TRAKNAME.NTX", "UPPER(SURNAME)"},
           {"TRAKFNAM.NTX", "UPPER(FIRSTNAME)"},
           {"TRAKADR1.NTX", "UPPER(ADDR1)"},
           {"TRAKADR2.NTX", "UPPER(ADDR2)"},
           {"TRAKPHON.NTX", "UPPER(PHONE)"}});
}

void WritePurchaseLog(TShop& shop) {
  TDemoTable t(shop.dir, "TRACKLOG.DBF",
               {{"ACCOUNTNUM", 'C', 16, 0},
                {"SALEDATE", 'D', 8, 0},
                {"PRODCODE", 'C', 13, 0},
                {"GROUP", 'N', 3, 0},
                {"DESCRIPTIO", 'C', 30, 0},
                {"DOCKET", 'C', 10, 0},
                {"AMOUNT", 'N', 10, 2},
                {"QTY", 'N', 6, 0}});
  TDemoRandom& r = shop.random;
  // Every third shopper has a history.
  const int with_history = (shop.shopper_count + 2) / 3;
  int docket = 50001;
  long rows = 0;
  auto add_docket = [&](int day) {
    const std::string& shopper = shop.shoppers[static_cast<size_t>(r.Below(with_history)) * 3];
    const int lines = r.Between(1, 4);
    for (int l = 0; l < lines && (shop.log_rows == 0 || rows < shop.log_rows); ++l, ++rows) {
      const TProduct& p = r.Pick(kProducts);
      const int qty = r.Between(1, 3);
      t.Add({{"ACCOUNTNUM", shopper},
             {"SALEDATE", Date(shop.today - day)},
             {"PRODCODE", p.code},
             {"GROUP", std::to_string(r.Between(1, 20))},
             {"DESCRIPTIO", p.description},
             {"DOCKET", fmt::format("D{}", docket)},
             {"AMOUNT",
              fmt::format("{}.{:02d}", p.price_cents * qty / 100, p.price_cents * qty % 100)},
             {"QTY", std::to_string(qty)}});
    }
    ++docket;
  };
  // Dockets in date order, as the terminals write them: a given number of rows is spread
  // over the same half year (2.5 lines a docket on average), the last ones on the last day.
  constexpr int kDays = 61;
  const long per_day =
      shop.log_rows == 0 ? 3 : std::max(1L, (shop.log_rows * 2 / 5 + kDays - 1) / kDays);
  for (int day = 180; day >= 0; day -= 3)
    for (long k = 0; k < per_day && (shop.log_rows == 0 || rows < shop.log_rows); ++k)
      add_docket(day);
  while (rows < shop.log_rows) add_docket(0);
  t.Index({{"TRACKLOG.NTX", "UPPER(ACCOUNTNUM)"},
           {"TRAKHIST.NTX", "(UPPER(ACCOUNTNUM)+DTOS(SALEDATE))"}});
}

void WriteVouchers(TShop& shop) {
  TDemoTable t(shop.dir, "VOUCHERS.DBF",
               {{"SELLDATE", 'D', 8, 0}, {"NUMBER", 'C', 16, 0}, {"AMOUNT", 'N', 8, 2}});
  for (int i = 0; i < 12; ++i)
    t.Add({{"SELLDATE", Date(shop.today - 10 * i)},
           {"NUMBER", fmt::format("G{}", 100 + i)},
           {"AMOUNT", i % 4 == 3 ? "0" : shop.random.Money(1000, 10000)}});
}

void WriteDebtorsAndInvoices(TShop& shop) {
  TDemoRandom& r = shop.random;
  std::vector<std::string> debtors;
  {
    TDemoTable t(shop.dir, "DEBTORS.DBF",
                 {{"ACCOUNTNUM", 'C', 10, 0},
                  {"SHORTNAME", 'C', 10, 0},
                  {"NAME", 'C', 40, 0},
                  {"CURRENTBAL", 'N', 12, 2},
                  {"LST_PU_AMT", 'N', 10, 2},
                  {"LST_PU_DTE", 'D', 8, 0},
                  {"LST_PY_AMT", 'N', 10, 2},
                  {"LST_PY_DTE", 'D', 8, 0}});
    for (int i = 1; i <= 20; ++i) {
      const std::string number = fmt::format("D{:03d}", i);
      debtors.push_back(number);
      const std::string surname = r.Pick(kSurnames);
      const std::string shortname = AnsiUpperCase(surname.substr(0, 8));
      t.Add({{"ACCOUNTNUM", number},
             {"SHORTNAME", shortname},
             {"NAME", surname + (i % 2 ? " Builders Pty Ltd" : " & Sons")},
             {"CURRENTBAL", r.Money(-5000, 150000)},
             {"LST_PU_AMT", r.Money(1000, 50000)},
             {"LST_PU_DTE", Date(shop.today - r.Between(1, 60))},
             {"LST_PY_AMT", r.Money(1000, 50000)},
             {"LST_PY_DTE", Date(shop.today - r.Between(1, 90))}});
    }
    t.Index({{"ACCTNUM.ntx", "UPPER(ACCOUNTNUM)"},
             {"SHRTNME.ntx", "UPPER(SHORTNAME)"},
             {"LONGNAME.ntx", "UPPER(NAME)"}});
  }
  TDemoTable head(shop.dir, "INVHEAD.DBF",
                  {{"NUMBER", 'C', 10, 0},
                   {"CUSTOMER", 'C', 10, 0},
                   {"DATE", 'D', 8, 0},
                   {"ORDERNO", 'C', 10, 0},
                   {"TOTAL", 'N', 12, 2},
                   {"ACCBAL", 'N', 12, 2},
                   {"OWING", 'N', 12, 2}});
  TDemoTable lines(shop.dir, "INVLINE.DBF",
                   {{"NUMBER", 'C', 10, 0},
                    {"LINENO", 'N', 3, 0},
                    {"PRODCODE", 'C', 13, 0},
                    {"DESCRIPTIO", 'C', 30, 0},
                    {"QTY", 'N', 8, 2},
                    {"PRICE", 'N', 10, 2},
                    {"AMOUNT", 'N', 12, 2}});
  for (int i = 0; i < 30; ++i) {
    const std::string number = fmt::format("INV{:05d}", 7001 + i);
    int total = 0;
    const int count = r.Between(1, 4);
    for (int l = 1; l <= count; ++l) {
      const TProduct& p = r.Pick(kProducts);
      const int qty = r.Between(1, 10);
      total += p.price_cents * qty;
      lines.Add({{"NUMBER", number},
                 {"LINENO", std::to_string(l)},
                 {"PRODCODE", p.code},
                 {"DESCRIPTIO", p.description},
                 {"QTY", std::to_string(qty)},
                 {"PRICE", fmt::format("{}.{:02d}", p.price_cents / 100, p.price_cents % 100)},
                 {"AMOUNT",
                  fmt::format("{}.{:02d}", p.price_cents * qty / 100, p.price_cents * qty % 100)}});
    }
    const int owing = i % 3 == 0 ? 0 : total;
    head.Add({{"NUMBER", number},
              {"CUSTOMER", r.Pick(debtors)},
              {"DATE", Date(shop.today - 2 * (30 - i))},
              {"ORDERNO", fmt::format("PO{}", 400 + i)},
              {"TOTAL", fmt::format("{}.{:02d}", total / 100, total % 100)},
              {"ACCBAL", r.Money(0, 100000)},
              {"OWING", fmt::format("{}.{:02d}", owing / 100, owing % 100)}});
  }
  head.Index({{"InvNumHD.NTX", "NUMBER"},
              {"InvDate1.NTX", "DTOS(DATE)"},
              {"INVOICES.NTX", "CUSTOMER+NUMBER"},
              {"ALLOwing.NTX", "CUSTOMER+STR(OWING,12,2)"},
              {"DORDERNO.NTX", "ORDERNO"}});
  lines.Index({{"INVNUMLN.NTX", "NUMBER+STR(LINENO,3)"}});
}

// Sales and lay-by headers that name shoppers as their customers.
void WriteSalesAndLaybys(TShop& shop) {
  TDemoRandom& r = shop.random;
  const std::vector<TColumn> columns = {{"NUMBER", 'C', 10, 0},
                                        {"CUSTOMER", 'C', 16, 0},
                                        {"DATE", 'D', 8, 0},
                                        {"TOTAL", 'N', 12, 2},
                                        {"PAID", 'N', 12, 2}};
  {
    TDemoTable t(shop.dir, "POSHEAD.DBF", columns);
    for (int i = 0; i < 40; ++i) {
      const std::string total = r.Money(500, 30000);
      t.Add({{"NUMBER", fmt::format("S{:06d}", 120001 + i)},
             {"CUSTOMER", i % 5 == 4 ? std::string() : r.Pick(shop.shoppers)},
             {"DATE", Date(shop.today - 40 + i)},
             {"TOTAL", total},
             {"PAID", total}});
    }
    t.Index({{"POSDATE1.NTX", "DTOS(DATE)"},
             {"POSNUMHD.NTX", "NUMBER"},
             {"LAYBYACC.NTX", "UPPER(CUSTOMER)"}});
  }
  TDemoTable t(shop.dir, "LAYBYHED.DBF", columns);
  for (int i = 0; i < 8; ++i)
    t.Add({{"NUMBER", fmt::format("L{:05d}", 301 + i)},
           {"CUSTOMER", r.Pick(shop.shoppers)},
           {"DATE", Date(shop.today - 7 * i)},
           {"TOTAL", r.Money(5000, 60000)},
           {"PAID", r.Money(500, 4000)}});
  t.Index({{"LYBDATE1.NTX", "DTOS(DATE)"}, {"LYBNUMHD.NTX", "NUMBER"}});
}

void WriteStores(TShop& shop) {
  TDemoRandom& r = shop.random;
  {
    TDemoTable t(shop.dir, "Storlist.dbf", {{"STORENUM", 'C', 2, 0}, {"STORE_ID", 'C', 20, 0}});
    t.Add({{"STORENUM", "01"}, {"STORE_ID", "Main Street"}});
    t.Add({{"STORENUM", "02"}, {"STORE_ID", "Harbour Mall"}});
  }
  for (const std::string store : {"01", "02"}) {
    // The second store carries fewer lines; a few products have no stock row.
    const size_t range = store == "01" ? kProducts.size() : kProducts.size() - 5;
    {
      TDemoTable plu(shop.dir, "plu__" + store + ".dbf",
                     {{"PRODCODE", 'C', 13, 0},
                      {"DESCRIPTIO", 'C', 30, 0},
                      {"QTYPERSALE", 'N', 6, 0},
                      {"PRICE", 'N', 10, 2}});
      for (size_t i = 0; i < range; ++i) {
        const TProduct& p = kProducts[i];
        plu.Add({{"PRODCODE", p.code},
                 {"DESCRIPTIO", p.description},
                 {"QTYPERSALE", std::to_string(p.per_sale)},
                 {"PRICE", fmt::format("{}.{:02d}", p.price_cents / 100, p.price_cents % 100)}});
      }
      plu.Index({{"PSTCD" + store + ".ntx", "PRODCODE"}});
    }
    TDemoTable stock(shop.dir, "stock" + store + "_.dbf",
                     {{"PRODCODE", 'C', 13, 0}, {"TOTALSTOCK", 'N', 10, 2}});
    for (size_t i = 0; i < range; ++i) {
      if (i % 7 == 6) continue;
      stock.Add({{"PRODCODE", kProducts[i].code},
                 {"TOTALSTOCK", std::to_string(r.Between(0, 40) * kProducts[i].per_sale +
                                               r.Below(kProducts[i].per_sale))}});
    }
    stock.Index({{"STCOD" + store + "_.ntx", "UPPER(PRODCODE)"}});
  }
}

void WriteSettingsAndChangeLog(TShop& shop) {
  {
    TDemoTable t(shop.dir, "Morvex.DBF", {{"SECTION", 'C', 40, 0}, {"VALUE", 'C', 60, 0}});
    t.Add({{"SECTION", "FreqShop:AutoGenNumber"}, {"VALUE", "1"}});
    t.Add({{"SECTION", "FreqShop:AutoGenStart"}, {"VALUE", "1001"}});
    t.Add({{"SECTION", "Shop:Name"}, {"VALUE", "Fidora Demo Shop"}});
  }
  TDemoTable t(shop.dir, "TRACKCHLOG.DBF",
               {{"DATE", 'D', 8, 0},
                {"OLD_NUMBER", 'C', 16, 0},
                {"NEW_NUMBER", 'C', 16, 0},
                {"CLERK", 'C', 20, 0}});
}

long CountOption(const ParsedArgs& a, const std::string& name, long low, long high) {
  const std::string text = a.Value(name);
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    throw UsageError(
        fmt::format("{} needs a whole number from {} to {}, not '{}'", name, low, high, text));
  return value;
}

int Demo(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--shoppers", true}, {"--log-rows", true}});
  if (a.positional.size() != 1) throw UsageError("demo needs DIR");
  TShop shop;
  if (a.Has("--shoppers"))
    shop.shopper_count = static_cast<int>(CountOption(a, "--shoppers", 1, kMaxShoppers));
  if (a.Has("--log-rows")) shop.log_rows = CountOption(a, "--log-rows", 1, kMaxLogRows);
  std::filesystem::path dir = std::filesystem::absolute(a.positional[0]);
  std::filesystem::create_directories(dir);
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (AnsiSameText(entry.path().filename().string(), "TRACKER.DBF")) {
      std::cerr << "fidora-dbf: " << dir.string() << " already holds a shop; nothing written\n";
      return 1;
    }
  }
  shop.dir = dir.string() + "/";
  WriteClubs(shop);
  WriteShoppers(shop);
  WritePurchaseLog(shop);
  WriteVouchers(shop);
  WriteDebtorsAndInvoices(shop);
  WriteSalesAndLaybys(shop);
  WriteStores(shop);
  WriteSettingsAndChangeLog(shop);
  std::filesystem::create_directories(dir / "Debug");
  return 0;
}

}  // namespace

void RegisterDemoCommand(CommandRegistry& registry) {
  registry.Add({"demo", "demo DIR [--shoppers N] [--log-rows M]",
                "write a demo shop into DIR: every table of the server's catalogue with rows "
                "and index files (the same shop on every run); N shoppers (300) numbered from "
                "1001, M purchase-log rows (about 450)",
                Demo});
}

}  // namespace fidora::tool
