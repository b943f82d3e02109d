// The deletion run of old purchase-log records: every record of TRACKLOG.DBF dated before a
// cut-off day is deleted, from the first record on, and the table is packed. The log is kept in
// the order the sales were recorded, so the run stops at the first record on or after the day.
// The operator's "Delete old records" dialog and `fidora-dbf delete-old` run it; both follow it
// with ReindexAfterDeletion (general_reindex.h), since the pack leaves the log's index files
// behind.
#pragma once

#include <cstdint>
#include <string>

namespace fidora {

class TMaintenanceEvents;

// Opens "tracklog.dbf" of the directory `database_name` exclusively, without index files, and
// deletes and packs as above. Progress: "Deleting records...", then "+" TAB and
// (i × 100 div record count + 1) "%" before the 1st, 257th, 513th, ... deletion, then
// "Packing...". A record without a sale date counts as older than any day. Engine errors
// (another program has the log open: "Access denied to file ...") are raised; the table is
// closed on every path.
void DeleteOldRecords(const std::string& database_name, int64_t cutoff_day,
                      TMaintenanceEvents& events);

}  // namespace fidora
