#include "net/framing.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/application_errors.h"
#include "protocol/awk_parser.h"

namespace fidora {

namespace {

constexpr int64_t kMaxBlockLength = INT32_MAX;
// A request record that grew beyond this for one request gives its memory back afterwards.
constexpr size_t kKeepRecordBytes = 64 * 1024;

// Marks the slot Busy while its dispatch loop runs; when the loop ends on a slot whose
// connection has gone meanwhile, the record's memory goes back.
class TBusyMark {
 public:
  explicit TBusyMark(TSocketFifo& slot) : slot_(slot) { slot_.Busy = true; }
  ~TBusyMark() {
    slot_.Busy = false;
    if (!slot_.InUse) {
      slot_.RxTx.Socket.reset();
      slot_.ReleaseRecord();
    }
  }
  TBusyMark(const TBusyMark&) = delete;
  TBusyMark& operator=(const TBusyMark&) = delete;

 private:
  TSocketFifo& slot_;
};

void Consume(TSocketFifo& slot, int n) {
  slot.Read(nullptr, n);
  slot.ScannedWithoutLf = 0;
}

// Reads what the connection has (at most max_read bytes) into the slot's buffer; without a
// slot the bytes are read and dropped.
void TakeReceivedBytes(TSocketFifo* slot, TNetConnection& connection,
                       const TConnectionLimits& limits) {
  static thread_local std::vector<char> buffer;
  buffer.resize(static_cast<size_t>(limits.max_read));
  const int got = connection.ReadBytes(buffer.data(), limits.max_read);
  if (!slot || got <= 0) return;
  slot->Write(buffer.data(), got);
  slot->ReceivedBytes += static_cast<uint64_t>(got);
}

// Feeds the buffered payload bytes of the block being put together; true when it is whole.
bool FeedBlock(TSocketFifo& slot) {
  TBlockAssembly& block = slot.Block;
  while (block.Remaining() > 0 && slot.Available() > 0) {
    const int piece = static_cast<int>(std::min<int64_t>(block.Remaining(), slot.Available()));
    block.Feed(slot.PeekView(piece));
    Consume(slot, piece);
  }
  return block.Remaining() == 0;
}

// Cuts the next complete request into the slot's record. False when none is complete.
bool CutRequest(TSocketFifo& slot, const TConnectionLimits& limits) {
  TRequestLines& request = slot.RxTx.Request();
  for (;;) {
    if (slot.Block.Active()) {
      if (!FeedBlock(slot)) return false;
      slot.Block.Finish(request);
      return true;
    }
    const int b = slot.ScanFor('\n', slot.ScannedWithoutLf);
    if (b <= 0) {
      slot.ScannedWithoutLf = slot.Available();
      return false;
    }
    if (b <= 2) {  // LF alone, an empty CR LF line, or one byte and LF
      Consume(slot, b);
      continue;
    }
    const std::string_view line = slot.PeekView(b - 2);
    const int64_t length = BlockLength(line);
    if (length > 0) {
      slot.Block.Start(length, b, limits.max_unread);
      Consume(slot, b);
      continue;
    }
    request.clear();
    request.AddLine(line);
    Consume(slot, b);
    return true;
  }
}

void GiveBackLargeRecord(TSocketFifo& slot) {
  if (slot.RxTx.Request().MemoryBytes() > kKeepRecordBytes) slot.RxTx.Request().Release();
  TLines& reply = slot.RxTx.Reply();
  if (reply.capacity() * sizeof(std::string) > kKeepRecordBytes) TLines().swap(reply);
}

TReceiveResult ServeRequests(TSocketFifo& slot, TNetConnection& connection,
                             const TDispatchFunction& dispatch, const TConnectionLimits& limits) {
  const TBusyMark busy(slot);
  const uint64_t generation = slot.Generation;
  TReceiveResult result = TReceiveResult::Served;
  while (slot.InUse && slot.Generation == generation) {
    if (connection.UnsentBytes() > limits.max_unsent) {
      connection.Flush();
      if (connection.UnsentBytes() > limits.max_unsent) {
        result = TReceiveResult::Throttled;
        break;
      }
    }
    if (!CutRequest(slot, limits)) break;
    ++slot.RequestsTaken;
    try {
      dispatch(slot.RxTx);
    } catch (const std::exception& e) {
      HandleApplicationError("Net_Dispatch", e.what());
    }
    GiveBackLargeRecord(slot);
  }
  connection.FlushLater();
  return result;
}

}  // namespace

int64_t BlockLength(std::string_view header) {
  if (header.size() < 2 || header[0] != 'B' || header[1] != kFieldSeparator) return -1;
  std::string_view digits = header.substr(2);
  digits = digits.substr(0, digits.find(kFieldSeparator));
  if (digits.empty()) return -1;
  int64_t length = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    length = length * 10 + (c - '0');
    if (length > kMaxBlockLength) return -1;
  }
  return length > 0 ? length : -1;
}

TReceiveResult ReceiveEvent(TSocketList& list, const std::shared_ptr<TNetConnection>& connection,
                            const TDispatchFunction& dispatch, const TConnectionLimits& limits) {
  TSocketFifo* slot = list.FindSlot(connection->ConnHandle());
  TakeReceivedBytes(slot, *connection, limits);
  if (!slot) return TReceiveResult::Served;

  if (slot->RxTx.Socket != connection) {
    slot->RxTx.Socket = connection;
    slot->RxTx.PeerAddress = connection->ConnPeerAddress().substr(0, 20);
  }
  if (slot->Connection != connection) slot->Connection = connection;
  if (slot->Unread() > limits.max_unread) {
    slot->Disconnect(
        fmt::format("{} unread bytes exceed the limit of {}", slot->Unread(), limits.max_unread));
    return TReceiveResult::Served;
  }
  if (slot->Busy) return TReceiveResult::Busy;
  return ServeRequests(*slot, *connection, dispatch, limits);
}

}  // namespace fidora
