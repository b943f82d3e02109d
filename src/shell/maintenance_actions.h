// The table maintenance that the window's "&Data" menu runs. The shell fills it with the
// generic table module's routines (operator_window.cc, TableMaintenance); tests fill it with
// their own. Progress reaches the operator's log pane through the operator view.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace fidora {

struct TMaintenanceActions {
  // The operator's reindex (DoReindex without a request): the log pane cleared, the general
  // reindex framed by "Start Reindex" and "End Reindex". Returns the error text, empty on
  // success.
  std::function<std::string()> reindex;
  // Deletes the purchase-log records dated before the day number `cutoff` and packs the
  // table. Throws the engine's errors.
  std::function<void(int64_t cutoff)> delete_old_records;
  // What follows a deletion: "Reindexing...", the general reindex, "All done.". Its error text
  // is not shown.
  std::function<void()> reindex_after_deletion;
};

}  // namespace fidora
