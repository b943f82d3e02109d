#include "tables/safe_pack.h"

#include "engine/table/xb_dataset.h"
#include "tables/maintenance_events.h"

namespace fidora {

namespace {
constexpr char kCaption[] = "Safe Pack Failed";
}  // namespace

bool SafePack(TXbDataSet& dataset, bool keep_one_record, TMaintenanceEvents& events) {
  if (dataset.Active()) {
    events.Message("Open table can not be packed - Table " + dataset.TableName(), kCaption);
    return false;
  }
  dataset.SetExclusive(true);
  try {
    dataset.Open();
    dataset.Pack();
    if (keep_one_record && dataset.RecordCount() == 0) {
      dataset.Append();
      dataset.Post();
    }
    dataset.Close();
    dataset.SetExclusive(false);
    return true;
  } catch (const std::exception&) {
    // Left closed, so that the caller can open it again, shared.
    dataset.Close();
    dataset.SetExclusive(false);
    events.Message("Could not get exclusive access to " + dataset.TableName(), kCaption);
    return false;
  }
}

}  // namespace fidora
