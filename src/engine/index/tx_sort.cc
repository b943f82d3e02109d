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
constexpr size_t kGrowRows = 4096;
// A run is read (and written) in blocks of at most this, and of at least kLeastRunBlock: a
// merge takes as many runs at once as the memory has room for such blocks.
constexpr size_t kRunBlock = size_t{1} << 20;
constexpr size_t kLeastRunBlock = size_t{64} << 10;
}  // namespace

TxSort::TxSort(size_t key_limit, bool unique, bool ascending, TxSortSpill spill)
    : key_limit_(key_limit), unique_(unique), ascending_(ascending), spill_(std::move(spill)) {
  if (key_limit_ < 1 || key_limit_ > 240)
    throw EXbError(fmt::format("Sort key length must be 1-{} bytes, is {}", 240, key_limit_));
  width_ = key_limit_ - 1 + 4 + 1;
  spare_row_.resize(width_);
  max_rows_ = spill_.open_scratch ? std::max<size_t>(1, spill_.memory / width_) : SIZE_MAX;
}

void TxSort::Reserve(size_t count) {
  rows_.reserve(std::min(count, max_rows_) * width_);
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
  if (held_ == max_rows_) WriteRun();
  if (held_ * width_ == rows_.size()) GrowRows();
  uint8_t* row = rows_.data() + held_ * width_;
  std::memcpy(row, key.data(), key.size());
  uint8_t* r = row + key.size();
  r[0] = static_cast<uint8_t>(recno >> 24);
  r[1] = static_cast<uint8_t>(recno >> 16);
  r[2] = static_cast<uint8_t>(recno >> 8);
  r[3] = static_cast<uint8_t>(recno);
  std::memset(r + 4, 0, width_ - 1 - (key.size() + 4));
  row[width_ - 1] = static_cast<uint8_t>(key.size() + 4);
  ++count_;
  ++held_;
}

// Rows are made ready in steps of kGrowRows (one call instead of one per key), and the room
// for them grows by doubling, never past the budget.
void TxSort::GrowRows() {
  const size_t rows = rows_.size() / width_;
  if (rows_.size() == rows_.capacity())
    rows_.reserve(std::min(std::max<size_t>(2 * rows, kGrowRows), max_rows_) * width_);
  rows_.resize(std::min(rows + kGrowRows, rows_.capacity() / width_) * width_);
}

// Eight bytes at a time: rows are a few dozen bytes, and a call per row would cost more than
// the move.
void TxSort::SwapRows(uint8_t* a, uint8_t* b) {
  size_t i = 0;
  for (; i + 8 <= width_; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    std::memcpy(a + i, &y, 8);
    std::memcpy(b + i, &x, 8);
  }
  for (; i < width_; ++i) std::swap(a[i], b[i]);
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
  SortRows(rows_.data(), held_, 0);
}

void TxSort::WriteRun() {
  Sort();
  TxRunWriter run(spill_.open_scratch(), width_, kRunBlock);
  for (size_t i = 0; i < held_; ++i)
    run.Add(rows_.data() + (ascending_ ? i : held_ - 1 - i) * width_);
  runs_.push_back(run.Finish());
  rows_.clear();
  held_ = 0;
}

// Each run being merged has a block of its own, and an intermediate merge a written one too.
size_t TxSort::MergeBufferBytes(size_t runs) const {
  return std::clamp(spill_.memory / (runs + 1), width_, kRunBlock);
}

void TxSort::StartMerge() {
  if (held_ > 0) WriteRun();
  std::vector<uint8_t>().swap(rows_);
  const size_t fan_in = std::max<size_t>(2, spill_.memory / kLeastRunBlock);
  while (runs_.size() > fan_in) {
    std::vector<TxSortRun> group(std::make_move_iterator(runs_.begin()),
                                 std::make_move_iterator(runs_.begin() + fan_in));
    runs_.erase(runs_.begin(), runs_.begin() + fan_in);
    TxRunMerge merge(std::move(group), width_, ascending_, MergeBufferBytes(fan_in));
    TxRunWriter out(spill_.open_scratch(), width_, MergeBufferBytes(fan_in));
    while (const uint8_t* row = merge.Next()) out.Add(row);
    runs_.push_back(out.Finish());
  }
  const size_t buffer_bytes = MergeBufferBytes(runs_.size());
  merge_.emplace(std::move(runs_), width_, ascending_, buffer_bytes);
  runs_.clear();
}

const uint8_t* TxSort::NextRow() {
  if (merge_) return merge_->Next();
  if (next_ == held_) return nullptr;
  const size_t index = ascending_ ? next_ : held_ - 1 - next_;
  ++next_;
  return rows_.data() + index * width_;
}

bool TxSort::Next(std::string* key, uint32_t* recno) {
  if (!retrieving_) {
    retrieving_ = true;
    if (runs_.empty())
      Sort();
    else
      StartMerge();
  }
  while (const uint8_t* row = NextRow()) {
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
