// The in-memory form of one B-tree page on the key stack.
//
// A page list holds the page's keys as entries; a branch list has one more entry for its
// rightmost child, and a leaf list that is not on the rightmost path of the tree ends with its
// upper-bound entry (a copy of the separator that follows the page in its parent). Walking the
// leaf lists from left to right therefore visits every index entry once, branch keys included.
//
// A list loaded from a page reads its entries in place from its copy of the page's bytes, so
// searching and walking a page costs one copy of the page; the first change makes the entries
// the list's own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index/ntx_layout.h"

namespace fidora {

struct TIndexEntry {
  std::string key;     // stored key without trailing blanks
  uint32_t recno = 0;  // record number of the entry
  uint32_t link = 0;   // child page offset in a branch, the record number in a leaf
};

class TIndexPageList {
 public:
  uint32_t offset = 0;  // the page's file offset
  bool leaf = true;
  bool dirty = false;
  size_t pos = 0;  // current position; equals size() after running past the end

  TIndexPageList() = default;
  // A list of entries of its own (a new page).
  TIndexPageList(uint32_t page_offset, bool is_leaf, std::vector<TIndexEntry> entries);

  // The page's bytes, to be filled (kNtxPageSize of them) before Load.
  uint8_t* PageBuffer() { return page_.data(); }
  // Reads the page filled into PageBuffer as the list of the page at page_offset: false when
  // it is malformed (count above max items, a slot outside the page, a branch child that is
  // no page offset). A branch's rightmost child is then RightmostChild().
  bool Load(uint32_t page_offset, uint16_t key_size, uint16_t max_items);
  uint32_t RightmostChild() const { return rightmost_child_; }
  // Appends the rightmost or upper-bound entry of a loaded list.
  void AddBound(TIndexEntry bound);

  size_t size() const { return owned_ ? entries_.size() : count_ + (has_bound_ ? 1 : 0); }
  bool empty() const { return size() == 0; }
  bool AtLast() const { return !empty() && pos + 1 == size(); }
  std::string_view Key(size_t i) const;
  uint32_t Recno(size_t i) const;
  uint32_t Link(size_t i) const;
  TIndexEntry Entry(size_t i) const { return {std::string(Key(i)), Recno(i), Link(i)}; }
  // CompareKeys(searched, Key(i), partial), read from the page's blank-padded key in place.
  int CompareKey(size_t i, std::string_view searched, int partial) const;

  // Changes; the list then keeps its entries itself.
  void Insert(size_t i, TIndexEntry entry);
  void Erase(size_t i);
  void Set(size_t i, TIndexEntry entry);
  // Removes the first n entries and returns them.
  std::vector<TIndexEntry> TakeFront(size_t n);

  // Writes entries [0, size()) as a page into a buffer of kNtxPageSize bytes: a branch entry writes
  // its link as the child, a leaf entry child 0; a branch's last slot carries only the rightmost
  // child (record 0). count is the page's key count.
  void Encode(uint8_t* page, uint16_t count, uint16_t key_size, uint16_t max_items) const;

 private:
  // An entry of the list's own: its key is keys_[key_at, key_at + key_size).
  struct Owned {
    uint32_t key_at = 0;
    uint32_t key_size = 0;
    uint32_t recno = 0;
    uint32_t link = 0;
  };
  void Own();
  Owned Keep(std::string_view key, uint32_t recno, uint32_t link);
  NtxPageView View() const { return NtxPageView(page_.data(), key_size_); }

  std::array<uint8_t, kNtxPageSize> page_;
  uint16_t key_size_ = 0;
  size_t count_ = 0;  // entries read in place from page_
  uint32_t rightmost_child_ = 0;
  bool has_bound_ = false;
  TIndexEntry bound_;
  bool owned_ = false;
  std::vector<Owned> entries_;
  std::string keys_;  // the keys of the own entries, one after another (replaced ones stay)
};

}  // namespace fidora
