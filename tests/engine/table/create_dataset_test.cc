// Creating tables from field definition lines, and the question before an overwrite.
#include <gtest/gtest.h>

#include <filesystem>

#include "dataset_fixture.h"
#include "engine/dbf/dbf_file.h"
#include "engine/table/dataset_error.h"
#include "engine/table/engine_questions.h"
#include "engine/table/xb_create_dataset.h"

namespace fidora::test {
namespace {

class RecordingQuestions : public TxEngineQuestions {
 public:
  explicit RecordingQuestions(bool answer) : answer_(answer) { SetEngineQuestions(this); }
  ~RecordingQuestions() override { SetEngineQuestions(nullptr); }
  bool ConfirmOkCancel(std::string_view message, std::string_view) override {
    asked.emplace_back(message);
    return answer_;
  }
  std::vector<std::string> asked;

 private:
  bool answer_;
};

struct Fixture {
  TempDir dir;
  TXbDataSet table;
  TCreateXbDataSet create;
  Fixture() {
    Bind(table, dir, "NEW.DBF");
    create.DBFTable = &table;
  }
};

TEST(CreateDataSet, BuildsTheFieldsInOrderAndOpensTheTable) {
  Fixture f;
  f.create.CreateFields = {"EXP_DATE;D;8;0", "NUMBER;C;16;0", "AMOUNT;N;8;2", "NOTE;M;10;0",
                           "big;C;300;0"};
  ASSERT_TRUE(f.create.Execute());
  ASSERT_TRUE(f.table.Active());
  TDataSetHandler& h = *f.table.Handler();
  ASSERT_EQ(h.FieldCount(), 5);
  EXPECT_EQ(h.FieldName(1), "EXP_DATE");
  EXPECT_EQ(h.FieldType(3), 'N');
  EXPECT_EQ(h.FieldLength(3), 8u);
  EXPECT_EQ(h.FieldDecimals(3), 2u);
  EXPECT_EQ(h.FieldName(5), "BIG");
  EXPECT_EQ(h.FieldLength(5), 300u);
  EXPECT_TRUE(std::filesystem::exists(f.dir / "NEW.dbt"));
}

TEST(CreateDataSet, MalformedFieldListsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},                             // empty
      {"EXP_DATE;D;8"},               // three parts, no decimals
      {"NAME;C;10;0", "name;N;4;0"},  // a name used twice (upper case)
      {";C;10;0"},                    // no name
      {"NAME;CH;10;0"},               // two type letters
      {"NAME;;10;0"},                 // no type letter
      {"NAME;C;ten;0"},               // length not a number
      {"NAME;C;10;x"},                // decimals not a number
      {"NAME;N;8;2;3"},               // the decimals part reads "2;3"
      {"NAME;C;-1;0"},                // negative length
  };
  for (const auto& fields : bad) {
    Fixture f;
    f.create.CreateFields = fields;
    try {
      f.create.Execute();
      ADD_FAILURE() << "accepted " << (fields.empty() ? "(none)" : fields[0]);
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), "Field list is invalid");
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir / "NEW.DBF"));
  }
  Fixture f;
  f.create.CreateFields = {"N;N;8;002"};  // up to three characters of decimals
  EXPECT_TRUE(f.create.Execute());
}

TEST(CreateDataSet, ItsPreconditionsHaveTheirMessages) {
  TCreateXbDataSet alone;
  try {
    alone.Execute();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "A table is not assigned to this object");
  }
  Fixture f;
  f.create.CreateFields = {"A;C;1;0"};
  ASSERT_TRUE(f.create.Execute());
  try {
    f.create.Execute();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on an open table");
  }
}

TEST(CreateDataSet, AnExistingTableIsReplacedOnlyWhenAllowed) {
  Fixture f;
  f.create.CreateFields = {"OLD;C;5;0"};
  ASSERT_TRUE(f.create.Execute());
  AppendValues(f.table, {{"OLD", "keep"}});
  f.table.Close();
  f.create.CreateFields = {"NEW;C;5;0"};
  {
    // Without an operator (headless) the answer is Cancel: nothing is touched.
    EXPECT_FALSE(f.create.Execute());
    RecordingQuestions cancel(false);
    EXPECT_FALSE(f.create.Execute());
    EXPECT_EQ(cancel.asked, std::vector<std::string>{"Table exists.  Do you want to overwrite?"});
    f.table.Open();
    EXPECT_EQ(f.table.FieldByName("OLD").AsString(), "keep");
    f.table.Close();
  }
  {
    RecordingQuestions ok(true);
    EXPECT_TRUE(f.create.Execute());
    EXPECT_EQ(ok.asked.size(), 1u);
    EXPECT_NE(f.table.FindField("NEW"), nullptr);
    EXPECT_EQ(f.table.RecordCount(), 0u);
    f.table.Close();
  }
  RecordingQuestions never(false);
  f.create.AutoOverwrite = true;
  f.create.CreateFields = {"THIRD;C;5;0"};
  EXPECT_TRUE(f.create.Execute());
  EXPECT_TRUE(never.asked.empty());
  EXPECT_NE(f.table.FindField("THIRD"), nullptr);
}

}  // namespace
}  // namespace fidora::test
