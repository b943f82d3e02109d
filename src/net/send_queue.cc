#include "net/send_queue.h"

#include <algorithm>

namespace fidora {

void TSendQueue::Add(std::string_view bytes) {
  if (bytes.empty()) return;
  unsent_ += static_cast<int64_t>(bytes.size());
  buffered_ += static_cast<int64_t>(bytes.size());
  // Short texts in a row (replies of pipelined requests) share one piece.
  if (!items_.empty() && !items_.back().source &&
      items_.back().bytes.size() + bytes.size() <= kJoinUpTo) {
    items_.back().bytes.append(bytes);
    return;
  }
  TItem item;
  item.bytes.swap(spare_);
  item.bytes.assign(bytes);
  items_.push_back(std::move(item));
}

void TSendQueue::Add(std::unique_ptr<TByteSource> source) {
  if (!source) return;
  if (auto* memory = dynamic_cast<TMemorySource*>(source.get())) {
    Add(std::string_view(memory->Release()));
    return;
  }
  const int64_t left = std::max<int64_t>(source->Remaining(), 0);
  unsent_ += left;
  items_.push_back({{}, 0, std::move(source), left});
}

bool TSendQueue::Refill(TItem& item) {
  item.bytes.resize(kFilePiece);
  const size_t got = item.source->Read(item.bytes.data(), kFilePiece);
  item.bytes.resize(got);
  item.offset = 0;
  const auto n = static_cast<int64_t>(got);
  if (got == 0) {
    unsent_ -= item.source_left;
    item.source_left = 0;
    std::string().swap(item.bytes);
    return false;
  }
  // A source that had more than it said adds the difference.
  if (n > item.source_left) unsent_ += n - item.source_left;
  item.source_left = std::max<int64_t>(item.source_left - n, 0);
  buffered_ += n;
  return true;
}

void TSendQueue::PopFront() {
  std::string& bytes = items_.front().bytes;
  if (!items_.front().source && bytes.capacity() <= kKeepUpTo &&
      bytes.capacity() > spare_.capacity()) {
    bytes.clear();
    spare_.swap(bytes);
  }
  items_.pop_front();
}

int TSendQueue::Gather(iovec* pieces, int room) {
  int count = 0;
  auto it = items_.begin();
  while (it != items_.end() && count < room) {
    if (it->offset == it->bytes.size() && !(it->source && Refill(*it))) {
      // Only the front item may go here: removing one further back would move the bytes of
      // the items already gathered.
      if (it != items_.begin()) break;
      PopFront();
      it = items_.begin();
      continue;
    }
    pieces[count++] = {it->bytes.data() + it->offset, it->bytes.size() - it->offset};
    if (it->source) break;  // its next piece is read once this one has gone
    ++it;
  }
  return count;
}

void TSendQueue::Consume(size_t count) {
  unsent_ -= static_cast<int64_t>(count);
  buffered_ -= static_cast<int64_t>(count);
  while (count > 0 && !items_.empty()) {
    TItem& front = items_.front();
    const size_t take = std::min(count, front.bytes.size() - front.offset);
    front.offset += take;
    count -= take;
    if (front.offset == front.bytes.size() && !front.source) PopFront();
  }
}

int64_t TSendQueue::SendTo(const TWriter& write) {
  int64_t total = 0;
  iovec pieces[kMaxPieces];
  for (;;) {
    const int count = Gather(pieces);
    if (count == 0) break;
    size_t offered = 0;
    for (int i = 0; i < count; ++i) offered += pieces[i].iov_len;
    const int64_t sent = write(pieces, count);
    if (sent < 0) return -1;
    Consume(static_cast<size_t>(sent));
    total += sent;
    if (static_cast<size_t>(sent) < offered) break;
  }
  return total;
}

void TSendQueue::Clear() {
  items_.clear();
  std::string().swap(spare_);
  unsent_ = 0;
  buffered_ = 0;
}

}  // namespace fidora
