#include "net/socket_list.h"

#include "protocol/application_errors.h"

namespace fidora {

TSocketFifo& TSocketList::AllocateSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  for (TSocketFifo& slot : slots_) {
    if (slot.InUse || slot.Busy) continue;
    // No byte or reply of an earlier connection reaches this one.
    slot.Clear();
    slot.ScannedWithoutLf = 0;
    TRxTx& rx = slot.RxTx;
    rx.Socket.reset();
    rx.PeerAddress.clear();
    rx.LineIndex = 0;
    rx.SendFileName.clear();
    rx.Request().clear();
    rx.Reply().clear();
    rx.StopWatch().Reset();
    rx.Parser().SetLine({});
    slot.OwnerHandle = handle;
    slot.InUse = true;
    ++slot.Generation;
    return slot;
  }
  throw EAssertionFailed("Out of memory when allocating sockets");
}

void TSocketList::ReleaseSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  for (TSocketFifo& slot : slots_) {
    if (slot.InUse && slot.OwnerHandle == handle) {
      slot.InUse = false;
      return;
    }
  }
  throw EAssertionFailed("Trying to deallocate a socket that does not exist.");
}

TSocketFifo* TSocketList::FindSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  for (TSocketFifo& slot : slots_)
    if (slot.InUse && slot.OwnerHandle == handle) return &slot;
  return nullptr;
}

int TSocketList::SlotsInUse() {
  std::lock_guard guard(lock_);
  int count = 0;
  for (const TSocketFifo& slot : slots_) count += slot.InUse ? 1 : 0;
  return count;
}

TSocketList& SocketList() {
  static TSocketList list;
  return list;
}

}  // namespace fidora
