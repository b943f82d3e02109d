// Text given to fields that are not strings, and the OEM <-> ANSI translation of the tables.
#include <gtest/gtest.h>

#include "dataset_fixture.h"
#include "engine/dbf/dbf_date.h"
#include "engine/table/dataset_error.h"
#include "engine/table/oem_ansi.h"

namespace fidora::test {
namespace {

struct ConversionCase {
  const char* field;
  const char* text;
  const char* stored;  // nullptr: the conversion fails
};

// NUM N 4 0 (small integer), QTY N 9 0 (integer), AMOUNT N 10 2 (float), DAY D, OK L,
// NAME C 8.
const ConversionCase kCases[] = {
    {"AMOUNT", "12.5", "     12.50"},
    {"AMOUNT", "  -0.125 ", "     -0.13"},
    {"AMOUNT", "1e3", "   1000.00"},
    {"AMOUNT", "+7", "      7.00"},
    {"AMOUNT", "", nullptr},
    {"AMOUNT", "   ", nullptr},
    {"AMOUNT", "1,000.00", nullptr},
    {"AMOUNT", "$5", nullptr},
    {"AMOUNT", "12,5", nullptr},
    {"AMOUNT", "abc", nullptr},
    {"AMOUNT", "inf", nullptr},
    {"NUM", "42", "  42"},
    {"NUM", "2.5", "   2"},  // halves go to the even neighbour
    {"NUM", "3.5", "   4"},
    {"NUM", "-7", "  -7"},
    {"NUM", "99999", nullptr},  // beyond a small integer
    {"QTY", "123456789", "123456789"},
    {"QTY", "1.4", "        1"},
    {"QTY", "x1", nullptr},
    {"OK", "True", "T"},
    {"OK", "false", "F"},
    {"OK", " TRUE ", "T"},
    {"OK", "0", "F"},
    {"OK", "-2", "T"},
    {"OK", "yes", nullptr},
    {"OK", "", nullptr},
    {"DAY", "01/02/2021", "20210201"},
    {"DAY", "1/2/21", "20210201"},
    {"DAY", "29/02/2024", "20240229"},
    {"DAY", "30/02/2024", nullptr},
    {"DAY", "2021-02-01", nullptr},
    {"DAY", "", nullptr},
    {"NAME", "Ann Lee and more", "Ann Lee "},  // cut to the field
    {"NAME", "", "        "},
};

TEST(FieldConversion, TextToEachValueType) {
  TempDir dir;
  BuildTable(dir, "CONV.DBF",
             {{"NUM", 'N', 4, 0},
              {"QTY", 'N', 9, 0},
              {"AMOUNT", 'N', 10, 2},
              {"DAY", 'D', 8, 0},
              {"OK", 'L', 1, 0},
              {"NAME", 'C', 8, 0}});
  TXbDataSet ds;
  Bind(ds, dir, "CONV");
  ds.Open();
  ds.Append();
  for (const ConversionCase& c : kCases) {
    TXbField& field = ds.FieldByName(c.field);
    field.Clear();
    const std::string before = ds.RawFieldText(c.field);
    if (c.stored) {
      EXPECT_NO_THROW(field.SetAsString(c.text)) << c.field << " <- '" << c.text << "'";
      EXPECT_EQ(ds.RawFieldText(c.field), c.stored) << c.field << " <- '" << c.text << "'";
    } else {
      EXPECT_THROW(field.SetAsString(c.text), EVariantError) << c.field << " <- '" << c.text << "'";
      EXPECT_EQ(ds.RawFieldText(c.field), before) << "the field keeps its value";
    }
  }
  ds.Cancel();
}

TEST(FieldConversion, ValuesOfOtherTypesAndTheirTexts) {
  TempDir dir;
  BuildTable(
      dir, "CONV.DBF",
      {{"NUM", 'N', 4, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}, {"NAME", 'C', 12, 0}});
  TXbDataSet ds;
  Bind(ds, dir, "CONV");
  ds.Open();
  ds.Append();
  ds.FieldByName("AMOUNT").SetAsFloat(10.0);
  EXPECT_EQ(ds.FieldByName("AMOUNT").AsString(), "10");
  ds.FieldByName("NUM").SetAsFloat(2.5);
  EXPECT_EQ(ds.FieldByName("NUM").AsInteger(), 2);
  ds.FieldByName("DAY").SetAsDate(TxDBFDate::EncodeDay(2021, 2, 1));
  EXPECT_EQ(ds.FieldByName("DAY").AsString(), "01/02/2021");
  ds.FieldByName("NAME").SetValue(TFieldValue(12.5));
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "12.5");
  ds.FieldByName("NAME").SetValue(TFieldValue(true));
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "True");
  try {
    ds.FieldByName("AMOUNT").SetValue(TFieldValue(TDayNumber{2459247}));
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Date) into type (Double)");
  }
  ds.Post();
}

// Every Latin-1 letter code page 437 has comes back unchanged; the others keep their base
// letter. Either way the stored byte is the OEM one other programs expect.
TEST(OemTranslation, LatinLettersRoundTrip) {
  const std::string in437 =
      "\xC4\xC5\xC6\xC7\xC9\xD1\xD6\xDC\xDF\xE0\xE1\xE2\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED"
      "\xEE\xEF\xF1\xF2\xF3\xF4\xF6\xF9\xFA\xFB\xFC\xFF";
  EXPECT_EQ(OemToAnsi(AnsiToOem(in437)), in437);
  EXPECT_EQ(AnsiToOem("\xE9\xFC\xC7"), "\x82\x81\x80");
  const std::string lacking =
      "\xC0\xC1\xC2\xC3\xC8\xCA\xCB\xCC\xCD\xCE\xCF\xD2\xD3\xD4\xD5\xD8"
      "\xD9\xDA\xDB\xDD\xE3\xF5\xF8\xFD";
  EXPECT_EQ(AnsiToOem(lacking), "AAAAEEEIIIIOOOOOUUUYaooy");
  // Drawing characters become ASCII look-alikes; none becomes the protocol's field
  // separator "\xA6", which Windows' own best fit would give the vertical line.
  EXPECT_EQ(OemToAnsi("\xB3\xC4\xDA\xB0"), "|-+#");
  for (int b = 0x80; b < 0x100; ++b) EXPECT_NE(OemToAnsiChar(static_cast<char>(b)), '\xA6') << b;
  const std::string ascii = "Plain ASCII text 0123456789 ~!@#$%^&*()";
  EXPECT_EQ(AnsiToOem(ascii), ascii);
  EXPECT_EQ(OemToAnsi(ascii), ascii);
}

TEST(OemTranslation, TheDatasetStoresOemAndShowsAnsiUnlessSwitchedOff) {
  TempDir dir;
  BuildTable(dir, "T.DBF", {{"NAME", 'C', 10, 0}});
  TXbDataSet ds;
  Bind(ds, dir, "T");
  ds.Open();
  AppendValues(ds, {{"NAME", "Jos\xE9"}});
  EXPECT_EQ(ds.RawFieldText("NAME"), "Jos\x82      ");
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "Jos\xE9");
  ds.Close();
  ds.SetTranslateASCII(false);
  ds.Open();
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "Jos\x82");
}

}  // namespace
}  // namespace fidora::test
