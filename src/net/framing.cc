#include "net/framing.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/application_errors.h"
#include "protocol/awk_parser.h"
#include "protocol/status_log.h"

namespace fidora {

namespace {

constexpr int64_t kMaxBlockLength = INT32_MAX;

// Clears the slot's Busy mark when the dispatch loop ends, however it ends.
class TBusyMark {
 public:
  explicit TBusyMark(TSocketFifo& slot) : slot_(slot) { slot_.Busy = true; }
  ~TBusyMark() { slot_.Busy = false; }
  TBusyMark(const TBusyMark&) = delete;
  TBusyMark& operator=(const TBusyMark&) = delete;

 private:
  TSocketFifo& slot_;
};

std::string PeekText(const TFifo& fifo, int n) {
  std::string text(static_cast<size_t>(n), '\0');
  fifo.Peek(text.data(), n);
  return text;
}

std::string ReadText(TFifo& fifo, int n) {
  std::string text(static_cast<size_t>(n), '\0');
  fifo.Read(text.data(), n);
  return text;
}

void Consume(TSocketFifo& slot, int n) {
  slot.Read(nullptr, n);
  slot.ScannedWithoutLf = 0;
}

bool TakeWaitingBytes(TSocketFifo* slot, TNetConnection& connection, const TReceiveLimits& limits) {
  const int waiting = std::min(connection.BytesAvailable(), limits.max_read);
  if (waiting <= 0) return slot != nullptr;
  static thread_local std::vector<char> buffer;
  buffer.resize(static_cast<size_t>(waiting));
  const int got = connection.ReadBytes(buffer.data(), waiting);
  if (!slot) return false;  // no slot: the bytes are dropped
  if (got > 0) slot->Write(buffer.data(), got);
  return true;
}

void DropOverfullConnection(TSocketFifo& slot, TNetConnection& connection, int64_t limit) {
  const int unread = slot.Available();
  slot.Clear();
  slot.ScannedWithoutLf = 0;
  connection.CloseConnection();
  StatusLog(fmt::format("Connection from {} closed: {} unread bytes exceed the limit of {}",
                        connection.ConnPeerAddress(), unread, limit));
}

// Cuts the next complete request into the slot's record. False when none is complete.
bool CutRequest(TSocketFifo& slot) {
  for (;;) {
    const int b = slot.ScanFor('\n', slot.ScannedWithoutLf);
    if (b <= 0) {
      slot.ScannedWithoutLf = slot.Available();
      return false;
    }
    if (b <= 2) {  // LF alone, an empty CR LF line, or one byte and LF
      Consume(slot, b);
      continue;
    }
    const std::string line = PeekText(slot, b - 2);
    const int64_t length = BlockLength(line);
    TLines& request = slot.RxTx.Request();
    if (length > 0) {
      if (slot.Available() < b + length) {
        slot.ScannedWithoutLf = 0;  // the header is looked at again when more bytes arrive
        return false;
      }
      request.clear();
      Consume(slot, b);
      request = SplitPayload(ReadText(slot, static_cast<int>(length)));
      slot.ScannedWithoutLf = 0;
      return true;
    }
    Consume(slot, b);
    request.assign(1, line);
    return true;
  }
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

TLines SplitPayload(std::string_view payload) {
  payload = payload.substr(0, payload.find('\0'));
  TLines lines;
  size_t start = 0;
  size_t i = 0;
  while (i < payload.size()) {
    const char c = payload[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(payload.substr(start, i - start));
      i += (c == '\r' && i + 1 < payload.size() && payload[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < payload.size()) lines.emplace_back(payload.substr(start));
  return lines;
}

bool ReceiveEvent(TSocketList& list, const std::shared_ptr<TNetConnection>& connection,
                  const TDispatchFunction& dispatch, const TReceiveLimits& limits) {
  TSocketFifo* slot = list.FindSlot(connection->ConnHandle());
  if (!TakeWaitingBytes(slot, *connection, limits)) return true;

  slot->RxTx.Socket = connection;
  slot->RxTx.PeerAddress = connection->ConnPeerAddress().substr(0, 20);
  if (slot->Available() > limits.max_unread) {
    DropOverfullConnection(*slot, *connection, limits.max_unread);
    return true;
  }
  // A request of this connection is still being dispatched (its handler let events run): the
  // bytes wait in the buffer, and that dispatch loop takes them when it returns.
  if (slot->Busy) return true;

  const TBusyMark busy(*slot);
  const uint64_t generation = slot->Generation;
  while (slot->InUse && slot->Generation == generation) {
    if (connection->UnsentBytes() > limits.max_unsent) return false;
    if (!CutRequest(*slot)) break;
    try {
      dispatch(slot->RxTx);
    } catch (const std::exception& e) {
      HandleApplicationError("Net_Dispatch", e.what());
    }
  }
  return true;
}

}  // namespace fidora
