// Byte layout of NTX index files: the header page, B-tree pages and the sizes derived from the
// key size. Everything here is pure encoding; nothing touches a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/byte_order.h"  // the page and header numbers are little-endian

namespace fidora {

inline constexpr uint32_t kNtxPageSize = 1024;
inline constexpr size_t kNtxMaxKeyExpr = 255;
inline constexpr size_t kNtxMaxForExpr = 741;

// Greatest number of keys in a page for a key size: always even.
uint16_t NtxMaxItems(uint16_t key_size);
inline uint16_t NtxItemSize(uint16_t key_size) {
  return static_cast<uint16_t>(key_size + 8);
}

// The header page (offset 0). Decode never fails: unknown bytes are ignored.
struct NtxHeader {
  uint16_t version = 0;
  uint32_t root = 0;
  uint16_t item_size = 0;
  uint16_t key_size = 0;
  uint16_t key_decimals = 0;
  uint16_t max_items = 0;
  uint16_t half_page = 1;
  std::string key_expr;
  std::string for_expr;  // kept only when has_for
  bool has_for = false;
  bool unique = false;
  bool descending = false;

  // Composes the header in a zero-filled page of kNtxPageSize bytes.
  std::vector<uint8_t> Encode() const;
  static NtxHeader Decode(const uint8_t* page);
};

// One item slot of a B-tree page.
struct NtxItem {
  uint32_t child = 0;
  uint32_t recno = 0;
  std::string key;  // key_size bytes as stored
};

// A B-tree page read in place: its count and its item slots through the offset table. The
// bytes must outlive the view; check Valid before reading slots of a page from a file.
class NtxPageView {
 public:
  NtxPageView(const uint8_t* page, uint16_t key_size) : page_(page), key_size_(key_size) {}
  uint16_t count() const { return GetU16(page_); }
  size_t SlotOffset(size_t k) const { return GetU16(page_ + 2 + 2 * k); }
  uint32_t Child(size_t k) const { return GetU32(page_ + SlotOffset(k)); }
  uint32_t Recno(size_t k) const { return GetU32(page_ + SlotOffset(k) + 4); }
  // The key bytes as stored (key size bytes, blank-padded).
  std::string_view Key(size_t k) const {
    return {reinterpret_cast<const char*>(page_ + SlotOffset(k) + 8), key_size_};
  }
  // A leaf's first slot has no child.
  bool leaf() const { return Child(0) == 0; }
  // The count is at most max items and every slot the page uses (count of them in a leaf,
  // count + 1 in a branch) lies inside the page behind the offset table.
  bool Valid(uint16_t max_items) const;

 private:
  const uint8_t* page_;
  uint16_t key_size_;
};

// A decoded B-tree page: count keys, and for a branch count + 1 slots (the last carries only
// the rightmost child). Decode checks that every slot the page uses lies inside the page.
struct NtxPage {
  uint16_t count = 0;
  std::vector<NtxItem> items;  // count slots for a leaf, count + 1 for a branch
  bool leaf = true;

  // Reads the slots through the page's offset table; false when the page is malformed
  // (count above max items, or a slot that leaves the page).
  static bool Decode(const uint8_t* page, uint16_t key_size, uint16_t max_items, NtxPage* out);
};

// Fills a zero-filled page: the offset table initialised for max_items, count, and the given
// slots written in offset-table order (keys blank-padded or cut to key_size).
std::vector<uint8_t> EncodeNtxPage(uint16_t count, const std::vector<NtxItem>& slots,
                                   uint16_t key_size, uint16_t max_items);
// The same filled in place: the page with no keys (zero-filled, offset table initialised), the
// item slot k of such a page, and the writing of one slot.
std::vector<uint8_t> EmptyNtxPage(uint16_t key_size, uint16_t max_items);
uint8_t* NtxSlot(uint8_t* page, size_t k, uint16_t key_size, uint16_t max_items);
void PutNtxSlot(uint8_t* slot, uint32_t child, uint32_t recno, std::string_view key,
                uint16_t key_size);

}  // namespace fidora
