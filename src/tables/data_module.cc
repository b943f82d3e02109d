#include "tables/data_module.h"

#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "tables/dataset_binding.h"
#include "tables/module_errors.h"
#include "tables/record_lock.h"

namespace fidora {

namespace {
TDM* current_module = nullptr;
}  // namespace

TDM* DM() {
  return current_module;
}
void SetDM(TDM* module) {
  current_module = module;
}

TDM::TDM(FileIo& io) : tGeneric(io), tWork(io) {
  ApplyModuleSettings(tGeneric);
  ApplyModuleSettings(tWork);
  tCreate.DBFType = TxDBFTypes::Clipper;
  tCreate.AutoOverwrite = false;
  tCreate.DBFTable = &tWork;
}

void TDM::SetDataPath() {
  BindToDataPath(DataSets(), ServerSettings().DataPath);
}

bool TDM::RLock(TXbDataSet& dataset) {
  if (LockRecordWithRetry(dataset)) return true;
  try {
    StatusLog("TDM.RLock - Failed on " + dataset.TableName());
  } catch (const std::exception&) {
    // The lock failure is what the caller must hear of, not a log that cannot be written.
  }
  throw EDataModule("Ostra Pos Failed to lock record in " + dataset.TableName());
}

}  // namespace fidora
