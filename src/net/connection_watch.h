// TConnectionWatch: keeps the connections of both listeners within the server's bounds, beside
// the per-connection ones of the receive handler:
// - connections turned away because all slots are taken, or because they come from a machine
//   that is not an allowed terminal, are counted and reported with at most one status-log line
//   a minute for each reason;
// - a connection with an unfinished request or unsent replies that makes no progress for the
//   stall timeout is closed (progress: a request completed, or `progress_bytes` more of a long
//   request received or of its replies sent);
// - when the unread and queued bytes of all connections together pass the memory budget, the
//   connections holding the most are closed until the rest fits.
// Each closing writes a status-log line. The clock is handed in, so tests can move it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "net/connection_limits.h"
#include "net/socket_list.h"

namespace fidora {

using TClockTime = std::chrono::steady_clock::time_point;
using TClock = std::function<TClockTime()>;

class TConnectionWatch {
 public:
  static constexpr std::chrono::seconds kRefusalReportInterval{60};

  explicit TConnectionWatch(
      TSocketList& slot_list, TConnectionLimits limits = {},
      TClock clock = [] { return std::chrono::steady_clock::now(); });

  TSocketList& Slots() { return slots_; }
  const TConnectionLimits& Limits() const { return limits_; }

  // A connection from `peer` was closed at once because every slot was taken.
  void Refused(const std::string& peer);
  // A connection from `peer` was closed at once because `peer` is not an allowed terminal.
  void NotAllowed(const std::string& peer);
  // Closes the connections that made no progress for the stall timeout and reports refusals
  // whose minute is over. Called regularly (SweepInterval).
  void Sweep();
  // How often Sweep should run: once a second, or more often for a short stall timeout.
  std::chrono::milliseconds SweepInterval() const;
  // Closes the connections holding the most until all connections together hold no more than
  // the budget. Cheap when `slot` (the connection just served) holds nothing.
  void EnforceBudget(const TSocketFifo& slot);

  uint64_t RefusedCount() const { return slots_full_.total; }
  uint64_t NotAllowedCount() const { return not_allowed_.total; }

 private:
  struct TMark {
    uint64_t generation = 0;
    bool pending = false;
    TClockTime since{};
    uint64_t received = 0;
    uint64_t requests = 0;
    uint64_t sent = 0;
  };
  // Connections refused for one reason, reported at most once a minute.
  struct TRefusals {
    explicit TRefusals(std::string why) : reason(std::move(why)) {}
    std::string reason;
    uint64_t total = 0;
    uint64_t unreported = 0;
    std::string last_peer;
    bool reported_once = false;
    TClockTime last_report{};
  };
  static void Count(TRefusals& refusals, const std::string& peer, TClockTime now);
  static void Report(TRefusals& refusals, TClockTime now);
  bool Stalled(TSocketFifo& slot, TMark& mark, TClockTime now) const;
  static int64_t Holding(const TSocketFifo& slot);

  TSocketList& slots_;
  TConnectionLimits limits_;
  TClock clock_;
  std::array<TMark, TSocketList::kSlotCount> marks_{};
  TRefusals slots_full_;
  TRefusals not_allowed_;
};

}  // namespace fidora
