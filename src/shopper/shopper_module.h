// TSDM: the frequent-shopper module. It owns the datasets of the shopper service's tables,
// each made with its table, index files and default order, and answers the command families
// SHOPPER, CLUB, VOUCHER, DEBTOR and STOCK.
//
// Every handler checks its request's shape, then does its work in the handler frame
// (tables/handler_frame.h), which holds the handler's table-name locks, turns errors into
// "STAT¦TSDM.<handler> - <message>" and closes the tables on every path. A new handler is a
// member function here, a row in its family's table (shopper_families.cc) and a frame around
// its work; handlers that wait for a record lock call Data().RLock first.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/table/xb_dataset.h"
#include "protocol/rx_tx.h"
#include "shopper/shopper_lookups.h"

namespace fidora {

class TDM;

class TSDM {
 public:
  // `dm` is the generic module, whose record-lock helper the handlers use and whose I/O the
  // datasets share; it must outlive this.
  explicit TSDM(TDM& dm);
  TSDM(const TSDM&) = delete;
  TSDM& operator=(const TSDM&) = delete;

  // Binds every dataset to ServerSettings().DataPath (tables/dataset_binding.h).
  void SetDataPath();

  // The module's datasets in declaration order.
  std::vector<TXbDataSet*> DataSets();

  // ---- command families ----
  void SHOPPER(TRxTx& rx);  // field style
  void CLUB(TRxTx& rx);     // token style
  void VOUCHER(TRxTx& rx);  // token style
  void DEBTOR(TRxTx& rx);   // field style
  void STOCK(TRxTx& rx);    // token style

  // ---- SHOPPER handlers ----
  void SHOPPER_Seq(TRxTx& rx);      // SHOPPER¦SEQ¦number: the next purchase number
  void SHOPPER_Read(TRxTx& rx);     // SHOPPER¦READ [FILTER=...]: every shopper's record
  void SHOPPER_ReadEx(TRxTx& rx);   // SHOPPER¦READEX¦number: one shopper's record
  void SHOPPER_Summary(TRxTx& rx);  // SHOPPER¦SUMMARY: number and name of every shopper
  void SHOPPER_History(TRxTx& rx);  // SHOPPER¦HISTORY¦number¦count: the newest dockets
  void SHOPPER_Dollars(TRxTx& rx);  // SHOPPER¦DOLLARS¦number¦amt¦fs¦net[¦docket]
  // SHOPPER¦APPEND¦note and SHOPPER¦EDIT¦note, then accountnum=number and NAME=value lines:
  // a new shopper (accountnum=AUTO: numbered by NextAutoNumber) or changed columns.
  void SHOPPER_Append(TRxTx& rx);
  void SHOPPER_Edit(TRxTx& rx);
  // SHOPPER¦EDIT_NUMBER¦old¦new¦clerk: the shopper, its sales, lay-bys and purchase-log rows
  // move to the new number; the change log gets a row.
  void SHOPPER_EditNumber(TRxTx& rx);
  // SHOPPER¦OFFER¦SINGLE¦number¦delta, ¦RESET, ¦ADJUST¦ratio: the offer counters.
  void SHOPPER_Offer(TRxTx& rx);

  // ---- CLUB handlers ----
  void CLUB_Summary(TRxTx& rx);  // CLUB¦SUMMARY: code and description of every club

  // ---- VOUCHER handlers (their errors leave the handler: no reply is sent) ----
  void VOUCHER_Add(TRxTx& rx);     // VOUCHER¦ADD¦number[¦amount]: add, or ask the balance
  void VOUCHER_Unused(TRxTx& rx);  // VOUCHER¦UNUSED: every voucher with a value left

  // ---- DEBTOR handlers ----
  void DEBTOR_DBalance(TRxTx& rx);     // DEBTOR¦DBALANCE¦number¦delta[¦SELL|PAY¦amount¦date]
  void DEBTOR_Oper_Detail(TRxTx& rx);  // DEBTOR¦OPER_DETAIL, header and lines blocks: an invoice

  // ---- STOCK handlers (their errors leave the handler: no reply is sent) ----
  void STOCK_Look(TRxTx& rx);  // STOCK¦LOOK¦code: the product's stock in every store

  // ---- lookups shared by the handlers ----
  // Scans the open shopper dataset from its first record, in its current order and filter,
  // for ACCOUNTNUM equal to `number` (both trimmed and upper-cased); the found record stays
  // current.
  bool LocateShopper(const std::string& number);
  // The same scan of the open club dataset on CLUB.
  bool LocateClub(const std::string& code);
  // The reward parameters of a club (all zero for an unknown club). Opens and closes the club
  // dataset; takes no table-name lock.
  ClubRewards ReadClubRewards(const std::string& code);
  // The first free shopper number at or above the settings' start (1 by default), up to
  // 999999, when the settings allow automatic numbering; nullopt otherwise. The shopper
  // dataset must be open in the order TRAKNUM; the settings table is opened and closed.
  std::optional<std::string> NextAutoNumber();

  TDM& Data() { return dm_; }

  TXbDataSet tTracker;           // TRACKER.DBF, six index files
  TXbDataSet tTrackLog;          // TRACKLOG.DBF
  TXbDataSet tClub;              // CLUB.DBF
  TXbDataSet tVouchers;          // VOUCHERS.DBF
  TXbDataSet tStorList;          // Storlist.dbf
  TXbDataSet tPlu;               // a store's product table, named per store
  TXbDataSet tDebtors;           // DEBTORS.DBF, order ACCTNUM
  TXbDataSet tStock;             // a store's stock table, named per store
  TXbDataSet tInvHead;           // INVHEAD.DBF, order InvNumHD
  TXbDataSet tInvLine;           // INVLINE.DBF, order INVNUMLN
  TXbDataSet tLaybyHead;         // LAYBYHED.DBF, order LYBNUMHD
  TXbDataSet tPosHead;           // POSHEAD.DBF, order POSNUMHD
  TXbDataSet tTrackerChangeLog;  // TRACKCHLOG.DBF
  TXbDataSet tMorvex;            // Morvex.DBF, the settings table

 private:
  TDM& dm_;
};

// The module of the running server; nullptr until the shell has created it.
TSDM* SDM();
void SetSDM(TSDM* module);

}  // namespace fidora
