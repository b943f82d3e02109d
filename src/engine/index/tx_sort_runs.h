// The sorted runs of a sort that outgrew its memory: fixed-width rows (TxSort's layout) in the
// order they are to be taken out, each run in a scratch file of its own, and the merge that
// gives the rows of several runs as one stream in that order. Rows compare as bytes, the least
// first in an ascending sort and the greatest first in a descending one. No two rows of a sort
// are equal (each carries its record number), so the merged stream is exactly the one that
// sorting all rows at once gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/dbf/scratch_file.h"

namespace fidora {

struct TxSortRun {
  std::unique_ptr<TScratchFile> file;
  uint64_t rows = 0;
};

// Appends rows to a new run through a buffer of about buffer_bytes.
class TxRunWriter {
 public:
  TxRunWriter(std::unique_ptr<TScratchFile> file, size_t width, size_t buffer_bytes);
  void Add(const uint8_t* row);
  // Writes what the buffer still holds; the run is complete.
  TxSortRun Finish();

 private:
  void Flush();

  TxSortRun run_;
  size_t width_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t written_ = 0;  // bytes in the file
};

// The rows of several runs merged into one stream; each run is read a block of about
// buffer_bytes at a time.
class TxRunMerge {
 public:
  TxRunMerge(std::vector<TxSortRun> runs, size_t width, bool ascending, size_t buffer_bytes);
  // The next row, or nullptr when every run is exhausted; valid until the next call.
  const uint8_t* Next();

 private:
  struct Reader {
    TxSortRun run;
    std::vector<uint8_t> block;
    uint64_t next_row = 0;             // of the run, the first not yet in the block
    size_t at = 0, rows_in_block = 0;  // the current row within the block
    const uint8_t* Current() const { return block.data() + at * width; }
    size_t width = 0;
  };
  // Moves the reader to its next row; false when its run is exhausted.
  bool Advance(Reader& r);
  bool Fill(Reader& r);
  // Whether reader a's current row is taken out before reader b's.
  bool Before(size_t a, size_t b) const;
  auto TakenLater() const;  // the heap's order on reader indexes
  void PushHeap(size_t reader);

  size_t width_;
  bool ascending_;
  std::vector<Reader> readers_;
  std::vector<size_t> heap_;  // readers with a current row, the next one to take on top
  bool started_ = false;
  size_t taken_ = 0;  // reader of the row returned last
};

}  // namespace fidora
