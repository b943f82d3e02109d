#include "engine/index/tx_sort_runs.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>

#include "engine/dbf/xb_error.h"

namespace fidora {

namespace {
size_t WholeRows(size_t bytes, size_t width) {
  return std::max<size_t>(1, bytes / width);
}
}  // namespace

TxRunWriter::TxRunWriter(std::unique_ptr<TScratchFile> file, size_t width, size_t buffer_bytes)
    : width_(width), buffer_(WholeRows(buffer_bytes, width) * width) {
  run_.file = std::move(file);
}

void TxRunWriter::Add(const uint8_t* row) {
  if (used_ == buffer_.size()) Flush();
  std::memcpy(buffer_.data() + used_, row, width_);
  used_ += width_;
  ++run_.rows;
}

void TxRunWriter::Flush() {
  run_.file->Write(buffer_.data(), used_, written_);
  written_ += used_;
  used_ = 0;
}

TxSortRun TxRunWriter::Finish() {
  if (used_ > 0) Flush();
  return std::move(run_);
}

TxRunMerge::TxRunMerge(std::vector<TxSortRun> runs, size_t width, bool ascending,
                       size_t buffer_bytes)
    : width_(width), ascending_(ascending) {
  readers_.resize(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    Reader& r = readers_[i];
    r.run = std::move(runs[i]);
    r.width = width;
    r.block.resize(WholeRows(buffer_bytes, width) * width);
  }
}

bool TxRunMerge::Fill(Reader& r) {
  const uint64_t left = r.run.rows - r.next_row;
  if (left == 0) return false;
  const size_t rows = static_cast<size_t>(std::min<uint64_t>(left, r.block.size() / width_));
  const size_t bytes = rows * width_;
  if (r.run.file->Read(r.block.data(), bytes, r.next_row * width_) != bytes)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Read of file %s", r.run.file->path()));
  r.next_row += rows;
  r.rows_in_block = rows;
  r.at = 0;
  return true;
}

bool TxRunMerge::Advance(Reader& r) {
  if (++r.at < r.rows_in_block) return true;
  return Fill(r);
}

bool TxRunMerge::Before(size_t a, size_t b) const {
  const int c = std::memcmp(readers_[a].Current(), readers_[b].Current(), width_);
  return ascending_ ? c < 0 : c > 0;
}

// std's heaps keep the greatest on top: "greater" is "taken out earlier".
auto TxRunMerge::TakenLater() const {
  return [this](size_t a, size_t b) { return Before(b, a); };
}

void TxRunMerge::PushHeap(size_t reader) {
  heap_.push_back(reader);
  std::push_heap(heap_.begin(), heap_.end(), TakenLater());
}

const uint8_t* TxRunMerge::Next() {
  if (!started_) {
    started_ = true;
    for (size_t i = 0; i < readers_.size(); ++i)
      if (Fill(readers_[i])) PushHeap(i);
  } else if (Advance(readers_[taken_])) {
    PushHeap(taken_);
  }
  if (heap_.empty()) return nullptr;
  std::pop_heap(heap_.begin(), heap_.end(), TakenLater());
  taken_ = heap_.back();
  heap_.pop_back();
  return readers_[taken_].Current();
}

}  // namespace fidora
