#include "tables/record_lock.h"

#include <thread>

#include "engine/table/xb_dataset.h"
#include "tables/module_errors.h"

namespace fidora {

bool LockRecordWithRetry(TXbDataSet& dataset) {
  for (int attempt = 0; attempt < kRecordLockAttempts; ++attempt) {
    if (dataset.LockRecord()) return true;
    std::this_thread::sleep_for(kRecordLockPause);
  }
  return false;
}

bool RetryRecordLock(TXbDataSet& dataset) {
  if (!LockRecordWithRetry(dataset))
    throw EQORServer("Server Lock Failed in " + dataset.TableName());
  return true;
}

}  // namespace fidora
