// The sort of an index build: keys with their record numbers come out in the order of the
// sort key (key text without trailing blanks, then the record number most significant byte
// first, compared as bytes, a shorter sort key before a longer one that begins with it),
// ascending or descending; a unique sort keeps the first of each key text.
//
// Each entry is one fixed-width row in a single array (sort key padded with zero bytes, then
// its length), so the keys are held once and compactly, and the sort is a radix sort over the
// rows' bytes that moves through memory in order. When the rows would pass the memory budget,
// the rows held so far are sorted and written as a run to a scratch file (tx_sort_runs.h),
// and retrieval merges the runs; the stream is the same either way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/scratch_file.h"
#include "engine/index/tx_sort_runs.h"

namespace fidora {

// Where a sort that outgrows its memory puts its runs.
struct TxSortSpill {
  size_t memory = SIZE_MAX;  // bytes of rows held at most (at least one row)
  std::function<std::unique_ptr<TScratchFile>()> open_scratch;  // empty: all in memory
};

class TxSort {
 public:
  // key_limit: the longest key + 1 (at most 240).
  TxSort(size_t key_limit, bool unique, bool ascending, TxSortSpill spill = {});

  // Room for count keys (an estimate: more may be added), within the memory budget.
  void Reserve(size_t count);
  // Adds a key (trailing blanks are dropped). Raises EXbError after the first Next or for a
  // key beyond the limit.
  void Add(std::string_view key, uint32_t recno);
  // The next key in order; false when none is left.
  bool Next(std::string* key, uint32_t* recno);
  size_t Count() const { return count_; }

 private:
  void Sort();
  void SortRows(uint8_t* rows, size_t n, size_t depth);
  void InsertionSort(uint8_t* rows, size_t n, size_t depth);
  void SwapRows(uint8_t* a, uint8_t* b);
  void GrowRows();
  // The held rows, sorted, to a run of their own.
  void WriteRun();
  // Merges runs until one merge can take them all at once, then starts it.
  void StartMerge();
  size_t MergeBufferBytes(size_t runs) const;
  const uint8_t* NextRow();

  size_t key_limit_;
  bool unique_, ascending_;
  size_t width_;  // sort key bytes (key + 4) and the length byte
  TxSortSpill spill_;
  size_t max_rows_;  // rows held in memory at most
  bool retrieving_ = false;
  std::vector<uint8_t> rows_;
  std::vector<uint8_t> spare_row_;
  size_t count_ = 0;  // keys added
  size_t held_ = 0;   // rows in rows_
  size_t next_ = 0;
  std::vector<TxSortRun> runs_;
  std::optional<TxRunMerge> merge_;
  std::string previous_;
  bool have_previous_ = false;
};

}  // namespace fidora
