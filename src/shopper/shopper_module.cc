#include "shopper/shopper_module.h"

#include <cstdint>
#include <string>

#include "protocol/server_settings.h"
#include "tables/data_module.h"
#include "tables/dataset_binding.h"

namespace fidora {

namespace {

TSDM* current_module = nullptr;

void Setup(TXbDataSet& dataset, const std::string& table, std::vector<std::string> index_files,
           const std::string& order = "") {
  ApplyModuleSettings(dataset);
  dataset.SetTableName(table);
  dataset.SetIndexFiles(index_files);
  dataset.SetIndexName(order);
}

// A column value as a 32-bit whole number (rounded); larger values are an error.
int32_t WholeNumber(const TXbField& field) {
  const int64_t value = field.AsInteger();
  if (value < INT32_MIN || value > INT32_MAX) throw EIntOverflow();
  return static_cast<int32_t>(value);
}

}  // namespace

TSDM* SDM() {
  return current_module;
}
void SetSDM(TSDM* module) {
  current_module = module;
}

TSDM::TSDM(TDM& dm)
    : tTracker(dm.Io()),
      tTrackLog(dm.Io()),
      tClub(dm.Io()),
      tVouchers(dm.Io()),
      tStorList(dm.Io()),
      tPlu(dm.Io()),
      tDebtors(dm.Io()),
      tStock(dm.Io()),
      tInvHead(dm.Io()),
      tInvLine(dm.Io()),
      tLaybyHead(dm.Io()),
      tPosHead(dm.Io()),
      tTrackerChangeLog(dm.Io()),
      tMorvex(dm.Io()),
      dm_(dm) {
  Setup(tTracker, "TRACKER.DBF",
        {"TRAKNAME.NTX", "TRAKNUM.NTX", "TRAKPHON.NTX", "TRAKFNAM.NTX", "TRAKADR2.NTX",
         "TRAKADR1.NTX"});
  Setup(tTrackLog, "TRACKLOG.DBF", {"TRACKLOG.NTX", "TRAKHIST.NTX"});
  Setup(tClub, "CLUB.DBF", {"CLUB.NTX"});
  Setup(tVouchers, "VOUCHERS.DBF", {});
  Setup(tStorList, "Storlist.dbf", {});
  Setup(tPlu, "Storlist.dbf", {});
  Setup(tDebtors, "DEBTORS.DBF", {"ACCTNUM.ntx", "SHRTNME.ntx", "LONGNAME.ntx"}, "ACCTNUM");
  Setup(tStock, "STOCK10_.DBF", {});
  Setup(tInvHead, "INVHEAD.DBF",
        {"InvNumHD.NTX", "InvDate1.NTX", "INVOICES.NTX", "ALLOwing.NTX", "DORDERNO.NTX"},
        "InvNumHD");
  Setup(tInvLine, "INVLINE.DBF", {"INVNUMLN.NTX"}, "INVNUMLN");
  Setup(tLaybyHead, "LAYBYHED.DBF", {"LYBDATE1.NTX", "LYBNUMHD.NTX"}, "LYBNUMHD");
  Setup(tPosHead, "POSHEAD.DBF", {"POSDATE1.NTX", "POSNUMHD.NTX", "LAYBYACC.NTX"}, "POSNUMHD");
  Setup(tTrackerChangeLog, "TRACKCHLOG.DBF", {});
  Setup(tMorvex, "Morvex.DBF", {});
}

std::vector<TXbDataSet*> TSDM::DataSets() {
  return {&tTracker,          &tTrackLog, &tClub,    &tVouchers, &tStorList,  &tPlu,
          &tDebtors,          &tStock,    &tInvHead, &tInvLine,  &tLaybyHead, &tPosHead,
          &tTrackerChangeLog, &tMorvex};
}

void TSDM::SetDataPath() {
  BindToDataPath(DataSets(), ServerSettings().DataPath);
}

bool TSDM::LocateShopper(const std::string& number) {
  return LocateByColumn(tTracker, "ACCOUNTNUM", number);
}

bool TSDM::LocateClub(const std::string& code) {
  return LocateByColumn(tClub, "CLUB", code);
}

ClubRewards TSDM::ReadClubRewards(const std::string& code) {
  ClubRewards rewards;
  tClub.Open();
  try {
    if (LocateClub(code)) {
      rewards.PointsDivisor = WholeNumber(tClub.FieldByName("CLUBPTS"));
      rewards.RewardThreshold = WholeNumber(tClub.FieldByName("CLUBREWRD"));
      rewards.RewardDollars = TMoney::FromDouble(tClub.FieldByName("CLUBDOLL").AsFloat());
    }
  } catch (...) {
    tClub.Close();
    throw;
  }
  tClub.Close();
  return rewards;
}

}  // namespace fidora
