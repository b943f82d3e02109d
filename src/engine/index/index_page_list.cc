#include "engine/index/index_page_list.h"

#include <algorithm>
#include <cstring>

#include "engine/dbf/text_trim.h"
#include "engine/index/ntx_key.h"

namespace fidora {

namespace {
bool IsPageOffset(uint32_t offset) {
  return offset != 0 && offset % kNtxPageSize == 0;
}
}  // namespace

TIndexPageList::TIndexPageList(uint32_t page_offset, bool is_leaf, std::vector<TIndexEntry> entries)
    : offset(page_offset), leaf(is_leaf), owned_(true) {
  entries_.reserve(entries.size() + 1);
  for (const TIndexEntry& e : entries) entries_.push_back(Keep(e.key, e.recno, e.link));
}

TIndexPageList::Owned TIndexPageList::Keep(std::string_view key, uint32_t recno, uint32_t link) {
  const Owned entry{static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(key.size()), recno,
                    link};
  keys_.append(key);
  return entry;
}

bool TIndexPageList::Load(uint32_t page_offset, uint16_t key_size, uint16_t max_items) {
  offset = page_offset;
  key_size_ = key_size;
  owned_ = false;
  has_bound_ = false;
  entries_.clear();
  keys_.clear();
  const NtxPageView view = View();
  if (!view.Valid(max_items)) return false;
  leaf = view.leaf();
  count_ = view.count();
  rightmost_child_ = 0;
  if (leaf) return true;
  for (size_t k = 0; k < count_; ++k)
    if (!IsPageOffset(view.Child(k))) return false;
  rightmost_child_ = view.Child(count_);
  return IsPageOffset(rightmost_child_);
}

void TIndexPageList::AddBound(TIndexEntry bound) {
  if (owned_) {
    entries_.push_back(Keep(bound.key, bound.recno, bound.link));
    return;
  }
  bound_ = std::move(bound);
  has_bound_ = true;
}

std::string_view TIndexPageList::Key(size_t i) const {
  if (owned_) return std::string_view(keys_).substr(entries_[i].key_at, entries_[i].key_size);
  if (i == count_) return bound_.key;
  return TrimTrailingBlanks(View().Key(i));
}

int TIndexPageList::CompareKey(size_t i, std::string_view searched, int partial) const {
  if (owned_ || i == count_) return CompareKeys(searched, Key(i), partial);
  // The stored key is blank-padded to the key size: beyond it, and where its text has ended,
  // a blank stands for each missing byte, as CompareKeys does for the trimmed key.
  const std::string_view stored = View().Key(i);
  const size_t common = std::min(searched.size(), stored.size());
  if (const int c = std::memcmp(searched.data(), stored.data(), common); c != 0)
    return c < 0 ? -1 : 1;
  for (size_t k = common; k < searched.size(); ++k)
    if (searched[k] != ' ') return static_cast<unsigned char>(searched[k]) < ' ' ? -1 : 1;
  return stored.find_first_not_of(' ', common) != std::string_view::npos ? partial : 0;
}

uint32_t TIndexPageList::Recno(size_t i) const {
  if (owned_) return entries_[i].recno;
  if (i == count_) return bound_.recno;
  return View().Recno(i);
}

uint32_t TIndexPageList::Link(size_t i) const {
  if (owned_) return entries_[i].link;
  if (i == count_) return bound_.link;
  const NtxPageView view = View();
  return leaf ? view.Recno(i) : view.Child(i);
}

void TIndexPageList::Own() {
  if (owned_) return;
  std::vector<Owned> entries;
  entries.reserve(size() + 1);
  keys_.clear();
  keys_.reserve((size() + 1) * key_size_);
  for (size_t i = 0; i < size(); ++i) entries.push_back(Keep(Key(i), Recno(i), Link(i)));
  entries_ = std::move(entries);
  owned_ = true;
  has_bound_ = false;
}

void TIndexPageList::Insert(size_t i, TIndexEntry entry) {
  Own();
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(i),
                  Keep(entry.key, entry.recno, entry.link));
}

void TIndexPageList::Erase(size_t i) {
  Own();
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TIndexPageList::Set(size_t i, TIndexEntry entry) {
  Own();
  entries_[i] = Keep(entry.key, entry.recno, entry.link);
}

std::vector<TIndexEntry> TIndexPageList::TakeFront(size_t n) {
  Own();
  std::vector<TIndexEntry> front;
  front.reserve(n);
  for (size_t i = 0; i < n; ++i) front.push_back(Entry(i));
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(n));
  return front;
}

void TIndexPageList::Encode(uint8_t* page, uint16_t count, uint16_t key_size,
                            uint16_t max_items) const {
  const std::vector<uint8_t> empty = EmptyNtxPage(key_size, max_items);
  std::copy(empty.begin(), empty.end(), page);
  PutU16(page, count);
  const size_t n = std::min<size_t>(size(), size_t{max_items} + 1);
  for (size_t i = 0; i < n; ++i) {
    // A branch's last slot carries only the rightmost child; like a built page, no record.
    const bool rightmost = !leaf && i + 1 == size();
    PutNtxSlot(NtxSlot(page, i, key_size, max_items), leaf ? 0 : Link(i), rightmost ? 0 : Recno(i),
               Key(i), key_size);
  }
}

}  // namespace fidora
