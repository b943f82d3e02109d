#include "tables/old_records.h"

#include <algorithm>

#include "engine/table/xb_dataset.h"
#include "tables/maintenance_events.h"

namespace fidora {

namespace {

// One progress line per 256 deletions.
constexpr uint32_t kProgressMask = 0xFF;

void DeleteUntil(TXbDataSet& log, int64_t cutoff_day, TMaintenanceEvents& events) {
  events.Progress("Deleting records...");
  const uint64_t total = std::max<uint64_t>(log.RecordCount(), 1);
  TXbField& sale_date = log.FieldByName("saledate");
  uint32_t i = 0;
  for (log.First(); !log.Eof(); ++i) {
    if (sale_date.AsDate() >= cutoff_day) break;
    log.Delete();
    if ((i & kProgressMask) == 0)
      events.Progress("+\t" + std::to_string(i * uint64_t{100} / total + 1) + "%");
  }
}

}  // namespace

void DeleteOldRecords(const std::string& database_name, int64_t cutoff_day,
                      TMaintenanceEvents& events) {
  TXbDataSet log;
  log.SetDatabaseName(database_name);
  log.SetTableName("tracklog.dbf");
  log.SetExclusive(true);
  log.Open();
  DeleteUntil(log, cutoff_day, events);
  events.Progress("Packing...");
  log.Pack();
  log.Close();
}

}  // namespace fidora
