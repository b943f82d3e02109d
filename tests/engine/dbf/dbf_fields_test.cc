// Field conversions and their error texts, as tables of cases; the date codec.
#include "engine/dbf/dbf_fields.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/dbf_number.h"
#include "engine/dbf/xb_error.h"
#include "support/temp_dir.h"
#include "support/xb_error_text.h"

namespace fidora {
namespace {

using test::ErrorOf;

// A table with one field of every kind, opened with a blank record in the buffer.
class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TDbfBuild b(dir_.dir() + "Sample");
    b.AddField("NAME", 'C', 10, 0);
    b.AddField("AMOUNT", 'N', 8, 2);
    b.AddField("COUNT", 'N', 4, 0);
    b.AddField("RATE", 'F', 6, 3);
    b.AddField("BORN", 'D', 0, 0);
    b.AddField("OK", 'L', 0, 0);
    b.AddField("NOTE", 'M', 0, 0);
    b.Build();
    t_ = std::make_unique<TDbfFields>(b.path(), true, true);
    t_->Open();
    t_->BlankRecord();
  }
  std::string Raw(const char* name) { return std::string(t_->FieldRaw(t_->FieldNo(name))); }
  void PutRaw(const char* name, const std::string& bytes) {
    t_->SetFieldRaw(t_->FieldNo(name), bytes);
  }

  test::TempDir dir_;
  std::unique_ptr<TDbfFields> t_;
};

TEST_F(FieldsTest, BlankRecordHoldsFormattedZeros) {
  EXPECT_EQ(Raw("AMOUNT"), "    0.00");
  EXPECT_EQ(Raw("COUNT"), "   0");
  EXPECT_EQ(Raw("RATE"), " 0.000");
  EXPECT_EQ(Raw("NAME"), std::string(10, ' '));
  EXPECT_EQ(Raw("BORN"), std::string(8, ' '));
  EXPECT_EQ(t_->GetNumber("AMOUNT"), 0);
  EXPECT_EQ(t_->GetDate("BORN"), 0);
  EXPECT_FALSE(t_->GetLogical("OK"));
  for (int i = 0; i <= t_->FieldCount(); ++i) EXPECT_TRUE(t_->modified(static_cast<size_t>(i)));
  EXPECT_FALSE(t_->IsDeleted());
}

TEST_F(FieldsTest, NumbersAreWrittenRightAlignedWithTheirDecimals) {
  struct Case {
    double value;
    const char* amount;  // N 8,2
    const char* count;   // N 4,0
  } cases[] = {
      {12.5, "   12.50", "  13"},   {-3.25, "   -3.25", "  -3"},  {2.675, "    2.68", "   3"},
      {-0.004, "    0.00", "   0"}, {9999.4, " 9999.40", "9999"}, {0.5, "    0.50", "   1"},
  };
  for (const Case& c : cases) {
    t_->SetNumber("AMOUNT", c.value);
    t_->SetNumber("COUNT", c.value);
    EXPECT_EQ(Raw("AMOUNT"), c.amount) << c.value;
    EXPECT_EQ(Raw("COUNT"), c.count) << c.value;
  }
  t_->SetNumber("AMOUNT", 1.5);
  EXPECT_EQ(ErrorOf([&] { t_->SetNumber("AMOUNT", 1234567.5); }),
            "numeric value too big in field AMOUNT - 1234567.50");
  EXPECT_EQ(Raw("AMOUNT"), "    1.50") << "a value that does not fit leaves the field alone";
  EXPECT_EQ(ErrorOf([&] { t_->SetNumber("COUNT", 99999); }),
            "numeric value too big in field COUNT - 99999");
}

TEST_F(FieldsTest, NumbersReadFromStoredText) {
  struct Case {
    const char* stored;
    double value;
  } good[] = {{"   12.50", 12.5}, {"        ", 0},    {"  -0.5  ", -0.5},
              {"1.5E2   ", 150},  {"     .25", 0.25}, {"+7      ", 7}};
  for (const Case& c : good) {
    PutRaw("AMOUNT", c.stored);
    EXPECT_DOUBLE_EQ(t_->GetNumber("AMOUNT"), c.value) << c.stored;
  }
  for (const char* bad : {"  12,50", "abc", "1.2.3", " - 4", "inf", "0x10"}) {
    PutRaw("AMOUNT", bad);
    EXPECT_EQ(ErrorOf([&] { t_->GetNumber("AMOUNT"); }),
              std::string("Invalid numeric value in field Sample->AMOUNT (") + bad + ")");
  }
  PutRaw("AMOUNT", "");
  EXPECT_EQ(t_->FieldText("AMOUNT"), "0.00") << "blank displays as the formatted zero";
  PutRaw("AMOUNT", "   12.50");
  EXPECT_EQ(t_->FieldText("AMOUNT"), "   12.50");
}

TEST_F(FieldsTest, TextIntoEachFieldType) {
  struct Case {
    const char* field;
    const char* text;
    const char* stored;  // nullptr: an error
    const char* error;
  } cases[] = {
      {"AMOUNT", "12.345", "   12.35", nullptr},
      {"AMOUNT", "", "    0.00", nullptr},
      {"AMOUNT", "  7 ", "    7.00", nullptr},
      {"AMOUNT", "twelve", nullptr, "Invalid Number value for field AMOUNT"},
      {"RATE", "1.0005", " 1.001", nullptr},
      {"BORN", "20240229", "20240229", nullptr},
      {"BORN", "25/12/2024", "20241225", nullptr},
      {"BORN", "1/2/99", "19990201", nullptr},
      {"BORN", "", "        ", nullptr},
      {"BORN", "00000000", "        ", nullptr},
      {"BORN", "31/02/2024", nullptr, "Invalid Date value for field BORN"},
      {"BORN", "soon", nullptr, "Invalid Date value for field BORN"},
      {"OK", "Y", "T", nullptr},
      {"OK", "j", "T", nullptr},
      {"OK", "n", "F", nullptr},
      {"OK", "", "F", nullptr},
      {"OK", "2", "T", nullptr},
      {"OK", "0", "F", nullptr},
      {"OK", "x", nullptr, "Invalid Logical value for field OK"},
      {"NAME", "Anna", "Anna      ", nullptr},
      {"NAME", "Bartholomew Jones", "Bartholome", nullptr},
  };
  for (const Case& c : cases) {
    PutRaw(c.field, "");
    const std::string before = Raw(c.field);
    const std::string error = ErrorOf([&] { t_->SetFieldText(c.field, c.text); });
    if (c.stored) {
      EXPECT_EQ(error, "(no error)") << c.field << " <- " << c.text;
      EXPECT_EQ(Raw(c.field), c.stored) << c.field << " <- " << c.text;
    } else {
      EXPECT_EQ(error, c.error) << c.field << " <- " << c.text;
      EXPECT_EQ(Raw(c.field), before) << "a failed write leaves the field alone";
    }
  }
}

TEST_F(FieldsTest, LogicalsReadTrueOnlyForTheYesLetters) {
  for (char c : std::string("TtYyJj")) {
    PutRaw("OK", std::string(1, c));
    EXPECT_TRUE(t_->GetLogical("OK")) << c;
    EXPECT_EQ(t_->FieldText("OK"), "T");
  }
  for (char c : std::string("FfNn ?1")) {
    PutRaw("OK", std::string(1, c));
    EXPECT_FALSE(t_->GetLogical("OK")) << c;
  }
}

TEST_F(FieldsTest, DatesReadAndDisplay) {
  struct Case {
    const char* stored;
    int64_t day;
    const char* display;
  } cases[] = {
      {"19800101", 2444240, "01/01/1980"},
      {"20240230", 2415019, "30/12/1899"},
      {"        ", 0, ""},
      {"00000000", 0, ""},
      {"20241225", 2460670, "25/12/2024"},
  };
  for (const Case& c : cases) {
    PutRaw("BORN", c.stored);
    EXPECT_EQ(t_->GetDate("BORN"), c.day) << c.stored;
    EXPECT_EQ(t_->FieldText("BORN"), c.display) << c.stored;
  }
  PutRaw("BORN", "2024-1-1");
  EXPECT_EQ(ErrorOf([&] { t_->GetDate("BORN"); }), "Invalid date in field Sample->BORN (2024-1-1)");
  EXPECT_EQ(ErrorOf([&] { t_->SetDate("BORN", -1); }), "Invalid Date value for field BORN");
  EXPECT_TRUE(t_->SetDate(t_->FieldNo("BORN"), 2444240));
  EXPECT_EQ(Raw("BORN"), "19800101");
  EXPECT_FALSE(t_->SetDate(t_->FieldNo("NAME"), 2444240)) << "not a D field: nothing done";
  EXPECT_EQ(Raw("NAME"), std::string(10, ' '));
}

TEST_F(FieldsTest, LookupAndTypeErrors) {
  EXPECT_EQ(t_->FieldIndex("amount  "), 2);
  EXPECT_EQ(t_->FieldIndex("Amount"), 2);
  EXPECT_EQ(t_->FieldIndex("NOPE"), 0);
  EXPECT_EQ(ErrorOf([&] { t_->FieldText("NOPE"); }),
            "There is no field name " + t_->path() + "->NOPE");
  EXPECT_EQ(ErrorOf([&] { t_->GetNumber("NAME"); }), "Field NAME is the incorrect type");
  EXPECT_EQ(ErrorOf([&] { t_->GetDate("AMOUNT"); }), "Field AMOUNT is the incorrect type");
  EXPECT_EQ(ErrorOf([&] { t_->SetLogical("NAME", true); }), "Field NAME is the incorrect type");
  EXPECT_EQ(ErrorOf([&] { t_->SetNumber(1, 5); }), "Field NAME is the incorrect type");
  EXPECT_EQ(ErrorOf([&] { t_->SetLogical(1, true); }), "Invalid Logical value for field NAME");
  // By number, any field reads as a number; numbers outside the range do nothing.
  t_->SetFieldText("NAME", "42");
  EXPECT_EQ(t_->GetNumber(1), 42);
  EXPECT_EQ(t_->FieldText(99), "");
  EXPECT_EQ(t_->GetNumber(0), 0);
  EXPECT_FALSE(t_->GetLogical(99));
  EXPECT_EQ(t_->FieldType(99), '\0');
}

TEST(DbfNumber, FormatAndParse) {
  EXPECT_EQ(FormatDbfNumber(1e15, 2), "1000000000000000.00");
  EXPECT_EQ(FormatDbfNumber(0.125, 2), "0.13");
  EXPECT_EQ(FormatDbfNumber(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatDbfNumber(99.995, 2), "100.00");
  EXPECT_EQ(FormatDbfNumber(-0.0, 0), "0");
  EXPECT_EQ(FormatDbfNumber(1.0 / 0.0, 2), std::nullopt);
  EXPECT_EQ(ParseDbfNumber(""), 0.0);
  EXPECT_EQ(ParseDbfNumber("1e"), std::nullopt);
}

TEST(DbfDate, Codec) {
  const TxDBFDate& c = TxDBFDate::Instance();
  EXPECT_EQ(TxDBFDate::EncodeDay(1980, 1, 1), 2444240);
  EXPECT_EQ(TxDBFDate::EncodeDay(1899, 12, 30), 2415019);
  EXPECT_EQ(TxDBFDate::EncodeDay(2023, 2, 29), -1);
  EXPECT_EQ(c.DayToField(2444240), "19800101");
  EXPECT_EQ(c.DayToField(0), "        ");
  EXPECT_EQ(c.DayToField(-5), "        ");
  EXPECT_EQ(c.DayToDisplay(0), std::string(10, ' '));
  EXPECT_EQ(c.DisplayFormat(), "DD/MM/YYYY");
  int64_t d = -7;
  EXPECT_TRUE(c.FieldToDay("20240230", &d));
  EXPECT_EQ(d, 2415019);
  EXPECT_FALSE(c.FieldToDay("garbage", &d));
  EXPECT_EQ(c.DayOfWeek(2444240), 3);  // a Tuesday
  EXPECT_EQ(c.DayOfWeek(0), 0);
  for (int64_t day = 2415019; day < 2415019 + 80000; day += 97) {
    int y, m, dd;
    TxDBFDate::DecodeDay(day, &y, &m, &dd);
    ASSERT_EQ(TxDBFDate::EncodeDay(y, m, dd), day);
  }
}

// Field text of every kind of day number: within the calendar the digits of year, month and
// day; outside it (the year below 1 or above 9999) the year as wide as it prints.
TEST(DbfDate, FieldTextOfDayNumbersInAndOutsideTheCalendar) {
  const TxDBFDate& c = TxDBFDate::Instance();
  EXPECT_EQ(c.DayToField(1721426), "00010101");
  EXPECT_EQ(c.DayToField(5373484), "99991231");
  EXPECT_EQ(c.DayToField(5373485), "100000101");
  EXPECT_EQ(c.DayToField(1), "-47131125");  // 25 November 4714 BC, year -4713
  for (int64_t day = 1; day < 5373484 + 1000; day += 13) {
    int y, m, d;
    TxDBFDate::DecodeDay(day, &y, &m, &d);
    ASSERT_EQ(c.DayToField(day), fmt::format("{:04d}{:02d}{:02d}", y, m, d)) << day;
  }
}

}  // namespace
}  // namespace fidora
