// TSDM: the frequent-shopper module. It owns the datasets of the shopper service's tables,
// each made with its table, index files and default order.
#pragma once

#include <vector>

#include "engine/table/xb_dataset.h"

namespace fidora {

class TSDM {
 public:
  TSDM();
  TSDM(const TSDM&) = delete;
  TSDM& operator=(const TSDM&) = delete;

  // Binds every dataset to ServerSettings().DataPath (tables/dataset_binding.h).
  void SetDataPath();

  // The module's datasets in declaration order.
  std::vector<TXbDataSet*> DataSets();

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
};

// The module of the running server; nullptr until the shell has created it.
TSDM* SDM();
void SetSDM(TSDM* module);

}  // namespace fidora
