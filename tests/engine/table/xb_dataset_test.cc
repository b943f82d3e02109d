// The dataset component on real tables: opening by name, field values and their null rules,
// the record life cycle, navigation at the ends, Find, Locate, index lists, IndexOn, filters,
// pack progress and raw access.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dataset_fixture.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/xb_error.h"
#include "engine/table/dataset_error.h"

namespace fidora::test {
namespace {

const std::vector<FieldSpec> kPeople = {{"NAME", 'C', 10, 0},  {"NUM", 'N', 4, 0},
                                        {"AMOUNT", 'N', 8, 2}, {"DAY", 'D', 8, 0},
                                        {"OK", 'L', 1, 0},     {"BIG", 'N', 12, 0}};

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildTable(dir_, "PEOPLE.DBF", kPeople);
    Bind(ds_, dir_, "people");
  }
  // Rows NAME = names[i], NUM = i + 1.
  void Fill(const std::vector<std::string>& names) {
    ds_.Open();
    for (size_t i = 0; i < names.size(); ++i)
      AppendValues(ds_, {{"NAME", names[i]}, {"NUM", std::to_string(i + 1)}});
  }
  void IndexByName() {
    ds_.IndexOn(dir_.dir() + "PEOPLE.NTX", "", "UPPER(NAME)", "", false, true);
    ds_.SetIndexList("PEOPLE.NTX", "PEOPLE");
  }
  // Overwrites the stored bytes of field `name` in record `recno`.
  void Poke(uint32_t recno, const std::string& name, const std::string& bytes) {
    ds_.SetRecNo(recno);
    ds_.Edit();
    ds_.SetRawFieldText(name, bytes);
    ds_.Post();
  }

  TempDir dir_;
  TXbDataSet ds_;
};

TEST_F(DataSetTest, ATableNameWithoutExtensionOpensTheDbfInTheDirectory) {
  ds_.Open();
  EXPECT_TRUE(ds_.Active());
  EXPECT_EQ(ds_.TablePath(), dir_.dir() + "people.DBF");
  EXPECT_EQ(std::filesystem::path(ds_.Handler()->path()).filename(), "PEOPLE.DBF");
  EXPECT_EQ(ds_.FieldCount(), 6);
  EXPECT_EQ(ds_.RecNo(), 0u);
  EXPECT_TRUE(ds_.Eof() && ds_.Bof());
}

TEST_F(DataSetTest, OpenFailuresLeaveTheDatasetClosed) {
  TXbDataSet none;
  none.SetDatabaseName(dir_.dir());
  EXPECT_THROW(
      {
        try {
          none.Open();
        } catch (const EDatabaseError& e) {
          EXPECT_STREQ(e.what(), "Table name missing");
          throw;
        }
      },
      EDatabaseError);
  none.SetTableName("missing");
  try {
    none.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot find file " + dir_.dir() + "missing.DBF");
  }
  EXPECT_FALSE(none.Active());
  ds_.SetIndexFiles({"NOPE.NTX"});
  try {
    ds_.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot find file " + dir_.dir() + "NOPE.NTX");
  }
  EXPECT_FALSE(ds_.Active());
}

TEST_F(DataSetTest, StateRulesHaveTheirMessages) {
  ds_.Open();
  try {
    ds_.SetTableName("other");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on an open dataset");
  }
  EXPECT_THROW(ds_.SetDatabaseName("/tmp"), EDatabaseError);
  AppendValues(ds_, {{"NAME", "Ann"}});
  try {
    ds_.FieldByName("NAME").SetAsString("Bob");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
  ds_.Close();
  ds_.SetTableName("PEOPLE.DBF");  // same name in other case: the index list stays
  ds_.SetIndexFiles({"A.NTX"});
  ds_.SetTableName("PEOPLE.DBF");
  EXPECT_EQ(ds_.IndexFiles().size(), 1u);
  ds_.SetTableName("OTHER");
  EXPECT_TRUE(ds_.IndexFiles().empty());
}

TEST_F(DataSetTest, NullRulesOfEachValueType) {
  Fill({"Ann"});
  Poke(1, "NAME", std::string(10, ' '));
  Poke(1, "NUM", "    ");
  Poke(1, "DAY", "20240230");
  ds_.SetRecNo(1);
  EXPECT_TRUE(ds_.FieldByName("NAME").IsNull());
  EXPECT_FALSE(ds_.FieldByName("NUM").IsNull());
  EXPECT_EQ(ds_.FieldByName("NUM").Value(), TFieldValue(int64_t{0}));
  EXPECT_TRUE(ds_.FieldByName("DAY").IsNull());
  EXPECT_FALSE(ds_.FieldByName("OK").IsNull());
  EXPECT_FALSE(ds_.FieldByName("OK").AsBoolean());
  for (const char* stored : {"00000000", "2024021", "2024-2-1", "        "}) {
    Poke(1, "DAY", stored);
    EXPECT_TRUE(ds_.FieldByName("DAY").IsNull()) << stored;
  }
  Poke(1, "DAY", "20240229");
  EXPECT_EQ(ds_.FieldByName("DAY").AsDate(), TxDBFDate::EncodeDay(2024, 2, 29));
  Poke(1, "OK", "y");
  EXPECT_TRUE(ds_.FieldByName("OK").AsBoolean());
  // A null value clears each kind of field.
  ds_.Edit();
  for (const char* f : {"NAME", "NUM", "AMOUNT", "DAY", "OK"}) ds_.FieldByName(f).Clear();
  ds_.Post();
  EXPECT_EQ(ds_.RawFieldText("NAME"), std::string(10, ' '));
  EXPECT_EQ(ds_.RawFieldText("NUM"), "   0");
  EXPECT_EQ(ds_.RawFieldText("AMOUNT"), "    0.00");
  EXPECT_EQ(ds_.RawFieldText("DAY"), std::string(8, ' '));
  EXPECT_EQ(ds_.RawFieldText("OK"), "F");
}

TEST_F(DataSetTest, FieldValueTypesFollowTheDescriptors) {
  ds_.SetLargeIntegerAs(TxIntFields::asFloat);
  ds_.Open();
  EXPECT_EQ(ds_.FieldByName("NAME").DataType(), TxFieldType::String);
  EXPECT_EQ(ds_.FieldByName("NUM").DataType(), TxFieldType::SmallInt);
  EXPECT_EQ(ds_.FieldByName("AMOUNT").DataType(), TxFieldType::Float);
  EXPECT_EQ(ds_.FieldByName("DAY").DataType(), TxFieldType::Date);
  EXPECT_EQ(ds_.FieldByName("OK").DataType(), TxFieldType::Boolean);
  EXPECT_EQ(ds_.FieldByName("BIG").DataType(), TxFieldType::Float);
  ds_.Close();
  ds_.SetLargeIntegerAs(TxIntFields::asLargeInt);
  ds_.Open();
  EXPECT_EQ(ds_.FieldByName("BIG").DataType(), TxFieldType::LargeInt);
  AppendValues(ds_, {{"BIG", "999999999999"}});
  EXPECT_EQ(ds_.FieldByName("BIG").AsInteger(), 999999999999);
  ds_.Close();
  // A 32-bit value type does not wrap a stored number beyond its range.
  ds_.SetLargeIntegerAs(TxIntFields::asInteger);
  ds_.Open();
  EXPECT_EQ(ds_.FieldByName("BIG").DataType(), TxFieldType::Integer);
  EXPECT_EQ(ds_.FieldByName("BIG").AsInteger(), 999999999999);
  EXPECT_EQ(ds_.FindField("nosuch"), nullptr);
  EXPECT_THROW(ds_.FieldByName("nosuch"), EDatabaseError);
}

TEST_F(DataSetTest, AConversionFailureKeepsTheFieldsValue) {
  Fill({"Ann"});
  ds_.Edit();
  ds_.FieldByName("NUM").SetAsString("12");
  try {
    ds_.FieldByName("NUM").SetAsString("twelve");
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Smallint)");
  }
  EXPECT_THROW(ds_.FieldByName("AMOUNT").SetAsString(""), EVariantError);
  EXPECT_THROW(ds_.FieldByName("DAY").SetAsString("31/02/2024"), EVariantError);
  EXPECT_THROW(ds_.FieldByName("OK").SetAsString("maybe"), EVariantError);
  ds_.Post();
  EXPECT_EQ(ds_.FieldByName("NUM").AsInteger(), 12);
}

TEST_F(DataSetTest, EditPostCancelAndAppendMoveTheRightRecords) {
  Fill({"Ann", "Bob", "Cy"});
  EXPECT_EQ(ds_.RecNo(), 3u);  // the appended record is current
  ds_.SetRecNo(2);
  ds_.Edit();
  ds_.FieldByName("NAME").SetAsString("Bobby");
  ds_.Cancel();
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Bob");
  ds_.Unlock();  // Cancel keeps the lock Edit took
  ds_.Edit();
  ds_.FieldByName("NAME").SetAsString("Bobby");
  ds_.Post();
  ds_.Append();
  ds_.FieldByName("NAME").SetAsString("Dee");
  ds_.Cancel();  // back to the record it was on, nothing appended
  EXPECT_EQ(ds_.RecNo(), 2u);
  EXPECT_EQ(ds_.RecordCount(), 3u);
  ds_.Edit();
  ds_.FieldByName("NUM").SetAsString("9");
  ds_.Next();  // navigation posts the change
  EXPECT_EQ(ds_.RecNo(), 3u);
  ds_.Close();
  ds_.Open();
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "Bobby", "Cy"}));
  ds_.SetRecNo(2);
  EXPECT_EQ(ds_.FieldByName("NUM").AsInteger(), 9);
}

// Physical order selected by name reads ahead; Edit must not write back a stale copy of a
// record another open changed meanwhile.
TEST_F(DataSetTest, EditReadsTheRecordAfterLockingItNotFromTheReadAheadBuffer) {
  Fill({"Ann", "Bob", "Cy"});
  IndexByName();
  ds_.SetIndexName("");
  ds_.First();  // fills the buffer
  TXbDataSet other;
  Bind(other, dir_, "people");
  other.Open();
  other.SetRecNo(2);
  other.Edit();
  other.FieldByName("NUM").SetAsInteger(99);
  other.Post();
  ds_.SetRecNo(2);
  ds_.Edit();
  EXPECT_EQ(ds_.FieldByName("NUM").AsInteger(), 99);
  ds_.FieldByName("NAME").SetAsString("Bobby");
  ds_.Post();
  other.SetRecNo(2);
  EXPECT_EQ(other.FieldByName("NAME").AsString(), "Bobby");
  EXPECT_EQ(other.FieldByName("NUM").AsInteger(), 99);
}

TEST_F(DataSetTest, StepsPastEitherEndKeepTheEndRecord) {
  Fill({"Ann", "Bob", "Cy"});
  ds_.Last();
  ds_.Next();
  EXPECT_TRUE(ds_.Eof());
  EXPECT_EQ(ds_.RecNo(), 3u);
  ds_.Prior();
  EXPECT_EQ(ds_.RecNo(), 2u);
  ds_.First();
  ds_.Prior();
  EXPECT_TRUE(ds_.Bof());
  EXPECT_EQ(ds_.RecNo(), 1u);
}

TEST_F(DataSetTest, DeleteMakesTheNextOrThePreviousRecordCurrent) {
  Fill({"Ann", "Bob", "Cy"});
  ds_.SetRecNo(2);
  ds_.Delete();
  EXPECT_EQ(ds_.RecNo(), 3u);
  ds_.Delete();  // the last visible one: the previous becomes current
  EXPECT_EQ(ds_.RecNo(), 1u);
  ds_.Delete();
  EXPECT_EQ(ds_.RecNo(), 0u);
  EXPECT_TRUE(ds_.Eof());
  try {
    ds_.Delete();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot delete the record");
  }
  ds_.SetRecNo(2);  // a deleted record is still read by number
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Bob");
}

TEST_F(DataSetTest, FindWithAndWithoutNear) {
  Fill({"Cy", "Ann", "Eve", "Bob"});
  EXPECT_THROW(
      {
        try {
          ds_.Find("ANN", true, false);
        } catch (const EDatabaseError& e) {
          EXPECT_STREQ(e.what(), "No index is assigned for Find operation");
          throw;
        }
      },
      EDatabaseError);
  IndexByName();
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "Bob", "Cy", "Eve"}));
  EXPECT_TRUE(ds_.Find("BOB", true, false));
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Bob");
  // A missing key: Eof and the last record current.
  EXPECT_FALSE(ds_.Find("DAN", true, false));
  EXPECT_TRUE(ds_.Eof());
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Eve");
  // With near the next greater key becomes current.
  EXPECT_FALSE(ds_.Find("DAN", true, true));
  EXPECT_FALSE(ds_.Eof());
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Eve");
  EXPECT_FALSE(ds_.Find("BA", true, true));
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "Bob");
  // A prefix matches only without exact.
  EXPECT_TRUE(ds_.Find("B", false, false));
  EXPECT_FALSE(ds_.Find("B", true, false));
  EXPECT_FALSE(ds_.Find("ZZZ", false, true));
  EXPECT_TRUE(ds_.Eof());
}

TEST_F(DataSetTest, FindTranslatesTheKeyToTheTablesCodePage) {
  ds_.Open();
  AppendValues(ds_, {{"NAME", "M\xFCller"}});
  EXPECT_EQ(ds_.RawFieldText("NAME").substr(0, 6), "M\x81ller");
  IndexByName();
  // UPPER leaves the OEM byte of "ü" as it is: the key holds 0x81 where the request has 0xFC.
  EXPECT_TRUE(ds_.Find("M\xFCLLER", true, false));
  EXPECT_EQ(ds_.FieldByName("NAME").AsString(), "M\xFCller");
}

TEST_F(DataSetTest, LocateFindsOrStaysWhereItWas) {
  Fill({"Ann", "Bob", "bobby"});
  ds_.SetRecNo(1);
  EXPECT_FALSE(ds_.Locate("NAME", {TFieldValue("BOB")}));
  EXPECT_EQ(ds_.RecNo(), 1u);
  EXPECT_TRUE(ds_.Locate("NAME", {TFieldValue("BOB")}, {true, false}));
  EXPECT_EQ(ds_.RecNo(), 2u);
  // Partial: only the last field may be a prefix.
  EXPECT_FALSE(ds_.Locate("NAME;NUM", {TFieldValue("bob"), TFieldValue(3)}, {false, true}));
  EXPECT_TRUE(ds_.Locate("NUM;NAME", {TFieldValue(3), TFieldValue("bob")}, {false, true}));
  EXPECT_EQ(ds_.RecNo(), 3u);
}

TEST_F(DataSetTest, TwoIndexOnInARowLeaveNoIndexOpenAndPhysicalOrder) {
  Fill({"Cy", "Ann", "Bob"});
  IndexByName();
  EXPECT_EQ(ds_.Handler()->TagCount(), 1);
  ds_.IndexOn(dir_.dir() + "BYNAME.NTX", "", "NAME", "", false, true);
  ds_.IndexOn(dir_.dir() + "BYNUM.NTX", "", "STR(NUM,4)", "", false, false);
  EXPECT_EQ(ds_.Handler()->TagCount(), 0);
  EXPECT_EQ(ds_.Handler()->MasterTag(), nullptr);
  EXPECT_EQ(ds_.RecNo(), 1u);
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
  // The descending file orders by number from the top.
  ds_.SetIndexList("BYNUM.NTX", "");
  EXPECT_EQ(ds_.OpenIndexFile("BYNUM.NTX"), -1);
  ds_.SetIndexList("\"BYNUM.NTX\" , BYNAME.NTX", "BYNUM");
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Bob", "Ann", "Cy"}));
  EXPECT_EQ(ds_.IndexFiles(), (std::vector<std::string>{"BYNUM.NTX", "BYNAME.NTX"}));
  try {
    ds_.SetIndexFiles({"BYNUM.NTX", "BYNUM.NTX"});
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "Index file " + dir_.dir() + "BYNUM.NTX already open");
  }
  ds_.Close();
  ds_.Open();  // at open a repeated name is skipped
  EXPECT_EQ(ds_.Handler()->TagCount(), 1);
}

TEST_F(DataSetTest, WhileAnIndexIsBuiltTheDatasetRefusesOtherCalls) {
  Fill({"Cy", "Ann", "Bob"});
  std::vector<std::string> refusals;
  int notices = 0;
  ds_.OnStatus = [&](int, int, int) {
    ++notices;
    try {
      ds_.First();
    } catch (const EDatabaseError& e) {
      refusals.push_back(e.what());
    }
  };
  ds_.IndexOn(dir_.dir() + "BUSY.NTX", "", "NAME", "", false, true);
  ASSERT_GT(notices, 0);
  EXPECT_EQ(refusals.size(), static_cast<size_t>(notices));
  EXPECT_EQ(refusals.front(), "Table is busy building an index");
  EXPECT_EQ(ds_.RecNo(), 1u);  // usable again afterwards
}

TEST_F(DataSetTest, ChangingTheOrderKeepsTheRecordAndPostsKeepTheIndexCurrent) {
  Fill({"Cy", "Ann", "Bob"});
  IndexByName();
  ds_.SetRecNo(3);  // Bob
  ds_.SetIndexName("");
  EXPECT_EQ(ds_.RecNo(), 3u);
  ds_.SetIndexName("people");
  EXPECT_EQ(ds_.RecNo(), 3u);
  ds_.Edit();
  ds_.FieldByName("NAME").SetAsString("Al");
  ds_.Post();
  AppendValues(ds_, {{"NAME", "Zed"}});
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Al", "Ann", "Cy", "Zed"}));
  EXPECT_THROW(ds_.SetIndexName("NOTAG"), EXbError);
}

TEST_F(DataSetTest, FiltersApplyWhenFilteredAndOptionsChangeTheComparison) {
  Fill({"Ann", "Bob", "ann", "Annette"});
  ds_.SetFilter("NAME = 'An*'");
  EXPECT_EQ(Column(ds_, "NAME").size(), 4u);  // stored, not applied
  ds_.SetFiltered(true);
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "Annette"}));
  ds_.SetFilterOptions({true, false});
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "ann", "Annette"}));
  ds_.SetFilterOptions({true, true});  // no partial compare: "*" is only a character
  EXPECT_TRUE(Column(ds_, "NAME").empty());
  EXPECT_EQ(ds_.RecNo(), 0u);
  ds_.SetFiltered(false);
  EXPECT_EQ(Column(ds_, "NAME").size(), 4u);
  ds_.Close();
  ds_.SetFilterOptions({true, false});
  ds_.SetFiltered(true);
  ds_.Open();
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "ann", "Annette"}));
  EXPECT_THROW(ds_.SetFilter("NAME"), EXbError);
}

TEST_F(DataSetTest, PackReportsItsProgressAndZapEmptiesTheTable) {
  Fill({"Ann", "Bob", "Cy"});
  ds_.SetRecNo(2);
  ds_.Delete();
  ds_.Close();
  std::vector<std::array<int, 3>> notices;
  ds_.OnStatus = [&](int a, int b, int c) { notices.push_back({a, b, c}); };
  ds_.SetExclusive(true);
  ds_.Open();
  ds_.Pack();
  EXPECT_EQ(Column(ds_, "NAME"), (std::vector<std::string>{"Ann", "Cy"}));
  ASSERT_GE(notices.size(), 3u);
  EXPECT_EQ(notices.front(), (std::array<int, 3>{-1, 6, 3}));
  EXPECT_EQ(notices[1][0], 6);
  EXPECT_EQ(notices.back(), (std::array<int, 3>{0, 0, 0}));
  ds_.Zap();
  EXPECT_EQ(ds_.RecordCount(), 0u);
  ds_.Close();
  ds_.SetExclusive(false);
  ds_.Open();
  EXPECT_THROW(ds_.Pack(), EXbError);  // needs the table to itself
}

TEST(DataSetMemo, MemoTextIsTranslatedRawAccessIsNot) {
  TempDir dir;
  BuildTable(dir, "NOTES.DBF", {{"ID", 'C', 4, 0}, {"NOTE", 'M', 10, 0}, {"QTY", 'N', 4, 0}});
  TXbDataSet ds;
  Bind(ds, dir, "NOTES");
  ds.Open();
  ds.Append();
  ds.FieldByName("ID").SetAsString("1");
  EXPECT_TRUE(ds.FieldByName("NOTE").IsNull());
  ds.FieldByName("NOTE").SetAsString("Caf\xE9 au lait");
  ds.SetRawFieldText("QTY", "7");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("NOTE").AsString(), "Caf\xE9 au lait");
  EXPECT_EQ(ds.ReadMemo("NOTE"), "Caf\x82 au lait");
  EXPECT_EQ(ds.MemoLength("NOTE"), 12u);
  EXPECT_EQ(ds.RawFieldText("QTY"), "   7");
  ds.Edit();
  ds.WriteMemo("NOTE", "raw \x82");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("NOTE").AsString(), "raw \xE9");
}

}  // namespace
}  // namespace fidora::test
