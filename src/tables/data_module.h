// TDM: the generic table module. It holds the table-creation component and the two
// datasets without a fixed table that the generic DBF commands and the maintenance work use,
// the record-lock helper with retry that every service calls, and the DBF command family.
#pragma once

#include <vector>

#include "engine/table/xb_create_dataset.h"
#include "engine/table/xb_dataset.h"
#include "protocol/rx_tx.h"

namespace fidora {

class TDM {
 public:
  // Every table of the module goes through `io`, which must outlive the module.
  explicit TDM(FileIo& io);
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

  // Binds tGeneric and tWork to ServerSettings().DataPath (dataset_binding.h).
  void SetDataPath();

  // Locks the dataset's current record: up to 100 attempts 50 ms apart. After the last
  // refusal writes "TDM.RLock - Failed on " + TableName to the status log and raises
  // EDataModule "Ostra Pos Failed to lock record in " + TableName.
  bool RLock(TXbDataSet& dataset);

  // The DBF family (field style): READ, APPEND and HELP.
  void DBF(TRxTx& rx);
  // DBF¦READ¦table, with optional FILTER=, FIELDS= and RECNO=1 lines: the table's records
  // (at most 997 of them) in record order.
  void DBF_Read(TRxTx& rx);
  // DBF¦APPEND¦table, [INDEX=name,...], DATA, the column line, one line per record, ¦DATA.
  void DBF_Append(TRxTx& rx);

  FileIo& Io() const { return tGeneric.Io(); }

  // The module's datasets in component order.
  std::vector<TXbDataSet*> DataSets() { return {&tGeneric, &tWork}; }

  TCreateXbDataSet tCreate;  // DBFType Clipper, AutoOverwrite false, DBFTable tWork
  TXbDataSet tGeneric;
  TXbDataSet tWork;
};

// The module of the running server; nullptr until the shell has created it.
TDM* DM();
void SetDM(TDM* module);

}  // namespace fidora
