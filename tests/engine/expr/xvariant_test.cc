// TxVariant: conversions between its kinds and the key comparison.
#include "engine/expr/xvariant.h"

#include <gtest/gtest.h>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_registry.h"
#include "engine/expr/rtl_error.h"

namespace fidora {
namespace {

TxVariant Text(const std::string& s) {
  TxVariant v;
  v.SetText(s);
  return v;
}
TxVariant Number(double d) {
  TxVariant v;
  v.SetNumber(d);
  return v;
}
TxVariant Day(std::int32_t d) {
  TxVariant v;
  v.SetDayNumber(d);
  return v;
}
TxVariant Logical(bool b) {
  TxVariant v;
  v.SetLogical(b);
  return v;
}
TxVariant Raw(const std::string& s) {
  TxVariant v;
  v.SetRaw(s);
  return v;
}

TEST(TxVariantConvert, AsText) {
  EXPECT_EQ(Number(12.5).AsText(), "12.5");
  EXPECT_EQ(Number(100).AsText(), "100");
  EXPECT_EQ(Number(-0.25).AsText(), "-0.25");
  EXPECT_EQ(Number(1.0 / 3).AsText(), "0.333333333333333");
  EXPECT_EQ(Number(123456789012345.0).AsText(), "123456789012345");
  EXPECT_EQ(Number(1e15).AsText(), "1E15");
  EXPECT_EQ(Number(1e20).AsText(), "1E20");
  EXPECT_EQ(Number(0.0001).AsText(), "0.0001");
  EXPECT_EQ(Number(0.000015).AsText(), "0.000015");
  EXPECT_EQ(Number(0.0000015).AsText(), "1.5E-6");
  EXPECT_EQ(Day(2460310).AsText(), "31/12/2023");
  EXPECT_EQ(Day(0).AsText(), "          ");
  EXPECT_EQ(Logical(true).AsText(), "T");
  EXPECT_EQ(Logical(false).AsText(), "F");
  EXPECT_EQ(Text("ab ").AsText(), "ab ");
  EXPECT_EQ(TxVariant().AsText(), "");
}

TEST(TxVariantConvert, AsNumberDayNumberLogical) {
  EXPECT_EQ(Text(" 12.5 ").AsNumber(), 12.5);
  EXPECT_EQ(Text("-1e3").AsNumber(), -1000);
  try {
    Text("12AB").AsNumber();
    FAIL() << "no error";
  } catch (const ERunTimeError& e) {
    EXPECT_STREQ(e.what(), "'12AB' is not a valid floating point value");
  }
  EXPECT_EQ(Day(2460310).AsNumber(), 2460310);
  EXPECT_EQ(Logical(true).AsNumber(), 1);
  EXPECT_EQ(Raw(std::string(reinterpret_cast<const char*>(&kPi), 8)).AsNumber(), kPi);

  EXPECT_EQ(Text("20231231").AsDayNumber(), 2460310);
  EXPECT_EQ(Text("31/12/2023").AsDayNumber(), 2460310);
  EXPECT_EQ(Text("        ").AsDayNumber(), 0);
  EXPECT_EQ(Number(20231231.7).AsDayNumber(), 2460310);  // read back as yyyymmdd
  EXPECT_THROW(Text("31.12.2023").AsDayNumber(), ERunTimeError);

  for (const char* yes : {"T", "t", "Y", "y", "J", "j", "Yes"})
    EXPECT_TRUE(Text(yes).AsLogical()) << yes;
  for (const char* no : {"F", "N", "", " T", "1"}) EXPECT_FALSE(Text(no).AsLogical()) << no;
  EXPECT_TRUE(Number(2).AsLogical());
  EXPECT_TRUE(Number(-1.5).AsLogical());
  EXPECT_FALSE(Number(0.5).AsLogical());  // integer part 0
  EXPECT_TRUE(Logical(true).AsLogical());
}

TEST(TxVariantEdit, PadTrimUpperAppend) {
  TxVariant v = Text("ab");
  v.PadText(5);
  EXPECT_EQ(v.bytes(), "ab   ");
  v.PadText(2);  // never shortens
  EXPECT_EQ(v.length(), 5u);
  v.UpperCaseText();
  EXPECT_EQ(v.bytes(), "AB   ");
  v.TrimText();
  EXPECT_EQ(v.bytes(), "AB");
  v.AppendRaw("\x01\x02");
  EXPECT_EQ(v.kind(), TxVariant::Kind::Raw);
  EXPECT_EQ(v.bytes(), "AB\x01\x02");
  TxVariant copy;
  copy.Assign(v);
  EXPECT_EQ(copy.bytes(), v.bytes());
  v.Clear();
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(copy.kind(), TxVariant::Kind::Raw);
}

TEST(TxVariantCompare, Texts) {
  struct Case {
    const char* a;
    const char* b;
    int order;
    size_t position;
  } cases[] = {
      {"ABC", "ABD", -1, 2}, {"ABD", "ABC", 1, 2},    {"AB", "AB", 0, 2},
      {"AB ", "AB", 0, 3},  // a blank stands in where the second has ended
      {"ABC", "AB", 1, 2},   {"AB\x01", "AB", -1, 2}, {"AB", "AB ", -1, 2},  // proper prefix
      {"\xE9", "z", 1, 0},  // bytes compare unsigned
  };
  for (const Case& c : cases) {
    const auto r = Text(c.a).Compare(Text(c.b));
    EXPECT_EQ(r.order, c.order) << c.a << " / " << c.b;
    EXPECT_EQ(r.position, c.position) << c.a << " / " << c.b;
  }
  // With partial result 0 a searched prefix counts as equal to the longer stored key.
  EXPECT_EQ(Text("SM").Compare(Text("SMITH"), 0).order, 0);
  EXPECT_EQ(Text("SM").Compare(Text("SMITH"), -1).order, -1);
  EXPECT_EQ(Text("SX").Compare(Text("SMITH"), 0).order, 1);
}

TEST(TxVariantCompare, EmptyValuesAndOtherKinds) {
  EXPECT_EQ(Text("").Compare(Text("")).order, 0);
  EXPECT_EQ(Text("").Compare(Text("A")).order, -1);
  EXPECT_EQ(Text("A").Compare(Text("")).order, 1);
  EXPECT_EQ(TxVariant().Compare(Number(1)).order, -1);  // emptiness before the kinds
  EXPECT_EQ(Number(1.5).Compare(Number(2)).order, -1);
  EXPECT_EQ(Number(-1).Compare(Number(-1)).order, 0);
  EXPECT_EQ(Day(2460311).Compare(Day(2460310)).order, 1);
  EXPECT_EQ(Logical(true).Compare(Logical(false)).order, 1);
  EXPECT_EQ(Logical(false).Compare(Logical(true)).order, -1);
  EXPECT_EQ(Logical(true).Compare(Logical(true)).order, 0);
  EXPECT_EQ(Raw("AB").Compare(Raw("ABC")).order, -1);
  EXPECT_EQ(Raw("AC").Compare(Raw("ABC")).order, 1);
  EXPECT_EQ(Raw("AB ").Compare(Text("AB")).order, 0);  // raw takes the other side's kind
  EXPECT_EQ(Number(2).Compare(Raw(Number(2).bytes())).order, 0);
  try {
    Text("1").Compare(Number(1));
    FAIL() << "no error";
  } catch (const EXbError& e) {
    EXPECT_STREQ(e.what(), "Variant types mismatch for compare");
  }
  EXPECT_THROW(Day(1).Compare(Number(1)), EXbError);
}

}  // namespace
}  // namespace fidora
