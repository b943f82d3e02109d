#include "tables/general_reindex.h"

#include <cmath>
#include <mutex>

#include "engine/table/xb_dataset.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "tables/data_module.h"
#include "tables/maintenance_events.h"
#include "tables/safe_pack.h"

namespace fidora {

namespace {

constexpr int kNoticesPerProgressLine = 5000;

// Turns the index builds' notices into percentage lines: every 5000th notice of a table shows
// how far the current build phase has come.
class TBuildProgress {
 public:
  TBuildProgress(TMaintenanceEvents& events, std::string label)
      : events_(events), label_(std::move(label)) {}

  void Notice(int stat1, int stat2, int stat3) {
    if (stat1 == -1) total_ = stat3;
    if (++notices_ < kNoticesPerProgressLine) return;
    notices_ = 0;
    const long percent = total_ > 0 ? std::lround(100.0 * stat2 / total_) : 0;
    events_.Progress("+" + label_ + " - " + std::to_string(percent) + "%");
  }

 private:
  TMaintenanceEvents& events_;
  std::string label_;
  int total_ = 0;
  int notices_ = 0;
};

// Packs one table and builds its index files. The table name is set after every point at which
// events may have run, since a request served meanwhile may have used tWork itself.
void ReindexTable(TDM& dm, const TGeneralIndexTable& table, TMaintenanceEvents& events,
                  bool silent) {
  TXbDataSet& work = dm.tWork;
  const std::string label = std::string("\t") + table.table;
  if (!silent) events.Progress(label);
  events.LetEventsRun();
  work.SetTableName(table.table);
  SafePack(work, true, events);
  work.SetTableName(table.table);
  work.Open();
  work.SetIndexFiles({});
  TBuildProgress progress(events, label);
  if (!silent) work.OnStatus = [&progress](int s1, int s2, int s3) { progress.Notice(s1, s2, s3); };
  for (const TGeneralIndex& index : table.indexes)
    work.IndexOn(index.file, "", index.key, "", false, true);
  work.OnStatus = nullptr;
  work.Close();
}

}  // namespace

const std::vector<TGeneralIndexTable>& GeneralIndexTables() {
  static const std::vector<TGeneralIndexTable> tables = {
      {"CLUB.DBF", {{"CLUB.NTX", "UPPER(CLUB)"}}},
      {"TRACKLOG.DBF",
       {{"TRACKLOG.NTX", "UPPER(ACCOUNTNUM)"},
        {"TRAKHIST.NTX", "(UPPER(ACCOUNTNUM)+DTOS(SALEDATE))"}}},
      {"TRACKER.DBF",
       {{"TRAKNUM.NTX", "UPPER(ACCOUNTNUM)"},
        {"TRAKNAME.NTX", "UPPER(SURNAME)"},
        {"TRAKFNAM.NTX", "UPPER(FIRSTNAME)"},
        {"TRAKADR1.NTX", "UPPER(ADDR1)"},
        {"TRAKADR2.NTX", "UPPER(ADDR2)"},
        {"TRAKPHON.NTX", "UPPER(PHONE)"}}},
  };
  return tables;
}

std::string ReindexGeneralData(TDM& dm, TMaintenanceEvents& events, bool silent) {
  if (!silent) events.Progress("Reindex General Data");
  const std::lock_guard lock(ServerLock());
  std::string current;
  try {
    for (const TGeneralIndexTable& table : GeneralIndexTables()) {
      current = table.table;
      ReindexTable(dm, table, events, silent);
    }
  } catch (const std::exception&) {
    dm.tWork.OnStatus = nullptr;
    if (dm.tWork.Active()) dm.tWork.Close();
    return "Failed to re-build index : " + current;
  }
  return {};
}

std::string DoReindex(TDM& dm, TMaintenanceEvents& events) {
  Operator().ClearLog();
  Operator().AddLogLine("Start Reindex");
  const std::string error = ReindexGeneralData(dm, events);
  Operator().AddLogLine("End Reindex");
  return error;
}

std::string ReindexAfterDeletion(TDM& dm, TMaintenanceEvents& events) {
  events.Progress("Reindexing...");
  const std::string error = ReindexGeneralData(dm, events);
  events.Progress("All done.");
  return error;
}

}  // namespace fidora
