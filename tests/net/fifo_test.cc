#include "net/fifo.h"

#include <gtest/gtest.h>

#include <string>

namespace fidora {
namespace {

void WriteText(TFifo& fifo, const std::string& text) {
  fifo.Write(text.data(), static_cast<int>(text.size()));
}

std::string ReadText(TFifo& fifo, int n) {
  std::string text(static_cast<size_t>(n), '\0');
  text.resize(static_cast<size_t>(fifo.Read(text.data(), n)));
  return text;
}

TEST(FifoTest, ReadingEverythingEmptiesTheBufferAndGivesItsMemoryBack) {
  TFifo fifo;
  WriteText(fifo, "hello");
  EXPECT_EQ(ReadText(fifo, 2), "he");
  EXPECT_EQ(fifo.ReadPos(), 2);
  EXPECT_EQ(fifo.Available(), 3);
  EXPECT_EQ(ReadText(fifo, 3), "llo");
  EXPECT_EQ(fifo.ReadPos(), 0);
  EXPECT_EQ(fifo.WritePos(), 0);
  EXPECT_EQ(fifo.Capacity(), 0);
  EXPECT_EQ(ReadText(fifo, 10), "");
}

TEST(FifoTest, CompactsOnlyWhenMoreThan1024BytesWereConsumed) {
  struct Case {
    int consumed;
    int expect_read_pos;
  };
  for (const Case c : {Case{1024, 1024}, Case{1025, 0}, Case{1500, 0}}) {
    TFifo fifo;
    const std::string front(static_cast<size_t>(c.consumed), 'x');
    WriteText(fifo, front + "REST");
    ASSERT_EQ(ReadText(fifo, c.consumed), front);
    EXPECT_EQ(fifo.ReadPos(), c.expect_read_pos) << c.consumed;
    EXPECT_EQ(fifo.WritePos(), c.expect_read_pos + 4) << c.consumed;
    EXPECT_EQ(fifo.Available(), 4);
    // Bytes written after a compaction follow the moved ones.
    WriteText(fifo, "!");
    EXPECT_EQ(ReadText(fifo, 5), "REST!");
  }
}

TEST(FifoTest, PeekAndScanForLeaveTheBytesUnread) {
  TFifo fifo;
  EXPECT_LE(fifo.ScanFor('\n'), 0);
  WriteText(fifo, "ab\ncd\n");
  char two[2];
  EXPECT_EQ(fifo.Peek(two, 2), 2);
  EXPECT_EQ(std::string(two, 2), "ab");
  EXPECT_EQ(fifo.ScanFor('\n'), 3);
  EXPECT_EQ(fifo.ScanFor('\n', 3), 6);  // skipping known bytes keeps positions
  EXPECT_LE(fifo.ScanFor('z'), 0);
  ReadText(fifo, 3);
  EXPECT_EQ(fifo.ScanFor('\n'), 3);
  EXPECT_EQ(fifo.Available(), 3);
}

TEST(FifoTest, ClearForgetsEverything) {
  TFifo fifo;
  WriteText(fifo, "left over");
  fifo.Clear();
  EXPECT_EQ(fifo.Available(), 0);
  EXPECT_LE(fifo.ScanFor('l'), 0);
  WriteText(fifo, "new");
  EXPECT_EQ(ReadText(fifo, 9), "new");
}

}  // namespace
}  // namespace fidora
