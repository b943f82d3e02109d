// TSendQueue: the bytes handed to a connection that have not left yet, in the order they were
// handed over: texts, and sources (a file) read a piece at a time when their turn comes.
// Sending gathers everything waiting into one call of the writer (a reply and the file after
// it, or the replies of several pipelined requests) and goes on until the writer takes less
// than it was offered. Texts are copied in; the memory of a short text that has gone is kept
// for the next one, so a connection answering one short request after another allocates
// nothing per reply.
#pragma once

#include <sys/uio.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/connection.h"

namespace fidora {

class TSendQueue {
 public:
  // Hands the pieces to the network; returns the bytes it took (0 when it can take nothing
  // now) or -1 with errno set when the connection failed.
  using TWriter = std::function<int64_t(const iovec* pieces, int count)>;

  static constexpr int kMaxPieces = 64;
  static constexpr size_t kFilePiece = 64 * 1024;
  static constexpr size_t kJoinUpTo = 16 * 1024;
  // A text's memory is kept for the next text up to this size.
  static constexpr size_t kKeepUpTo = 4 * 1024;

  void Add(std::string_view bytes);
  void Add(std::unique_ptr<TByteSource> source);

  bool Empty() const { return items_.empty(); }
  // Bytes still to go (a source counts with what it has left).
  int64_t Unsent() const { return unsent_; }
  // Of those, the bytes held in memory.
  int64_t Buffered() const { return buffered_; }

  // Sends until everything has gone or the writer takes less than offered. Returns the bytes
  // sent, or -1 (errno set) when the writer failed.
  int64_t SendTo(const TWriter& write);
  // The same in two steps, for a caller that sends itself: the waiting bytes as at most `room`
  // pieces (0 when nothing waits), valid until the queue changes; then the count that went.
  int Gather(iovec* pieces, int room = kMaxPieces);
  void Consume(size_t count);
  // Forgets everything (the connection is gone) and gives the memory back.
  void Clear();

 private:
  struct TItem {
    std::string bytes;                    // text, or the piece read from the source
    size_t offset = 0;                    // of bytes, already sent
    std::unique_ptr<TByteSource> source;  // read into bytes when they run out
    int64_t source_left = 0;              // counted in unsent_ for the source
  };
  // Reads the next piece of a source item; false when the source is exhausted.
  bool Refill(TItem& item);
  // Drops the front item, keeping the memory of a short text in spare_.
  void PopFront();

  std::deque<TItem> items_;
  std::string spare_;
  int64_t unsent_ = 0;
  int64_t buffered_ = 0;
};

}  // namespace fidora
