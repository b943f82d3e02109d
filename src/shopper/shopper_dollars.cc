// SHOPPER DOLLARS: after a sale, the shopper's dollars are spent, the last purchase recorded
// and reward points of the shopper's club earned, whole rewards turning into shopper dollars;
// a pay-back without a sale is also logged as a deposit row of the purchase log.
#include <fmt/format.h>

#include "engine/dbf/dbf_date.h"
#include "protocol/field_helpers.h"
#include "protocol/money.h"
#include "shopper/column_money.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

constexpr std::string_view kName = "SHOPPER_Dollars";

struct TDollarsRequest {
  std::string number;
  TMoney amount;       // the purchase amount that counts for points
  TMoney spent;        // shopper dollars spent (positive) or paid back (negative)
  TMoney net;          // the sale's net value
  std::string docket;  // only for the deposit row
};

// The points after a sale of `amount` and the rewards they earn. The whole rewards leave the
// points; any fraction of a point stays.
struct TPointsResult {
  TMoney points;
  int64_t rewards = 0;
};

TPointsResult EarnPoints(TMoney points_before, TMoney amount, const ClubRewards& club) {
  TPointsResult result;
  if (club.PointsDivisor == 0) return result;  // no points club: the points start again at 0
  result.points = TMoney::AddQuotient(points_before, amount, club.PointsDivisor);
  if (club.RewardThreshold >= 1 && result.points >= TMoney::FromWhole(club.RewardThreshold)) {
    result.rewards = result.points.WholePart() / club.RewardThreshold;
    result.points = result.points - TMoney::FromWhole(club.RewardThreshold) * result.rewards;
  }
  return result;
}

// The purchase-log row of a pay-back without a sale, written before the shopper's record.
void LogDeposit(TXbDataSet& log, const TDollarsRequest& request, TMoney balance) {
  log.Open();
  log.Append();
  log.FieldByName("ACCOUNTNUM").SetAsString(request.number);
  log.FieldByName("PRODCODE").SetAsString("DEPOSIT");
  log.FieldByName("GROUP").SetAsInteger(99);
  log.FieldByName("SALEDATE").SetAsDate(TxDBFDate::Instance().Today());
  log.FieldByName("DESCRIPTIO").SetAsString("Recvd - Balance $" + balance.TwoDecimals());
  log.FieldByName("DOCKET").SetAsString(request.docket);
  SetColumnMoney(log, "AMOUNT", request.spent);
  log.FieldByName("QTY").SetAsInteger(1);
  log.Post();
  log.Close();
}

// Changes the current shopper record (in edit mode); true when rewards were earned.
bool ApplyDollars(TSDM& module, const TDollarsRequest& request) {
  TXbDataSet& shopper = module.tTracker;
  TMoney dollars = ColumnMoney(shopper, "DOLLAVAIL") - request.spent;
  bool rewarded = false;
  if (request.spent >= TMoney()) {
    const ClubRewards club = module.ReadClubRewards(shopper.FieldByName("CLUB").AsString());
    shopper.FieldByName("LST_PU_DTE").SetAsDate(TxDBFDate::Instance().Today());
    SetColumnMoney(shopper, "LST_PU_AMT", request.net);
    const TPointsResult points =
        EarnPoints(ColumnMoney(shopper, "TTL_PU_AMT"), request.amount, club);
    dollars = dollars + club.RewardDollars * points.rewards;
    rewarded = points.rewards > 0;
    SetColumnMoney(shopper, "TTL_PU_AMT", points.points);
  } else if (request.net == TMoney()) {
    LogDeposit(module.tTrackLog, request, dollars);
  }
  SetColumnMoney(shopper, "DOLLAVAIL", dollars);
  return rewarded;
}

}  // namespace

void TSDM::SHOPPER_Dollars(TRxTx& rx) {
  const TAwkParser& fields = rx.Parser();
  if (fields.FieldCount() < 6) {
    AddReply(rx, HandlerErrorLine("TSDM", kName, "Syntax Error - No Shopper ID or Dollar Amount"));
    return;
  }
  if (fields.FieldCount() > 7) {
    AddReply(rx, HandlerErrorLine("TSDM", kName, "Syntax Error - Excess parameters"));
    return;
  }
  RunInFrame(rx,
             {"TSDM", kName, TableNames({&tTracker, &tTrackLog}), {&tTracker, &tTrackLog, &tClub}},
             [&] {
               const TDollarsRequest request{fields.Field(3), TMoney::Parse(fields.Field(4)),
                                             TMoney::Parse(fields.Field(5)),
                                             TMoney::Parse(fields.Field(6)), fields.Field(7)};
               tTracker.SetIndexName("TRAKNUM");
               tTracker.Open();
               AddReply(rx,
                        "SHOPPER\xA6"
                        "DOLLARS\xA6" +
                            request.number);
               if (tTracker.Find(ShopperKey(request.number), true, false)) {
                 Data().RLock(tTracker);
                 tTracker.Edit();
                 if (ApplyDollars(*this, request)) AddReply(rx, "BONUS\xA6TRUE");
                 tTracker.Post();
                 tTracker.Unlock();
               }
               tTracker.Close();
               ReplyOK(rx);
             });
}

}  // namespace fidora
