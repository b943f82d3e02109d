#include "net/send_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fidora {
namespace {

// A network that takes at most `room` bytes in all and records every call.
struct FakeNetwork {
  size_t room = SIZE_MAX;
  std::string taken;
  std::vector<int> pieces_per_call;
  TSendQueue::TWriter Writer() {
    return [this](const iovec* pieces, int count) -> int64_t {
      pieces_per_call.push_back(count);
      size_t sent = 0;
      for (int i = 0; i < count && room > 0; ++i) {
        const size_t n = std::min(room, pieces[i].iov_len);
        taken.append(static_cast<const char*>(pieces[i].iov_base), n);
        room -= n;
        sent += n;
      }
      return static_cast<int64_t>(sent);
    };
  }
};

// A file-like source that hands out its bytes in pieces and says nothing of its size.
class PieceSource : public TByteSource {
 public:
  explicit PieceSource(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(char* dest, size_t n) override {
    const size_t count = std::min(n, bytes_.size() - at_);
    bytes_.copy(dest, count, at_);
    at_ += count;
    return count;
  }
  int64_t Remaining() const override { return static_cast<int64_t>(bytes_.size() - at_); }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

TEST(SendQueueTest, AReplyAndTheFileAfterItLeaveInOneCall) {
  TSendQueue queue;
  queue.Add(
      "B\xA6"
      "5\xA6"
      "C\r\nNOW\r\n");
  queue.Add(std::make_unique<TMemorySource>("LINE\r\n"));
  queue.Add(std::make_unique<PieceSource>("file bytes"));
  EXPECT_EQ(queue.Unsent(), 12 + 6 + 10);
  EXPECT_EQ(queue.Buffered(), 12 + 6);
  FakeNetwork network;
  EXPECT_EQ(queue.SendTo(network.Writer()), 28);
  EXPECT_EQ(network.taken,
            "B\xA6"
            "5\xA6"
            "C\r\nNOW\r\nLINE\r\nfile bytes");
  EXPECT_EQ(network.pieces_per_call.size(), 1u);
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.Unsent(), 0);
  EXPECT_EQ(queue.Buffered(), 0);
}

TEST(SendQueueTest, WhatTheNetworkDoesNotTakeWaitsInOrder) {
  TSendQueue queue;
  const std::string file(3 * TSendQueue::kFilePiece + 5, 'f');
  queue.Add("first\r\n");
  queue.Add(std::make_unique<PieceSource>(file));
  queue.Add("last\r\n");
  FakeNetwork network;
  network.room = 10;
  EXPECT_EQ(queue.SendTo(network.Writer()), 10);
  EXPECT_EQ(queue.Unsent(), static_cast<int64_t>(7 + file.size() + 6 - 10));
  network.room = SIZE_MAX;
  EXPECT_EQ(queue.SendTo(network.Writer()), static_cast<int64_t>(7 + file.size() + 6 - 10));
  EXPECT_EQ(network.taken, "first\r\n" + file + "last\r\n");
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.Buffered(), 0);
}

TEST(SendQueueTest, AFailureIsReportedAndNothingCountsAsSent) {
  TSendQueue queue;
  queue.Add("NOW\r\n");
  EXPECT_EQ(queue.SendTo([](const iovec*, int) -> int64_t { return -1; }), -1);
  EXPECT_EQ(queue.Unsent(), 5);
  queue.Clear();
  EXPECT_TRUE(queue.Empty());
}

TEST(SendQueueTest, ManyRepliesGoInFewCalls) {
  TSendQueue queue;
  for (int i = 0; i < 1000; ++i)
    queue.Add(
        "STAT\xA6OK\xA6"
        "0\r\n");
  FakeNetwork network;
  EXPECT_EQ(queue.SendTo(network.Writer()), 11000);
  EXPECT_EQ(network.pieces_per_call, std::vector<int>{1});
}

}  // namespace
}  // namespace fidora
