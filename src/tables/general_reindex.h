// The general reindex ("Reindex General Data"): packs the three tables of the frequent-shopper
// service that have index files, keeping at least one record in each, and builds every one of
// their NTX files anew with its fixed key expression, through the module's dataset tWork. The
// REINDEX command, the operator's menu, the structure check, the index check at start and the
// table tool's reindex-general all run it.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class TDM;
class TMaintenanceEvents;

struct TGeneralIndex {
  const char* file;
  const char* key;
};

struct TGeneralIndexTable {
  const char* table;
  std::vector<TGeneralIndex> indexes;
};

// CLUB.DBF, TRACKLOG.DBF and TRACKER.DBF with their index files, in build order.
const std::vector<TGeneralIndexTable>& GeneralIndexTables();

// Runs the general reindex, holding ServerLock, and returns "" on success or
// "Failed to re-build index : " + the table at which it stopped (the tables after it are not
// processed). Unless silent, progress goes to the events: "Reindex General Data", then per
// table a TAB and its name, and on every 5000th notice of the index builds "+" TAB name
// " - " percent "%". Events are let run once per table, before it is packed; tWork is closed
// again afterwards on every path.
std::string ReindexGeneralData(TDM& dm, TMaintenanceEvents& events, bool silent = false);

// The operator's reindex and the REINDEX command: the operator's log pane is cleared and the
// run framed by "Start Reindex" and "End Reindex". Returns the reindex's error text.
std::string DoReindex(TDM& dm, TMaintenanceEvents& events);

// The reindex that follows a deletion of old records: "Reindexing...", the general reindex,
// "All done.". Returns the reindex's error text (the operator's menu does not show it).
std::string ReindexAfterDeletion(TDM& dm, TMaintenanceEvents& events);

}  // namespace fidora
