#include "net/fifo.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "protocol/application_errors.h"

namespace fidora {

void TFifo::CheckInvariants() const {
  if (read_pos_ < 0) throw EAssertionFailed("Assertion failed: ReadPos >= 0");
  if (write_pos_ > size_) throw EAssertionFailed("Assertion failed: WritePos <= Size");
  if (read_pos_ > write_pos_) throw EAssertionFailed("Assertion failed: ReadPos <= WritePos");
}

void TFifo::Write(const char* bytes, int n) {
  if (n <= 0) return;
  std::lock_guard guard(lock_);
  if (n > INT_MAX - write_pos_) throw EAssertionFailed("Assertion failed: receive buffer full");
  if (write_pos_ + n > size_) Grow(write_pos_ + n);
  std::memcpy(memory_.get() + write_pos_, bytes, static_cast<size_t>(n));
  write_pos_ += n;
}

void TFifo::Grow(int at_least) {
  const int size = size_ > INT_MAX / 2 ? INT_MAX : std::max(at_least, size_ * 2);
  auto bigger = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size));
  if (write_pos_ > 0) std::memcpy(bigger.get(), memory_.get(), static_cast<size_t>(write_pos_));
  memory_ = std::move(bigger);
  size_ = size;
}

void TFifo::GiveBack() {
  read_pos_ = 0;
  write_pos_ = 0;
  memory_.reset();
  size_ = 0;
}

int TFifo::Read(char* dest, int n) {
  std::lock_guard guard(lock_);
  const int count = std::clamp(n, 0, write_pos_ - read_pos_);
  if (dest && count > 0) std::memcpy(dest, memory_.get() + read_pos_, static_cast<size_t>(count));
  read_pos_ += count;
  if (count == 0 || read_pos_ == write_pos_) {
    GiveBack();
  } else if (read_pos_ > kCompactAbove) {
    CheckInvariants();
    std::memmove(memory_.get(), memory_.get() + read_pos_,
                 static_cast<size_t>(write_pos_ - read_pos_));
    write_pos_ -= read_pos_;
    read_pos_ = 0;
  }
  return count;
}

int TFifo::Peek(char* dest, int n) const {
  std::lock_guard guard(lock_);
  const int count = std::clamp(n, 0, write_pos_ - read_pos_);
  if (count > 0) std::memcpy(dest, memory_.get() + read_pos_, static_cast<size_t>(count));
  return count;
}

std::string_view TFifo::PeekView(int n) const {
  std::lock_guard guard(lock_);
  const int count = std::clamp(n, 0, write_pos_ - read_pos_);
  if (count == 0) return {};
  return std::string_view(memory_.get() + read_pos_, static_cast<size_t>(count));
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
  const char* first = memory_.get() + read_pos_;
  const void* found = std::memchr(first + skip, static_cast<unsigned char>(byte),
                                  static_cast<size_t>(unread - skip));
  if (!found) return 0;
  return static_cast<int>(static_cast<const char*>(found) - first) + 1;
}

void TFifo::Clear() {
  std::lock_guard guard(lock_);
  GiveBack();
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
  return size_;
}

}  // namespace fidora
