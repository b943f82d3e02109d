// TSocketList: the 200 connection slots, made once and reused. A slot (TSocketFifo) is the
// receive buffer of one connection together with its request record; it is found by the
// connection's socket handle. Each operation holds the list's lock. A slot's memory goes back
// when its connection closes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "net/block_assembly.h"
#include "net/fifo.h"
#include "net/net_connection.h"
#include "protocol/rx_tx.h"

namespace fidora {

class TSocketFifo : public TFifo {
 public:
  bool InUse = false;
  int32_t OwnerHandle = 0;
  TRxTx RxTx;

  // A request of this slot is being dispatched; its next request waits until that returns.
  bool Busy = false;
  // Counts the connections that took the slot, so a dispatch notices that its own went away.
  uint64_t Generation = 0;
  // Leading unread bytes already known to hold no LF (saves rescanning a long line).
  int ScannedWithoutLf = 0;
  // A block request whose payload is arriving.
  TBlockAssembly Block;
  // The connection that holds the slot.
  std::shared_ptr<TNetConnection> Connection;
  // Counted for the stall watch: bytes received and requests taken since the slot was taken.
  uint64_t ReceivedBytes = 0;
  uint64_t RequestsTaken = 0;

  // Bytes of the connection not dispatched yet: the buffer and a block being put together.
  int64_t Unread() const { return Available() + Block.HeldBytes(); }
  // Forgets the unread bytes and gives their memory back.
  void DropUnread();
  // Drops the unread bytes, closes the connection and writes "Connection from <peer> closed: "
  // and the reason to the status log.
  void Disconnect(std::string_view reason);
  // Gives back the memory of the request record's lines.
  void ReleaseRecord();
};

class TSocketList {
 public:
  static constexpr int kSlotCount = 200;

  // Takes the first free slot (1 to 200), empties its buffer and record, and gives it to the
  // handle. A slot whose dispatch is still running is not free. EAssertionFailed
  // "Out of memory when allocating sockets" when every slot is taken.
  TSocketFifo& AllocateSlot(int32_t handle);
  // AllocateSlot, or nullptr when every slot is taken.
  TSocketFifo* TryAllocateSlot(int32_t handle);
  // Frees the slot of the handle and gives its buffers back (the request record's lines once
  // a dispatch still running on it has returned). EAssertionFailed
  // "Trying to deallocate a socket that does not exist." when it has none.
  void ReleaseSlot(int32_t handle);
  // The slot in use by the handle, or nullptr. Usually found at once: the list remembers which
  // slot each handle took.
  TSocketFifo* FindSlot(int32_t handle);

  // Slot number n, 1 to 200.
  TSocketFifo& Slot(int n) { return slots_.at(static_cast<size_t>(n - 1)); }
  int SlotsInUse();

 private:
  static constexpr int32_t kRememberedHandles = 1 << 16;
  uint8_t& Remembered(int32_t handle);  // slot number + 1 the handle took last, 0 for none

  std::mutex lock_;
  std::array<TSocketFifo, kSlotCount> slots_;
  std::vector<uint8_t> remembered_;  // by handle, below kRememberedHandles
  uint8_t no_memory_ = 0;            // stands in for handles beyond them
};

TSocketList& SocketList();

}  // namespace fidora
