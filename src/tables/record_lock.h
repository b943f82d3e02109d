// Record locks with retry: up to 100 attempts of the dataset's LockRecord, 50 ms apart.
// TDM.RLock (data_module.h) adds the status-log line; RetryRecordLock is the voucher
// service's variant.
#pragma once

#include <chrono>

namespace fidora {

class TXbDataSet;

inline constexpr int kRecordLockAttempts = 100;
inline constexpr std::chrono::milliseconds kRecordLockPause{50};

// True once the current record is locked; false after the last refused attempt.
bool LockRecordWithRetry(TXbDataSet& dataset);

// Locks the current record or raises EQORServer "Server Lock Failed in " + TableName.
bool RetryRecordLock(TXbDataSet& dataset);

}  // namespace fidora
