// TCritical: named locks, one name per table file, taken all at once. Names are compared
// without regard to case; several names are given as one text separated by the field
// separator (an empty field is an empty name). Not re-entrant: entering a name this thread
// already holds waits for ever. Holders must leave on every path and must not let events run.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

class TCritical {
 public:
  static constexpr std::chrono::milliseconds kPollInterval{20};

  // Waits, polling every 20 ms, until none of the names is held, then holds all of them.
  void Enter(std::string_view names);
  // Takes all the names when none is held; false (nothing taken) otherwise.
  bool TryEnter(std::string_view names);
  // Gives back one occurrence of each name that is held.
  void Leave(std::string_view names);

  std::vector<std::string> Held() const;

 private:
  mutable std::mutex lock_;
  std::vector<std::string> held_;  // upper-cased; duplicates allowed
};

TCritical& TableLocks();

// Holds the names of TableLocks() for its lifetime.
class TTableLockGuard {
 public:
  explicit TTableLockGuard(std::string names) : names_(std::move(names)) {
    TableLocks().Enter(names_);
  }
  ~TTableLockGuard() { TableLocks().Leave(names_); }
  TTableLockGuard(const TTableLockGuard&) = delete;
  TTableLockGuard& operator=(const TTableLockGuard&) = delete;

 private:
  std::string names_;
};

}  // namespace fidora
