// The frequent-shopper module on the demo shop: every dataset of the catalogue opens in the
// data directory with its index files and default order, and finds what the services seek.
#include "shopper/shopper_module.h"

#include <filesystem>

#include "demo_fixture.h"
#include "engine/table/xb_dataset.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "tables/data_module.h"

namespace fidora::test {
namespace {

class ShopperModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDemoShop(dir_.dir());
    ServerSettings().DataPath = dir_.dir();
    sdm_.SetDataPath();
  }
  void TearDown() override { ServerSettings().DataPath.clear(); }

  TempDir dir_;
  TDM dm_{SystemFileIo()};
  TSDM sdm_{dm_};
};

TEST_F(ShopperModuleTest, TheShopperTableOpensInTheDataDirectoryWithItsSixIndexFiles) {
  TXbDataSet& t = sdm_.tTracker;
  t.Open();
  EXPECT_EQ(t.Handler()->path(), dir_.dir() + "TRACKER.DBF");
  ASSERT_EQ(t.Handler()->TagCount(), 6);
  EXPECT_EQ(t.Handler()->TagByNumber(1)->TagName(), "TRAKNAME");
  EXPECT_EQ(t.Handler()->MasterTag(), nullptr);  // no default order: record order
  EXPECT_EQ(t.RecNo(), 1u);
  t.SetIndexName("TRAKNUM");
  ASSERT_TRUE(t.Find("1200            ", true, false));
  EXPECT_EQ(t.FieldByName("ACCOUNTNUM").AsString(), "1200");
  // The columns the services read and write, with the types they expect.
  for (const char* name : {"TITLE", "FIRSTNAME", "SURNAME", "CLUB", "ADDR1", "ADDR2", "PHONE",
                           "DELIVERY", "EMAIL", "OFFER"})
    EXPECT_EQ(t.FieldByName(name).DataType(), TxFieldType::String) << name;
  for (const char* name : {"DOLLAVAIL", "LST_PU_AMT", "TTL_PU_AMT"})
    EXPECT_EQ(t.FieldByName(name).DataType(), TxFieldType::Float) << name;
  EXPECT_EQ(t.FieldByName("LST_PU_NUM").DataType(), TxFieldType::Integer);
  EXPECT_EQ(t.FieldByName("OFFRITEM").DataType(), TxFieldType::SmallInt);
  EXPECT_EQ(t.FieldByName("LST_PU_DTE").DataType(), TxFieldType::Date);
  EXPECT_EQ(t.FieldByName("EXP_DATE").DataType(), TxFieldType::Date);
  EXPECT_EQ(t.RecordCount(), 300u);
  t.Close();
  EXPECT_EQ(t.IndexName(), "TRAKNUM");  // the order stays selected after closing
}

TEST_F(ShopperModuleTest, EveryDatasetOpensWithItsDefaultOrder) {
  // The stock lookup names the product and stock tables per store.
  sdm_.tPlu.SetTableName("plu__01");
  sdm_.tPlu.SetIndexList("PSTCD01.ntx", "PSTCD01");
  sdm_.tStock.SetTableName("stock01_");
  sdm_.tStock.SetIndexList("STCOD01_.ntx", "STCOD01_");
  for (TXbDataSet* ds : sdm_.DataSets()) {
    SCOPED_TRACE(ds->TableName());
    ASSERT_NO_THROW(ds->Open());
    EXPECT_EQ(ds->Handler()->TagCount(), static_cast<int>(ds->IndexFiles().size()));
    const TNtxTag* master = ds->Handler()->MasterTag();
    EXPECT_EQ(master ? master->TagName() : std::string(), [&] {
      std::string upper = ds->IndexName();
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return upper;
    }());
    EXPECT_EQ(ds->LockProtocol(), TxLokProtocol::ClipLock);
    EXPECT_TRUE(ds->TranslateASCII());
    ds->Close();
  }
  TXbDataSet& debtors = sdm_.tDebtors;
  debtors.Open();
  EXPECT_TRUE(debtors.Find("D007", true, false));
  EXPECT_EQ(debtors.FieldByName("ACCOUNTNUM").AsString(), "D007");
  debtors.Close();
  TXbDataSet& settings = sdm_.tMorvex;
  settings.Open();
  ASSERT_TRUE(settings.Locate("SECTION", {TFieldValue("FreqShop:AutoGenNumber")}));
  EXPECT_EQ(settings.FieldByName("VALUE").AsString(), "1");
  settings.Close();
  TXbDataSet& stock = sdm_.tStock;
  stock.Open();
  EXPECT_TRUE(stock.Find("9300001000017", true, false));
  EXPECT_GT(stock.FieldByName("TOTALSTOCK").AsFloat(), -1);
  stock.Close();
}

TEST_F(ShopperModuleTest, HistoryRowsComeByShopperAndDate) {
  TXbDataSet& log = sdm_.tTrackLog;
  log.SetIndexName("TRAKHIST");
  log.Open();
  ASSERT_TRUE(log.Find("1004", false, true));
  int rows = 0;
  int64_t last = 0;
  for (; !log.Eof() && log.FieldByName("ACCOUNTNUM").AsString() == "1004"; log.Next()) {
    EXPECT_GE(log.FieldByName("SALEDATE").AsDate(), last);
    last = log.FieldByName("SALEDATE").AsDate();
    ++rows;
  }
  EXPECT_GT(rows, 0);
  log.Close();
}

TEST_F(ShopperModuleTest, ADatasetFoundOpenIsReportedAndClosed) {
  struct View : TOperatorView {
    std::vector<std::string> shown;
    void ShowInfo(std::string_view m, std::string_view c) override {
      shown.push_back(std::string(c) + "|" + std::string(m));
    }
  } view;
  SetOperator(&view);
  sdm_.tTracker.Open();
  sdm_.SetDataPath();
  SetOperator(nullptr);
  EXPECT_EQ(view.shown, std::vector<std::string>{
                            "SetDataPath in DATA|Table unexpectedly found open : TRACKER.DBF"});
  for (TXbDataSet* ds : sdm_.DataSets()) EXPECT_FALSE(ds->Active()) << ds->TableName();
}

}  // namespace
}  // namespace fidora::test
