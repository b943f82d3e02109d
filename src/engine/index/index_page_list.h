// The in-memory form of one B-tree page on the key stack.
//
// A page list holds the page's keys as entries; a branch list has one more entry for its
// rightmost child, and a leaf list that is not on the rightmost path of the tree ends with its
// upper-bound entry (a copy of the separator that follows the page in its parent). Walking the
// leaf lists from left to right therefore visits every index entry once, branch keys included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fidora {

struct TIndexEntry {
  std::string key;     // stored key without trailing blanks
  uint32_t recno = 0;  // record number of the entry
  uint32_t link = 0;   // child page offset in a branch, the record number in a leaf
};

struct TIndexPageList {
  uint32_t offset = 0;  // the page's file offset
  bool leaf = true;
  bool dirty = false;
  size_t pos = 0;  // current position; equals entries.size() after running past the end
  std::vector<TIndexEntry> entries;

  bool AtLast() const { return !entries.empty() && pos + 1 == entries.size(); }
};

}  // namespace fidora
