#include "engine/dbf/file_page_cache.h"

#include <algorithm>
#include <cstring>

namespace fidora {

namespace {
// Records of closed files kept for a later open; past this many they are all dropped.
constexpr size_t kMaxFileRecords = 1024;
}  // namespace

TFilePageCache::TFilePageCache(size_t budget_bytes)
    : max_slots_(std::max<size_t>(16, budget_bytes / kPageSize)) {}

TFilePageCache::~TFilePageCache() = default;

TFilePageCache::File* TFilePageCache::Attach(uint64_t device, uint64_t inode) {
  const std::pair<uint64_t, uint64_t> identity{device, inode};
  if (files_.size() >= kMaxFileRecords && files_.find(identity) == files_.end())
    std::erase_if(files_, [](const auto& entry) { return entry.second->opens == 0; });
  auto& record = files_[identity];
  if (!record) {
    record = std::make_unique<File>();
    record->id = next_id_++;
  }
  ++record->opens;
  return record.get();
}

TFilePageCache::File* TFilePageCache::AttachPrivate() {
  private_.push_back(std::make_unique<File>());
  File* file = private_.back().get();
  file->id = next_id_++;
  file->opens = 1;
  return file;
}

void TFilePageCache::Detach(File* file) {
  if (!file || --file->opens > 0) return;
  const auto it = std::find_if(private_.begin(), private_.end(),
                               [file](const auto& p) { return p.get() == file; });
  if (it == private_.end()) return;  // a file with identity keeps its record for a later open
  Forget(*file);
  private_.erase(it);
}

void TFilePageCache::ForgetIdentity(uint64_t device, uint64_t inode) {
  const auto it = files_.find({device, inode});
  if (it == files_.end()) return;
  std::unique_ptr<File> record = std::move(it->second);
  files_.erase(it);
  Forget(*record);
  // Opens still holding it keep a record that no later open finds.
  if (record->opens > 0) private_.push_back(std::move(record));
}

size_t TFilePageCache::Bucket(uint64_t key) const {
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (table_.size() - 1);
}

size_t TFilePageCache::Probe(uint64_t key) const {
  size_t i = Bucket(key);
  while (table_[i].slot != kNoSlot && table_[i].key != key) i = (i + 1) & (table_.size() - 1);
  return i;
}

// The table grows with the pages held (at most half full), so a cache that holds little
// takes little memory.
void TFilePageCache::EnsureTable() {
  if (!table_.empty() && 2 * (used_ + 1) <= table_.size()) return;
  size_t size = table_.empty() ? 64 : table_.size() * 2;
  while (size < 2 * (used_ + 1)) size *= 2;
  std::vector<Entry> old = std::move(table_);
  table_.assign(size, Entry{});
  for (const Entry& entry : old)
    if (entry.slot != kNoSlot) table_[Probe(entry.key)] = entry;
}

uint32_t TFilePageCache::Lookup(const File& file, uint64_t offset) {
  if (table_.empty()) return kNoSlot;
  const size_t at = Probe(KeyOf(file, offset));
  const Entry& entry = table_[at];
  if (entry.slot == kNoSlot) return kNoSlot;
  if (entry.generation != file.generation) {  // a page of a forgotten state
    const uint32_t slot = entry.slot;
    Unlink(at);
    Free(slot);
    return kNoSlot;
  }
  return entry.slot;
}

// Linear probing without tombstones: the entries after a removed one move back into the gap
// unless their own bucket lies between the gap and their position.
void TFilePageCache::Unlink(size_t position) {
  const size_t mask = table_.size() - 1;
  size_t gap = position;
  table_[gap] = Entry{};
  for (size_t j = (gap + 1) & mask; table_[j].slot != kNoSlot; j = (j + 1) & mask) {
    const size_t home = Bucket(table_[j].key);
    const bool stays = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
    if (stays) continue;
    table_[gap] = table_[j];
    table_[j] = Entry{};
    gap = j;
  }
}

void TFilePageCache::Free(uint32_t slot) {
  slots_[slot].used = false;
  free_.push_back(slot);
  --used_;
}

void TFilePageCache::Remove(uint64_t key) {
  const size_t at = Probe(key);
  const uint32_t slot = table_[at].slot;
  if (slot == kNoSlot) return;
  Unlink(at);
  Free(slot);
}

uint32_t TFilePageCache::TakeSlot() {
  if (!free_.empty()) {
    const uint32_t slot = free_.back();
    free_.pop_back();
    return slot;
  }
  if (slots_.size() < max_slots_) {
    if (slots_.size() % kSlotsPerChunk == 0)
      chunks_.push_back(std::make_unique<uint8_t[]>(kSlotsPerChunk * kPageSize));
    slots_.emplace_back();
    referenced_.push_back(0);
    return static_cast<uint32_t>(slots_.size() - 1);
  }
  for (;;) {
    Slot& s = slots_[hand_];
    const auto slot = static_cast<uint32_t>(hand_);
    hand_ = (hand_ + 1) % slots_.size();
    if (s.used && referenced_[slot]) {
      referenced_[slot] = 0;
      continue;
    }
    if (s.used) {
      Remove(s.key);  // frees the slot onto free_
      free_.pop_back();
    }
    return slot;
  }
}

bool TFilePageCache::Find(const File& file, uint64_t offset, uint8_t* page) {
  const uint32_t slot = Lookup(file, offset);
  if (slot == kNoSlot) return false;
  referenced_[slot] = 1;
  std::memcpy(page, PageOf(slot), kPageSize);
  return true;
}

void TFilePageCache::Store(const File& file, uint64_t offset, const uint8_t* page) {
  EnsureTable();
  uint32_t slot = Lookup(file, offset);
  if (slot == kNoSlot) {
    slot = TakeSlot();
    const uint64_t key = KeyOf(file, offset);
    table_[Probe(key)] = Entry{key, slot, file.generation};
    slots_[slot] = Slot{key, true};
    referenced_[slot] = 0;  // a page read only once goes first
    ++used_;
  }
  std::memcpy(PageOf(slot), page, kPageSize);
}

bool TFilePageCache::Erase(const File& file, uint64_t offset) {
  const uint32_t slot = Lookup(file, offset);
  if (slot == kNoSlot) return false;
  Remove(slots_[slot].key);
  return true;
}

void TFilePageCache::Forget(File& file) {
  ++file.generation;
  file.content_known = false;
  file.annex.reset();
}

}  // namespace fidora
