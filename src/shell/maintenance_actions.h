// The table maintenance that the window's "Data" menu runs. The shell fills it with the
// generic table module's routines; tests fill it with their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace fidora {

class TRxTx;

struct TMaintenanceActions {
  // The general reindex with progress (SendProgress) for `rx`, or for the operator only when
  // it is null. Returns the error text, empty on success.
  std::function<std::string(const TRxTx* rx)> reindex_general;
  // Deletes the purchase-log records dated before the day number `cutoff` and packs the
  // table, with progress for the operator. Throws the engine's errors.
  std::function<void(int64_t cutoff)> delete_old_records;
};

}  // namespace fidora
