#include "net/socket_list.h"

#include <fmt/format.h>

#include "protocol/application_errors.h"
#include "protocol/status_log.h"

namespace fidora {

void TSocketFifo::DropUnread() {
  Clear();
  Block.Release();
  ScannedWithoutLf = 0;
}

void TSocketFifo::Disconnect(std::string_view reason) {
  DropUnread();
  if (!Connection) return;
  Connection->CloseConnection();
  StatusLog(fmt::format("Connection from {} closed: {}", Connection->ConnPeerAddress(), reason));
}

void TSocketFifo::ReleaseRecord() {
  RxTx.Request().Release();
  TLines().swap(RxTx.Reply());
}

TSocketFifo& TSocketList::AllocateSlot(int32_t handle) {
  if (TSocketFifo* slot = TryAllocateSlot(handle)) return *slot;
  throw EAssertionFailed("Out of memory when allocating sockets");
}

TSocketFifo* TSocketList::TryAllocateSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  for (TSocketFifo& slot : slots_) {
    if (slot.InUse || slot.Busy) continue;
    // No byte or reply of an earlier connection reaches this one.
    slot.DropUnread();
    TRxTx& rx = slot.RxTx;
    rx.Socket.reset();
    rx.PeerAddress.clear();
    rx.LineIndex = 0;
    rx.SendFileName.clear();
    rx.Request().clear();
    rx.Reply().clear();
    rx.StopWatch().Reset();
    rx.Parser().SetLine({});
    slot.Connection.reset();
    slot.ReceivedBytes = 0;
    slot.RequestsTaken = 0;
    slot.OwnerHandle = handle;
    slot.InUse = true;
    ++slot.Generation;
    uint8_t& remembered = Remembered(handle);
    if (remembered == 0 || !slots_[remembered - 1u].InUse ||
        slots_[remembered - 1u].OwnerHandle != handle)
      remembered = static_cast<uint8_t>(&slot - slots_.data() + 1);
    return &slot;
  }
  return nullptr;
}

void TSocketList::ReleaseSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  for (TSocketFifo& slot : slots_) {
    if (slot.InUse && slot.OwnerHandle == handle) {
      slot.InUse = false;
      Remembered(handle) = 0;
      slot.DropUnread();
      slot.Connection.reset();
      // A handler of this connection still running keeps its record; the dispatch loop gives
      // it back when that handler returns.
      if (!slot.Busy) {
        slot.RxTx.Socket.reset();
        slot.ReleaseRecord();
      }
      return;
    }
  }
  throw EAssertionFailed("Trying to deallocate a socket that does not exist.");
}

uint8_t& TSocketList::Remembered(int32_t handle) {
  if (handle < 0 || handle >= kRememberedHandles) return no_memory_ = 0;
  if (static_cast<size_t>(handle) >= remembered_.size())
    remembered_.resize(static_cast<size_t>(handle) + 1);
  return remembered_[static_cast<size_t>(handle)];
}

TSocketFifo* TSocketList::FindSlot(int32_t handle) {
  std::lock_guard guard(lock_);
  uint8_t& remembered = Remembered(handle);
  if (remembered != 0) {
    TSocketFifo& slot = slots_[remembered - 1u];
    if (slot.InUse && slot.OwnerHandle == handle) return &slot;
  }
  for (TSocketFifo& slot : slots_) {
    if (slot.InUse && slot.OwnerHandle == handle) {
      remembered = static_cast<uint8_t>(&slot - slots_.data() + 1);
      return &slot;
    }
  }
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
