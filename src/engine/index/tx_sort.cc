#include "engine/index/tx_sort.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/dbf/xb_error.h"

namespace fidora {

namespace {
// Buckets smaller than this are finished by insertion sort.
constexpr size_t kInsertionLimit = 24;
}  // namespace

TxSort::TxSort(size_t key_limit, bool unique, bool ascending)
    : key_limit_(key_limit), unique_(unique), ascending_(ascending) {
  if (key_limit_ < 1 || key_limit_ > 240)
    throw EXbError(fmt::format("Sort key length must be 1-{} bytes, is {}", 240, key_limit_));
  width_ = key_limit_ - 1 + 4 + 1;
  spare_row_.resize(width_);
}

void TxSort::Reserve(size_t count) {
  rows_.reserve(count * width_);
}

// The row: key text, record number (4 bytes, most significant first), zero bytes, and the
// length of text + record number in the last byte. Comparing rows as bytes compares the sort
// keys: where one sort key begins the other, the zero padding or else the length byte puts
// the shorter first.
void TxSort::Add(std::string_view key, uint32_t recno) {
  if (retrieving_) throw EXbError("Cannot add sort keys after beginning retrieval");
  while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
  if (key.size() + 1 > key_limit_)
    throw EXbError(
        fmt::format("Sort key length must be 1-{} bytes, is {}", key_limit_, key.size() + 1));
  const size_t at = rows_.size();
  rows_.resize(at + width_, 0);
  uint8_t* row = rows_.data() + at;
  std::memcpy(row, key.data(), key.size());
  uint8_t* r = row + key.size();
  r[0] = static_cast<uint8_t>(recno >> 24);
  r[1] = static_cast<uint8_t>(recno >> 16);
  r[2] = static_cast<uint8_t>(recno >> 8);
  r[3] = static_cast<uint8_t>(recno);
  row[width_ - 1] = static_cast<uint8_t>(key.size() + 4);
  ++count_;
}

void TxSort::SwapRows(uint8_t* a, uint8_t* b) {
  std::memcpy(spare_row_.data(), a, width_);
  std::memcpy(a, b, width_);
  std::memcpy(b, spare_row_.data(), width_);
}

// Rows that agree on their first depth bytes, ordered on the rest.
void TxSort::InsertionSort(uint8_t* rows, size_t n, size_t depth) {
  const size_t rest = width_ - depth;
  for (size_t i = 1; i < n; ++i) {
    size_t j = i;
    std::memcpy(spare_row_.data(), rows + i * width_, width_);
    while (j > 0 &&
           std::memcmp(rows + (j - 1) * width_ + depth, spare_row_.data() + depth, rest) > 0) {
      std::memcpy(rows + j * width_, rows + (j - 1) * width_, width_);
      --j;
    }
    std::memcpy(rows + j * width_, spare_row_.data(), width_);
  }
}

// Most significant byte first, in place: the rows are dealt into 256 buckets by the byte at
// depth, then each bucket is sorted on the following bytes.
void TxSort::SortRows(uint8_t* rows, size_t n, size_t depth) {
  while (depth < width_ && n > 1) {
    if (n < kInsertionLimit) {
      InsertionSort(rows, n, depth);
      return;
    }
    std::array<size_t, 256> count{};
    for (size_t i = 0; i < n; ++i) ++count[rows[i * width_ + depth]];
    // All rows share this byte: on to the next one without moving anything.
    if (count[rows[depth]] == n) {
      ++depth;
      continue;
    }
    // next[b]: where the next row of bucket b goes; end[b]: where bucket b ends.
    std::array<size_t, 256> next{}, end{};
    for (size_t b = 0; b < 256; ++b) {
      next[b] = b == 0 ? 0 : end[b - 1];
      end[b] = next[b] + count[b];
    }
    for (size_t b = 0; b < 256; ++b) {
      while (next[b] < end[b]) {
        uint8_t* row = rows + next[b] * width_;
        const uint8_t v = row[depth];
        if (v == b) {
          ++next[b];
          continue;
        }
        SwapRows(row, rows + next[v] * width_);
        ++next[v];
      }
    }
    for (size_t b = 0; b < 256; ++b)
      if (count[b] > 1) SortRows(rows + (end[b] - count[b]) * width_, count[b], depth + 1);
    return;
  }
}

void TxSort::Sort() {
  SortRows(rows_.data(), count_, 0);
}

bool TxSort::Next(std::string* key, uint32_t* recno) {
  if (!retrieving_) {
    retrieving_ = true;
    Sort();
  }
  while (next_ < count_) {
    const size_t index = ascending_ ? next_ : count_ - 1 - next_;
    ++next_;
    const uint8_t* row = rows_.data() + index * width_;
    const size_t length = row[width_ - 1] - 4u;
    const std::string_view text(reinterpret_cast<const char*>(row), length);
    if (unique_) {
      if (have_previous_ && text == previous_) continue;
      previous_.assign(text);
      have_previous_ = true;
    }
    key->assign(text);
    const uint8_t* r = row + length;
    *recno = static_cast<uint32_t>(r[0]) << 24 | static_cast<uint32_t>(r[1]) << 16 |
             static_cast<uint32_t>(r[2]) << 8 | r[3];
    return true;
  }
  return false;
}

}  // namespace fidora
