// Builds an order from all records of its table: one physical pass computes every key, the
// keys are sorted with their record numbers, and the sorted stream is written bottom-up into
// NTX pages, each page written once.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/index/index_table.h"
#include "engine/index/ntx_layout.h"

namespace fidora {

class TNtxFile;
class TNtxTag;

class TNtxSortWriter {
 public:
  // The order's parameters are set and its file holds a zeroed header page with the next
  // page at 1024. Afterwards the root is set and the header written.
  static void Build(TIndexTable& table, TNtxFile& file, TNtxTag& tag);

  // Keys per page for k keys and max items m: the keys spread evenly over the fewest pages
  // that hold at most m keys each.
  static size_t KeysPerPage(size_t keys, size_t max_items);

 private:
  struct Level {
    std::vector<NtxItem> items;
  };
  TNtxSortWriter(TNtxFile& file, TNtxTag& tag, size_t keys_per_page);
  void Put(size_t level, NtxItem item);
  void WriteLevel(size_t level, uint32_t offset, uint16_t count);
  void Finish();

  TNtxFile& file_;
  TNtxTag& tag_;
  size_t keys_per_page_;
  std::vector<Level> levels_;  // [0] leaves, [1] their parents, ...
};

}  // namespace fidora
