// Builds an order from all records of its table: one physical pass computes every key, the
// keys are sorted with their record numbers, and the sorted stream is written bottom-up into
// NTX pages, each page written once. Pages are filled in place, one buffer per level, and go
// to the file in runs of consecutive pages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
  // The page being filled at one level.
  struct Level {
    std::vector<uint8_t> page;
    uint16_t count = 0;
  };
  TNtxSortWriter(TNtxFile& file, TNtxTag& tag, size_t keys_per_page);
  // Puts an entry at a level (the build's "put" step); key is cut or blank-padded.
  void Put(size_t level, uint32_t child, uint32_t recno, std::string_view key);
  void Store(Level& level, uint32_t child, uint32_t recno, std::string_view key);
  uint8_t* Slot(Level& level, size_t k);
  // Writes the level's page at offset (through the batch) and empties it.
  void Emit(uint32_t offset, Level& level);
  void FlushBatch();
  void Finish();

  TNtxFile& file_;
  TNtxTag& tag_;
  size_t keys_per_page_;
  uint16_t key_size_, max_items_;
  std::vector<uint8_t> empty_page_;
  std::vector<Level> levels_;   // [0] leaves, [1] their parents, ...
  std::vector<uint8_t> batch_;  // consecutive pages not yet written, from batch_offset_
  uint32_t batch_offset_ = 0;
};

}  // namespace fidora
