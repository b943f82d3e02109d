// The demo shop of fidora-dbf: every index file of the catalogue agrees with its table, the
// same shop comes out on every run, and a directory holding a shop is left alone.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "demo_fixture.h"

namespace fidora::test {
namespace {

std::string Bytes(const std::filesystem::path& path, size_t from = 0) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  const std::string all = out.str();
  return all.size() > from ? all.substr(from) : std::string();
}

// Tables and their index files as the server's catalogue and the stock lookup name them.
const std::vector<std::vector<std::string>> kIndexedTables = {
    {"TRACKER.DBF", "TRAKNAME.NTX", "TRAKNUM.NTX", "TRAKPHON.NTX", "TRAKFNAM.NTX", "TRAKADR2.NTX",
     "TRAKADR1.NTX"},
    {"TRACKLOG.DBF", "TRACKLOG.NTX", "TRAKHIST.NTX"},
    {"CLUB.DBF", "CLUB.NTX"},
    {"DEBTORS.DBF", "ACCTNUM.ntx", "SHRTNME.ntx", "LONGNAME.ntx"},
    {"INVHEAD.DBF", "InvNumHD.NTX", "InvDate1.NTX", "INVOICES.NTX", "ALLOwing.NTX", "DORDERNO.NTX"},
    {"INVLINE.DBF", "INVNUMLN.NTX"},
    {"LAYBYHED.DBF", "LYBDATE1.NTX", "LYBNUMHD.NTX"},
    {"POSHEAD.DBF", "POSDATE1.NTX", "POSNUMHD.NTX", "LAYBYACC.NTX"},
    {"plu__01.dbf", "PSTCD01.ntx"},
    {"plu__02.dbf", "PSTCD02.ntx"},
    {"stock01_.dbf", "STCOD01_.ntx"},
    {"stock02_.dbf", "STCOD02_.ntx"},
};

TEST(DemoShop, EveryIndexFilePassesTheCheck) {
  TempDir dir;
  WriteDemoShop(dir.dir());
  for (const auto& entry : kIndexedTables) {
    std::vector<std::string> args = {"check"};
    for (const std::string& name : entry) args.push_back(dir.dir() + name);
    const ProgramResult r = RunProgram(Tool(), args);
    EXPECT_EQ(r.status, 0) << entry[0] << ":\n" << r.out << r.err;
    EXPECT_EQ(r.out.find("ok, 0 keys"), std::string::npos) << entry[0] << " has empty indexes";
  }
  for (const char* table : {"VOUCHERS.DBF", "Storlist.dbf", "Morvex.DBF", "TRACKCHLOG.DBF"})
    EXPECT_TRUE(std::filesystem::exists(dir / table)) << table;
}

// An independent reader sees the tables, their rows and the OEM text of the names.
TEST(DemoShop, AnotherReaderAgrees) {
  TempDir dir;
  WriteDemoShop(dir.dir());
  const char* script = R"(
import sys, dbfread
d = sys.argv[1]
for name in ['TRACKER.DBF', 'TRACKLOG.DBF', 'CLUB.DBF', 'VOUCHERS.DBF', 'Storlist.dbf',
             'DEBTORS.DBF', 'INVHEAD.DBF', 'INVLINE.DBF', 'Morvex.DBF', 'TRACKCHLOG.DBF']:
    rows = list(dbfread.DBF(d + name, encoding='cp437'))
    print(name, len(rows))
names = [r['FIRSTNAME'] + ' ' + r['SURNAME'] for r in dbfread.DBF(d + 'TRACKER.DBF', encoding='cp437')]
print('accented', any(ch in n for n in names for ch in '\u00e9\u00fc\u00f6'))
clubs = {r['CLUB']: (r['CLUBPTS'], r['CLUBREWRD'], r['CLUBDOLL']) for r in dbfread.DBF(d + 'CLUB.DBF')}
print('GOLD', clubs['GOLD'])
)";
  const ProgramResult r = RunProgram("/usr/bin/python3", {"-c", script, dir.dir()});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"TRACKER.DBF 300\n", "CLUB.DBF 3\n", "Storlist.dbf 2\n", "DEBTORS.DBF 20\n",
        "Morvex.DBF 3\n", "TRACKCHLOG.DBF 0\n", "accented True\n", "GOLD (10, 50, 5.0)\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
  EXPECT_EQ(r.out.find("TRACKLOG.DBF 0\n"), std::string::npos);
}

TEST(DemoShop, TheSameShopOnEveryRun) {
  TempDir a, b;
  WriteDemoShop(a.dir());
  WriteDemoShop(b.dir());
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(a.path())) {
    if (entry.is_directory()) continue;
    const std::string name = entry.path().filename().string();
    const bool table = name.size() > 4 && (name.substr(name.size() - 4) == ".DBF" ||
                                           name.substr(name.size() - 4) == ".dbf");
    // A table's header carries the time it was written; everything after it must agree.
    const size_t from = table ? 32 : 0;
    EXPECT_EQ(Bytes(entry.path(), from), Bytes(b / name, from)) << name;
    ++files;
  }
  EXPECT_GE(files, 40u);
}

// A shop of a chosen size: the shoppers and log rows asked for, numbered on from 1001, with
// exact indexes; sizes that are no whole number in range are refused.
TEST(DemoShop, ShoppersAndLogRowsCanBeChosen) {
  TempDir dir;
  const ProgramResult r =
      RunProgram(Tool(), {"demo", dir.dir(), "--shoppers", "1000", "--log-rows", "5003"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("TRACKER.DBF: 1000 rows, 6 index files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("TRACKLOG.DBF: 5003 rows, 2 index files"), std::string::npos) << r.out;
  for (const std::vector<std::string>& files :
       {std::vector<std::string>{"TRACKER.DBF", "TRAKNUM.NTX", "TRAKNAME.NTX"},
        std::vector<std::string>{"TRACKLOG.DBF", "TRACKLOG.NTX", "TRAKHIST.NTX"}}) {
    std::vector<std::string> args = {"check"};
    for (const std::string& name : files) args.push_back(dir.dir() + name);
    const ProgramResult check = RunProgram(Tool(), args);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
  const auto seek = [&](const char* number) {
    return RunProgram(Tool(),
                      {"seek", dir.dir() + "TRACKER.DBF", dir.dir() + "TRAKNUM.NTX", number})
        .status;
  };
  EXPECT_EQ(seek("2000"), 0);
  EXPECT_EQ(seek("2001"), 1);
  for (const char* bad : {"0", "x", "-5", "1000001"}) {
    TempDir other;
    EXPECT_EQ(RunProgram(Tool(), {"demo", other.dir(), "--shoppers", bad}).status, 2) << bad;
  }
}

TEST(DemoShop, ADirectoryHoldingAShopIsLeftAlone) {
  TempDir dir;
  WriteDemoShop(dir.dir());
  const std::string before = Bytes(dir / "TRACKER.DBF");
  const ProgramResult r = RunProgram(Tool(), {"demo", dir.dir()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("already holds a shop"), std::string::npos) << r.err;
  EXPECT_EQ(Bytes(dir / "TRACKER.DBF"), before);
}

}  // namespace
}  // namespace fidora::test
