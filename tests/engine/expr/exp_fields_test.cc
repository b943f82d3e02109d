// Expressions bound to a real DBF table: field values by type, name resolution (alias, A->B,
// names cut to 10 characters), the table functions and the comparisons filters rely on.
#include <gtest/gtest.h>

#include <memory>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "engine/expr/dbf_table_access.h"
#include "engine/expr/exp_handler.h"
#include "engine/expr/exp_user_link.h"
#include "expr_test_util.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using test::RunExpr;

class ExpFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TDbfBuild b(dir_.dir() + "TRACKER");
    b.AddField("ACCOUNTNUM", 'C', 10, 0);
    b.AddField("SURNAME", 'C', 20, 0);
    b.AddField("NAME", 'C', 10, 0);
    b.AddField("AMOUNT", 'N', 8, 2);
    b.AddField("SALEDATE", 'D', 0, 0);
    b.AddField("ACTIVE", 'L', 0, 0);
    b.AddField("NOTE", 'M', 0, 0);
    b.AddField("CODE", 'X', 3, 0);
    b.Build();
    table_ = std::make_unique<TDbfFields>(b.path(), true, true);
    table_->Open();
    Add({"A1", "Smith", "SMITH", "12.5", "20231231", "T", "abc"}, "hello memo");
    Add({"b2", "Jones", "", "0", "", "F", ""}, "");
    Add({"C3", "SMITHERS", "SMITHERS", "-3", "20240101", "T", ""}, "");
    table_->ReadRecord(2);
    table_->Delete();
    access_ = std::make_unique<TxDbfTableAccess>(*table_);
    link_ = std::make_unique<TxExpUserLink>(*access_, "TRACKER");
    Go(1);
  }

  void Add(const std::vector<std::string>& values, const std::string& memo) {
    table_->BlankRecord();
    const char* names[] = {"ACCOUNTNUM", "SURNAME", "NAME", "AMOUNT", "SALEDATE", "ACTIVE", "CODE"};
    for (size_t i = 0; i < values.size(); ++i) table_->SetFieldText(names[i], values[i]);
    if (!memo.empty()) table_->SetMemo(table_->FieldNo("NOTE"), memo);
    table_->AppendRecord();
  }
  void Go(int recno) { ASSERT_TRUE(table_->ReadRecord(recno)); }
  std::string Run(const std::string& text, const std::string& alias = "TRACKER",
                  bool caseInsensitive = false) {
    return RunExpr(text, link_.get(), alias, caseInsensitive);
  }
  // The expression evaluated on records 1, 2 and 3, as "T"/"F" letters.
  std::string OnEveryRecord(const std::string& text) {
    TxExpHandler h(link_.get(), "TRACKER", text);
    std::string out;
    for (int n = 1; n <= 3; ++n) {
      Go(n);
      out += ExpValueText(h.Evaluate());
    }
    return out;
  }

  test::TempDir dir_;
  std::unique_ptr<TDbfFields> table_;
  std::unique_ptr<TxDbfTableAccess> access_;
  std::unique_ptr<TxExpUserLink> link_;
};

TEST_F(ExpFieldsTest, FieldValuesByType) {
  EXPECT_EQ(Run("SURNAME"), "Text|Smith               ");  // trailing blanks kept
  EXPECT_EQ(Run("AMOUNT"), "Number|12.5");
  EXPECT_EQ(Run("SALEDATE"), "Date|31/12/2023");
  EXPECT_EQ(Run("ACTIVE"), "Boolean|T");
  EXPECT_EQ(Run("NOTE"), "Text|hello memo");
  EXPECT_EQ(Run("CODE"), "Memo|abc");  // a type the engine does not interpret
  Go(2);
  EXPECT_EQ(Run("SALEDATE"), "Date|          ");
  EXPECT_EQ(Run("SALEDATE = 0"), "Boolean|T");
  EXPECT_EQ(Run("NOTE"), "Text|");
  EXPECT_EQ(Run("ACTIVE"), "Boolean|F");
}

// The quirks filters from the terminals rely on.
TEST_F(ExpFieldsTest, TextComparisonsOfFields) {
  EXPECT_EQ(Run("ALLTRIM(NAME) = 'SMITH'"), "Boolean|T");
  EXPECT_EQ(Run("NAME = 'SMITH'"), "Boolean|T");
  EXPECT_EQ(Run("NAME = 'SM'"), "Boolean|F");
  EXPECT_EQ(Run("NAME = 'SM*'"), "Boolean|T");
  EXPECT_EQ(Run("SURNAME = 'SMITH'"), "Boolean|F");
  EXPECT_EQ(Run("SURNAME = 'SMITH'", "TRACKER", true), "Boolean|T");
  EXPECT_EQ(Run("NAME = 'smith'", "TRACKER", true), "Boolean|T");
  Go(2);  // NAME is blank
  EXPECT_EQ(Run("NAME = ''"), "Boolean|F");
  EXPECT_EQ(Run("NAME # ''"), "Boolean|T");
  EXPECT_EQ(Run("EMPTY(NAME)"), "Boolean|T");
  EXPECT_EQ(Run("INLIST(ACCOUNTNUM, 'X', 'b2')"), "Boolean|T");
}

TEST_F(ExpFieldsTest, FiltersOverRecords) {
  EXPECT_EQ(OnEveryRecord("amount <> 0"), "TFT");
  EXPECT_EQ(OnEveryRecord(".NOT. DELETED() .AND. AMOUNT > 0"), "TFF");
  EXPECT_EQ(OnEveryRecord("DELETED()"), "FTF");
  EXPECT_EQ(OnEveryRecord("UPPER(SURNAME) = 'SMITH'"), "TFF");
  // The trimmed text is shorter than the pattern: SMITH* does not match SMITH.
  EXPECT_EQ(OnEveryRecord("UPPER(SURNAME) = 'SMITH*'"), "FFT");
  EXPECT_EQ(OnEveryRecord("UPPER(SURNAME) = 'SMI*'"), "TFT");
  EXPECT_EQ(OnEveryRecord("SALEDATE > {31/12/2023}"), "FFT");
  EXPECT_EQ(OnEveryRecord("SALEDATE >= 2460310"), "TFT");  // a date against its day number
  for (const char* text : {"AMOUNT # 0", "AMOUNT != 0", "AMOUNT NE 0", "amount <> 0"}) {
    EXPECT_EQ(TxExpHandler(link_.get(), "TRACKER", text).Render(), "AMOUNT#0") << text;
  }
  EXPECT_EQ(TxExpHandler(link_.get(), "", ".NOT. DELETED() .AND. AMOUNT > 0").Render(),
            ".NOT.DELETED().AND.AMOUNT>0");
}

TEST_F(ExpFieldsTest, NameResolution) {
  EXPECT_EQ(Run("TRACKER->ACCOUNTNUM"), "Text|A1        ");
  EXPECT_EQ(Run("tracker.accountnum"), "Text|A1        ");
  EXPECT_EQ(Run("ACCOUNTNUMBER"), "Text|A1        ");  // looked up by its first 10 characters
  // Without the alias removed, A->B is looked up as A.B, which the registry also holds.
  EXPECT_EQ(Run("TRACKER->ACCOUNTNUM", ""), "Text|A1        ");
  EXPECT_EQ(Run("OTHER->ACCOUNTNUM"), "!There is no function for OTHER.ACCOUNTNUM");
  EXPECT_EQ(Run("NOSUCHFIELD"), "!There is no function for NOSUCHFIELD");
  EXPECT_EQ(Run("NOSUCH(1)"), "!There is no function for NOSUCH");
  // The alias is removed only where a name begins.
  EXPECT_EQ(Run("XTRACKER.NAME"), "!There is no function for XTRACKER.NAME");
  // The global registry is searched first.
  EXPECT_EQ(Run("TRUE"), "Boolean|T");
}

// A table named like a logical literal or an operator: its alias is removed where it prefixes a
// name, never from inside ".T.", ".AND." or a quoted text.
TEST_F(ExpFieldsTest, AliasRemovalLeavesLiteralsAndOperatorsWhole) {
  struct Case {
    const char* alias;
    const char* text;
    const char* result;
  } const cases[] = {
      {"T", ".T. .AND. .T.", "Boolean|T"},
      {"T", "t.accountnum = 'A1' .and. .t.", "Boolean|T"},
      {"F", ".F. .OR. F->AMOUNT > 0", "Boolean|T"},
      {"AND", ".T..AND.AND.AMOUNT > 0", "Boolean|T"},
      {"NOT", ".NOT. NOT.AMOUNT < 0", "Boolean|T"},
      {"T", "'T.X' + [T->Y] + \"t.z\"", "Text|T.XT->Yt.z"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run(c.text, c.alias), c.result) << c.alias << ": " << c.text;
}

TEST_F(ExpFieldsTest, TableFunctions) {
  Go(3);
  EXPECT_EQ(Run("RECNO()"), "Number|3");
  EXPECT_EQ(Run("DELETED()"), "Boolean|F");
  EXPECT_EQ(Run("BOF() .OR. EOF()"), "Boolean|F");
  EXPECT_EQ(Run("TYPE('amount')"), "Text|N");
  EXPECT_EQ(Run("TYPE('SaleDate')"), "Text|D");
  EXPECT_EQ(Run("TYPE('nope')"), "!There is no field name " + table_->path() + "->NOPE");
  EXPECT_THROW(TxExpHandler(link_.get(), "", "TYPE('nope')").Evaluate(), EXbError);
  EXPECT_EQ(Run("FIELDNO('surname')"), "Number|2");
  EXPECT_EQ(Run("FIELDNO('nope')"), "Number|0");
  EXPECT_EQ(Run("TYPE(5)"), "!Text needed for Argument 1 of TYPE");
  EXPECT_EQ(Run("LEN(NAME)"), "Number|10");                          // the global LEN wins
  EXPECT_EQ(RunExpr("RECNO()"), "!There is no function for RECNO");  // no table
  EXPECT_FALSE(table_->ReadRecord(4));
  EXPECT_EQ(Run("EOF()"), "Boolean|T");
}

TEST_F(ExpFieldsTest, IndexKeysKeepTheFieldLengths) {
  TxVariant key;
  TxExpHandler upper(link_.get(), "TRACKER", "UPPER(ACCOUNTNUM)");
  Go(2);
  EXPECT_EQ(upper.EvaluateInto(key), TxExpType::Text);
  EXPECT_EQ(key.AsText(), "B2        ");
  TxExpHandler combined(link_.get(), "TRACKER", "(UPPER(ACCOUNTNUM)+DTOS(SALEDATE))");
  EXPECT_EQ(combined.EvaluateInto(key), TxExpType::Text);
  EXPECT_EQ(key.AsText(), "B2                ");  // an empty date gives 8 blanks
  Go(1);
  combined.EvaluateInto(key);
  EXPECT_EQ(key.AsText(), "A1        20231231");
  TxExpHandler date(link_.get(), "TRACKER", "SALEDATE");
  EXPECT_EQ(date.EvaluateInto(key), TxExpType::Date);
  EXPECT_EQ(key.AsDayNumber(), 2460310);
}

TEST_F(ExpFieldsTest, StrDefaultWidth) {
  EXPECT_EQ(Run("STR(AMOUNT)"), "Text|        13");
  EXPECT_EQ(Run("STR(AMOUNT, 6, 1)"), "Text|  12.5");
  link_->SetStrWidthFromNode(true);                // as once an index expression was compiled
  EXPECT_EQ(Run("STR(AMOUNT)"), "Text|      13");  // the field's length
  EXPECT_EQ(Run("STR(12.50)"), "Text|   13");      // the literal's length
  EXPECT_EQ(Run("STR(AMOUNT * 2)"), "Text|");      // any other expression: 0
}

TEST_F(ExpFieldsTest, NamesOfNodesAndOperands) {
  TxExpHandler h(link_.get(), "TRACKER", "UPPER(SURNAME) + NAME = 'X' .AND. TRUE");
  EXPECT_EQ(h.ListNames(TxUserDefFieldVar::kTableField), "SURNAME;NAME;");
  EXPECT_EQ(h.ListNames(TxUserDefFieldVar::kNamedVariable), "TRUE;");
  EXPECT_EQ(h.OperandCount(), 5);
}

TEST_F(ExpFieldsTest, TypeRulesAndFieldErrors) {
  EXPECT_EQ(Run("NAME = 5"), "!The two sides of an operation do not match");
  EXPECT_EQ(Run("SALEDATE + 30 > SALEDATE"), "Boolean|T");
  EXPECT_EQ(Run("SALEDATE + 30"), "Number|2460340");
  table_->SetFieldRaw(table_->FieldNo("AMOUNT"), "  12x.50");
  const std::string bad = Run("AMOUNT > 0");
  EXPECT_EQ(bad.rfind("!Invalid numeric value in field ", 0), 0u) << bad;
  table_->SetFieldRaw(table_->FieldNo("SALEDATE"), "31-12-23");
  const std::string badDate = Run("SALEDATE");
  EXPECT_EQ(badDate.rfind("!Invalid date in field ", 0), 0u) << badDate;
}

TEST_F(ExpFieldsTest, OneCompiledExpressionFollowsTheRecordBuffer) {
  TxExpHandler h(link_.get(), "TRACKER", "ALLTRIM(ACCOUNTNUM) + '/' + STR(AMOUNT, 6, 2)");
  Go(1);
  EXPECT_EQ(h.Evaluate().text, "A1/ 12.50");
  Go(3);
  EXPECT_EQ(h.Evaluate().text, "C3/ -3.00");
}

}  // namespace
}  // namespace fidora
