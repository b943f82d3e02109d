#include "net/connection_watch.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "protocol/status_log.h"

namespace fidora {

TConnectionWatch::TConnectionWatch(TSocketList& slot_list, TConnectionLimits limits, TClock clock)
    : slots_(slot_list),
      limits_(std::move(limits)),
      clock_(std::move(clock)),
      slots_full_(fmt::format("all {} connection slots are in use", TSocketList::kSlotCount)),
      not_allowed_("not an allowed terminal address") {}

void TConnectionWatch::Refused(const std::string& peer) {
  Count(slots_full_, peer, clock_());
}

void TConnectionWatch::NotAllowed(const std::string& peer) {
  Count(not_allowed_, peer, clock_());
}

void TConnectionWatch::Count(TRefusals& refusals, const std::string& peer, TClockTime now) {
  ++refusals.total;
  ++refusals.unreported;
  refusals.last_peer = peer;
  Report(refusals, now);
}

void TConnectionWatch::Report(TRefusals& refusals, TClockTime now) {
  if (refusals.unreported == 0) return;
  if (refusals.reported_once && now - refusals.last_report < kRefusalReportInterval) return;
  if (refusals.unreported == 1) {
    StatusLog(fmt::format("Connection from {} refused: {}", refusals.last_peer, refusals.reason));
  } else {
    StatusLog(fmt::format("{} connections refused, the last from {}: {}", refusals.unreported,
                          refusals.last_peer, refusals.reason));
  }
  refusals.unreported = 0;
  refusals.reported_once = true;
  refusals.last_report = now;
}

std::chrono::milliseconds TConnectionWatch::SweepInterval() const {
  return std::clamp(limits_.stall_timeout / 4, std::chrono::milliseconds(50),
                    std::chrono::milliseconds(1000));
}

bool TConnectionWatch::Stalled(TSocketFifo& slot, TMark& mark, TClockTime now) const {
  const TNetConnection& connection = *slot.Connection;
  const bool pending = !slot.Busy && (slot.Unread() > 0 || connection.UnsentBytes() > 0);
  const bool progress = mark.generation != slot.Generation || slot.RequestsTaken != mark.requests ||
                        slot.ReceivedBytes - mark.received >= uint64_t(limits_.progress_bytes) ||
                        connection.BytesSent() - mark.sent >= uint64_t(limits_.progress_bytes);
  if (!pending || !mark.pending || progress) {
    mark = {slot.Generation,       pending, now, slot.ReceivedBytes, slot.RequestsTaken,
            connection.BytesSent()};
    return false;
  }
  return now - mark.since >= limits_.stall_timeout;
}

void TConnectionWatch::Sweep() {
  const TClockTime now = clock_();
  for (int n = 1; n <= TSocketList::kSlotCount; ++n) {
    TSocketFifo& slot = slots_.Slot(n);
    if (!slot.InUse || !slot.Connection) continue;
    TMark& mark = marks_[static_cast<size_t>(n - 1)];
    if (!Stalled(slot, mark, now)) continue;
    const int64_t unread = slot.Unread();
    const int64_t unsent = slot.Connection->UnsentBytes();
    slot.Disconnect(fmt::format("no progress for {} s ({} bytes unread, {} bytes unsent)",
                                limits_.stall_timeout.count() / 1000, unread, unsent));
    mark = {};
  }
  Report(slots_full_, now);
  Report(not_allowed_, now);
}

int64_t TConnectionWatch::Holding(const TSocketFifo& slot) {
  return slot.Unread() + (slot.Connection ? slot.Connection->BufferedBytes() : 0);
}

void TConnectionWatch::EnforceBudget(const TSocketFifo& slot) {
  if (Holding(slot) == 0) return;
  int64_t total = 0;
  for (int n = 1; n <= TSocketList::kSlotCount; ++n) {
    const TSocketFifo& each = slots_.Slot(n);
    if (each.InUse) total += Holding(each);
  }
  std::vector<TSocketFifo*> closed;
  while (total > limits_.memory_budget) {
    TSocketFifo* largest = nullptr;
    int64_t most = 0;
    for (int n = 1; n <= TSocketList::kSlotCount; ++n) {
      TSocketFifo& each = slots_.Slot(n);
      if (!each.InUse || !each.Connection) continue;
      if (std::find(closed.begin(), closed.end(), &each) != closed.end()) continue;
      if (Holding(each) > most) {
        most = Holding(each);
        largest = &each;
      }
    }
    if (!largest) break;
    largest->Disconnect(fmt::format(
        "it held {} bytes while all connections held {}, more than the memory budget of {}", most,
        total, limits_.memory_budget));
    closed.push_back(largest);
    total -= most;
  }
}

}  // namespace fidora
