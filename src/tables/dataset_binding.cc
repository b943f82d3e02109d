#include "tables/dataset_binding.h"

#include "engine/table/xb_dataset.h"
#include "protocol/operator_view.h"

namespace fidora {

void ApplyModuleSettings(TXbDataSet& dataset) {
  dataset.SetDatabaseName("POSPATH");
  dataset.SetExclusive(false);
  dataset.SetLockProtocol(TxLokProtocol::ClipLock);
  dataset.SetTranslateASCII(true);
  dataset.SetUseDeleted(false);
  dataset.SetAutoFlush(false);
  dataset.SetLargeIntegerAs(TxIntFields::asInteger);
  dataset.SetUserID(0);
}

void BindToDataPath(const std::vector<TXbDataSet*>& datasets, const std::string& data_path) {
  for (TXbDataSet* dataset : datasets) {
    if (dataset->Active()) {
      Operator().ShowInfo("Table unexpectedly found open : " + dataset->TableName(),
                          "SetDataPath in DATA");
      dataset->Close();
    }
    dataset->SetDatabaseName(data_path);
  }
}

}  // namespace fidora
