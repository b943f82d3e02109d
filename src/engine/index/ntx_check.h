// Reads an NTX file on its own, without the key stack, and reports damage: the walk of every
// page reachable from the root, and the check of an order against its table's records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/index/index_storage.h"
#include "engine/index/index_table.h"
#include "engine/index/ntx_layout.h"

namespace fidora {

struct NtxWalkEntry {
  std::string key;  // as stored, trailing blanks removed
  uint32_t recno = 0;
};

struct NtxWalk {
  NtxHeader header;
  std::vector<NtxWalkEntry> entries;  // every entry, in the tree's order
  std::vector<std::string> problems;  // empty when the tree is well formed
  size_t pages = 0;
  size_t depth = 0;
};

// The header page as it stands, whether or not the file is usable (a short file reads as if
// zero-filled); nullopt when it names no key expression. A rebuild of a damaged or invalid
// index takes its key expression, FOR condition and flags from here.
std::optional<NtxHeader> ReadNtxHeader(TIndexStorage& storage);

// Walks the tree: every page must decode, lie on a page boundary inside the file and be
// reached once; all leaves lie at one depth; keys are in the order's direction.
NtxWalk WalkNtx(TIndexStorage& storage);

// Verifies an order against its table: every record the FOR condition admits has exactly one
// entry, with its current key; no other record has one. The table is walked physically.
// Returns what is wrong (empty when the index is sound); tree problems come first.
std::vector<std::string> CheckNtxAgainstTable(TIndexStorage& storage, TIndexTable& table);

}  // namespace fidora
