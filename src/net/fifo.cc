#include "net/fifo.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "protocol/application_errors.h"

namespace fidora {

void TFifo::CheckInvariants() const {
  if (read_pos_ < 0) throw EAssertionFailed("Assertion failed: ReadPos >= 0");
  if (write_pos_ > static_cast<int>(memory_.size()))
    throw EAssertionFailed("Assertion failed: WritePos <= Size");
  if (read_pos_ > write_pos_) throw EAssertionFailed("Assertion failed: ReadPos <= WritePos");
}

void TFifo::Write(const char* bytes, int n) {
  if (n <= 0) return;
  std::lock_guard guard(lock_);
  if (n > INT_MAX - write_pos_) throw EAssertionFailed("Assertion failed: receive buffer full");
  const size_t end = static_cast<size_t>(write_pos_) + static_cast<size_t>(n);
  if (memory_.size() < end) {
    if (memory_.capacity() < end) memory_.reserve(std::max(end, memory_.capacity() * 2));
    memory_.resize(end);
  }
  std::memcpy(memory_.data() + write_pos_, bytes, static_cast<size_t>(n));
  write_pos_ += n;
}

int TFifo::Read(char* dest, int n) {
  std::lock_guard guard(lock_);
  const int count = std::clamp(n, 0, write_pos_ - read_pos_);
  if (dest && count > 0) std::memcpy(dest, memory_.data() + read_pos_, static_cast<size_t>(count));
  read_pos_ += count;
  if (count == 0 || read_pos_ == write_pos_) {
    read_pos_ = 0;
    write_pos_ = 0;
    std::vector<char>().swap(memory_);
  } else if (read_pos_ > kCompactAbove) {
    CheckInvariants();
    std::memmove(memory_.data(), memory_.data() + read_pos_,
                 static_cast<size_t>(write_pos_ - read_pos_));
    write_pos_ -= read_pos_;
    read_pos_ = 0;
  }
  return count;
}

int TFifo::Peek(char* dest, int n) const {
  std::lock_guard guard(lock_);
  const int count = std::clamp(n, 0, write_pos_ - read_pos_);
  if (count > 0) std::memcpy(dest, memory_.data() + read_pos_, static_cast<size_t>(count));
  return count;
}

int TFifo::Available() const {
  std::lock_guard guard(lock_);
  return write_pos_ - read_pos_;
}

int TFifo::ScanFor(char byte, int skip) const {
  std::lock_guard guard(lock_);
  CheckInvariants();
  const int unread = write_pos_ - read_pos_;
  if (skip < 0) skip = 0;
  if (skip >= unread) return 0;
  const char* first = memory_.data() + read_pos_;
  const void* found = std::memchr(first + skip, static_cast<unsigned char>(byte),
                                  static_cast<size_t>(unread - skip));
  if (!found) return 0;
  return static_cast<int>(static_cast<const char*>(found) - first) + 1;
}

void TFifo::Clear() {
  std::lock_guard guard(lock_);
  read_pos_ = 0;
  write_pos_ = 0;
  std::vector<char>().swap(memory_);
}

int TFifo::ReadPos() const {
  std::lock_guard guard(lock_);
  return read_pos_;
}

int TFifo::WritePos() const {
  std::lock_guard guard(lock_);
  return write_pos_;
}

int TFifo::Capacity() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(memory_.size());
}

}  // namespace fidora
