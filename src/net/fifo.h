// TFifo: a connection's receive buffer, a growable byte stream read from ReadPos and written at
// WritePos. Its memory is given back whenever it runs empty, and unread bytes are moved to the
// front only when more than 1024 consumed bytes sit before them. Every operation takes the
// buffer's lock. Invariants (EAssertionFailed when broken, checked on compaction and ScanFor):
// 0 <= ReadPos <= WritePos <= size of the memory.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>

namespace fidora {

class TFifo {
 public:
  static constexpr int kCompactAbove = 1024;

  TFifo() = default;
  TFifo(const TFifo&) = delete;
  TFifo& operator=(const TFifo&) = delete;

  void Write(const char* bytes, int n);
  // Copies up to n unread bytes into dest (dest may be null: the bytes are skipped) and
  // consumes them; returns the count.
  int Read(char* dest, int n);
  // Like Read, but consumes nothing.
  int Peek(char* dest, int n) const;
  // The first n unread bytes (fewer when fewer are unread) in place; valid until the next
  // operation that changes the buffer.
  std::string_view PeekView(int n) const;
  int Available() const;
  // 1-based position of the first `byte` among the unread bytes at or after offset `skip`
  // (the position still counts from the first unread byte); 0 when absent.
  int ScanFor(char byte, int skip = 0) const;
  // Forgets every byte and gives the memory back.
  void Clear();

  int ReadPos() const;
  int WritePos() const;
  int Capacity() const;

 private:
  void CheckInvariants() const;  // caller holds lock_

  void Grow(int at_least);  // caller holds lock_
  void GiveBack();          // caller holds lock_

  mutable std::mutex lock_;
  std::unique_ptr<char[]> memory_;  // not cleared: bytes are only read where written
  int size_ = 0;
  int write_pos_ = 0;
  int read_pos_ = 0;
};

}  // namespace fidora
