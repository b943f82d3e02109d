// fidora-dbf dump --filter and eval, run as the real program on a table written by an
// independent DBF writer (python3-dbf).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace fidora {
namespace {

const std::string kBar = "\xC2\xA6";

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ExprToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string script =
        "import dbf, datetime\n"
        "t = dbf.Table('" +
        (dir_ / "cust.dbf").string() +
        "', "
        "'SURNAME C(10); DOLLAVAIL N(8,2); BORN D; ACTIVE L', dbf_type='db3')\n"
        "t.open(mode=dbf.READ_WRITE)\n"
        "t.append(('SMITH', 12.5, datetime.date(2023,12,31), True))\n"
        "t.append(('Jones', 0, None, False))\n"
        "t.append(('smithers', -1, datetime.date(2020,1,1), True))\n"
        "t.append(('Smith', 3, datetime.date(2021,5,6), False))\n"
        "dbf.delete(t[1])\n"
        "t.close()\n";
    std::ofstream(dir_ / "make.py") << script;
    ASSERT_EQ(std::system(("/usr/bin/python3 " + Quote((dir_ / "make.py").string())).c_str()), 0);
  }

  ToolResult Tool(const std::string& args) {
    const std::string cmd = std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf " + args +
                            " >" + Quote((dir_ / "out").string()) + " 2>" +
                            Quote((dir_ / "err").string());
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(dir_ / "out"), ReadFile(dir_ / "err")};
  }
  std::string Table() { return Quote((dir_ / "CUST").string()); }

  test::TempDir dir_;
};

TEST_F(ExprToolTest, DumpKeepsTheRecordsTheFilterAccepts) {
  const ToolResult r = Tool("dump " + Table() + " --recno --filter " +
                            Quote("UPPER(SURNAME) = 'SMITH' .AND. DOLLAVAIL > 0"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1" + kBar + "SMITH" + kBar + "12.50" + kBar + "31/12/2023" + kBar + "T\n" +
                       "4" + kBar + "Smith" + kBar + "3.00" + kBar + "06/05/2021" + kBar + "F\n");
  // Deleted records stay out unless asked for; the filter still applies to them.
  const ToolResult d = Tool("dump " + Table() + " --deleted --filter " + Quote("DOLLAVAIL = 0"));
  EXPECT_EQ(d.out, "*" + kBar + "Jones" + kBar + "0.00" + kBar + kBar + "F\n");
  EXPECT_EQ(Tool("dump " + Table() + " --filter " + Quote("DOLLAVAIL = 0")).out, "");
}

TEST_F(ExprToolTest, DumpRefusesFiltersThatAreNotBoolean) {
  const ToolResult r = Tool("dump " + Table() + " --filter SURNAME");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "fidora-dbf: " + (dir_ / "CUST").string() +
                       ": Filter expression must return boolean result\n");
  const ToolResult bad = Tool("dump " + Table() + " --filter " + Quote("DOLLAVAIL > > 0"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "fidora-dbf: " + (dir_ / "CUST").string() +
                         ": Syntax Error in expression \"DOLLAVAIL > > 0\"\n");
}

TEST_F(ExprToolTest, EvalPrintsTypeAndValueForEveryLiveRecord) {
  EXPECT_EQ(Tool("eval " + Table() + " SURNAME").out,
            "Text" + kBar + "SMITH     \nText" + kBar + "smithers  \nText" + kBar + "Smith     \n");
  EXPECT_EQ(Tool("eval " + Table() + " " + Quote("DOLLAVAIL / 4")).out,
            "Number" + kBar + "3.125\nNumber" + kBar + "-0.25\nNumber" + kBar + "0.75\n");
  EXPECT_EQ(Tool("eval " + Table() + " " + Quote("CUST->BORN") + " --recno 3").out,
            "Date" + kBar + "01/01/2020\n");
  EXPECT_EQ(Tool("eval " + Table() + " " + Quote("DELETED() .OR. EMPTY(BORN)") + " --recno 2").out,
            "Boolean" + kBar + "T\n");
  const ToolResult missing = Tool("eval " + Table() + " " + Quote("RECNO()") + " --recno 9");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Record number 9 is not in table"), std::string::npos) << missing.err;
  const ToolResult unknown = Tool("eval " + Table() + " NOSUCH");
  EXPECT_EQ(unknown.err,
            "fidora-dbf: " + (dir_ / "CUST").string() + ": There is no function for NOSUCH\n");
  EXPECT_EQ(Tool("eval " + Table()).status, 2);  // usage
}

}  // namespace
}  // namespace fidora
