#include "engine/index/ntx_layout.h"

#include <algorithm>
#include <cstring>

namespace fidora {

uint16_t NtxMaxItems(uint16_t key_size) {
  const int per_page = 1020 / (key_size + 10);
  return static_cast<uint16_t>(2 * ((per_page - 1) / 2));
}

namespace {

void PutText(uint8_t* at, const std::string& text, size_t limit) {
  std::memcpy(at, text.data(), std::min(text.size(), limit));
}

std::string GetText(const uint8_t* at, size_t limit) {
  const auto* end = static_cast<const uint8_t*>(std::memchr(at, 0, limit));
  return std::string(reinterpret_cast<const char*>(at),
                     end ? static_cast<size_t>(end - at) : limit);
}

}  // namespace

std::vector<uint8_t> NtxHeader::Encode() const {
  std::vector<uint8_t> page(kNtxPageSize, 0);
  uint8_t* p = page.data();
  PutU16(p + 0, has_for ? 7 : 6);
  PutU16(p + 2, version);
  PutU32(p + 4, root);
  PutU32(p + 8, 0);
  PutU16(p + 12, item_size);
  PutU16(p + 14, key_size);
  PutU16(p + 16, key_decimals);
  PutU16(p + 18, max_items);
  PutU16(p + 20, half_page);
  PutText(p + 22, key_expr, kNtxMaxKeyExpr);
  p[278] = unique ? 1 : 0;
  p[279] = descending ? 1 : 0;
  if (has_for) PutText(p + 282, for_expr, kNtxMaxForExpr);
  return page;
}

NtxHeader NtxHeader::Decode(const uint8_t* p) {
  NtxHeader h;
  h.has_for = (GetU16(p) & 1) != 0;
  h.version = GetU16(p + 2);
  h.root = GetU32(p + 4);
  h.item_size = GetU16(p + 12);
  h.key_size = GetU16(p + 14);
  h.key_decimals = GetU16(p + 16);
  h.max_items = GetU16(p + 18);
  h.half_page = GetU16(p + 20);
  h.key_expr = GetText(p + 22, 256);
  h.unique = (p[278] & 1) != 0;
  h.descending = (p[279] & 1) != 0;
  if (h.has_for) h.for_expr = GetText(p + 282, kNtxPageSize - 282);
  return h;
}

bool NtxPageView::Valid(uint16_t max_items) const {
  const uint16_t n = count();
  if (n > max_items) return false;
  const size_t item_size = NtxItemSize(key_size_);
  // Where the offset table ends the slots may begin; nothing of the table may be overwritten.
  const size_t table_end = 2 + 2 * (static_cast<size_t>(max_items) + 1);
  auto inside = [&](size_t k) {
    const size_t at = SlotOffset(k);
    return at >= table_end && at + item_size <= kNtxPageSize;
  };
  if (!inside(0)) return false;
  const size_t slots = leaf() ? n : static_cast<size_t>(n) + 1;
  for (size_t k = 1; k < slots; ++k)
    if (!inside(k)) return false;
  return true;
}

bool NtxPage::Decode(const uint8_t* page, uint16_t key_size, uint16_t max_items, NtxPage* out) {
  const NtxPageView view(page, key_size);
  if (!view.Valid(max_items)) return false;
  out->count = view.count();
  out->leaf = view.leaf();
  const size_t slots = out->leaf ? out->count : static_cast<size_t>(out->count) + 1;
  out->items.assign(slots, NtxItem{});
  for (size_t k = 0; k < slots; ++k)
    out->items[k] = {view.Child(k), view.Recno(k), std::string(view.Key(k))};
  return true;
}

std::vector<uint8_t> EmptyNtxPage(uint16_t key_size, uint16_t max_items) {
  std::vector<uint8_t> page(kNtxPageSize, 0);
  const size_t item_size = NtxItemSize(key_size);
  const size_t first = 2 * static_cast<size_t>(max_items) + 4;
  for (size_t k = 0; k <= max_items; ++k)
    PutU16(page.data() + 2 + 2 * k, static_cast<uint16_t>(first + k * item_size));
  return page;
}

uint8_t* NtxSlot(uint8_t* page, size_t k, uint16_t key_size, uint16_t max_items) {
  return page + 2 * static_cast<size_t>(max_items) + 4 + k * NtxItemSize(key_size);
}

void PutNtxSlot(uint8_t* slot, uint32_t child, uint32_t recno, std::string_view key,
                uint16_t key_size) {
  PutU32(slot, child);
  PutU32(slot + 4, recno);
  const size_t n = std::min<size_t>(key.size(), key_size);
  std::memcpy(slot + 8, key.data(), n);
  std::memset(slot + 8 + n, ' ', key_size - n);
}

std::vector<uint8_t> EncodeNtxPage(uint16_t count, const std::vector<NtxItem>& slots,
                                   uint16_t key_size, uint16_t max_items) {
  std::vector<uint8_t> page = EmptyNtxPage(key_size, max_items);
  PutU16(page.data(), count);
  for (size_t k = 0; k < slots.size() && k <= max_items; ++k)
    PutNtxSlot(NtxSlot(page.data(), k, key_size, max_items), slots[k].child, slots[k].recno,
               slots[k].key, key_size);
  return page;
}

}  // namespace fidora
