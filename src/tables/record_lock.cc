#include "tables/record_lock.h"

#include "engine/dbf/lock_retry.h"
#include "engine/table/xb_dataset.h"
#include "tables/module_errors.h"

namespace fidora {

bool LockRecordWithRetry(TXbDataSet& dataset) {
  return RetryLock({kRecordLockAttempts, kRecordLockPause}, dataset.Io(),
                   [&] { return dataset.LockRecord(); });
}

bool RetryRecordLock(TXbDataSet& dataset) {
  if (!LockRecordWithRetry(dataset))
    throw EQORServer("Server Lock Failed in " + dataset.TableName());
  return true;
}

}  // namespace fidora
