// TFilePageCache: fixed-size pages of files kept in memory, for every file of the process and
// across its opens, within one memory budget. The cache only stores bytes; whoever reads
// through it decides when they are valid. For that each file has a record, found by its
// identity on disk (device and inode) and shared by all opens of the file in this process:
// what the pages are known to belong to (a tag the owner chooses, such as an index file's
// version counter and root), and the stamp the file had when its last open closed, which the
// next open compares with the file's stamp now. Forgetting a file makes all its pages invalid
// at once; their slots are taken back as lookups or the clock hand meet them.
//
// Pages live in slots of one arena, found through an open-addressing table, and are evicted by
// the clock algorithm (a page found again since the hand last passed it is passed over once;
// a page stored and never found again goes first), so a full cache neither allocates nor
// drops the pages in use. One thread uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "engine/dbf/file_io.h"

namespace fidora {

class TFilePageCache {
 public:
  static constexpr size_t kPageSize = 1024;
  static constexpr size_t kDefaultBudget = size_t{128} << 20;

  explicit TFilePageCache(size_t budget_bytes = kDefaultBudget);
  ~TFilePageCache();
  TFilePageCache(const TFilePageCache&) = delete;
  TFilePageCache& operator=(const TFilePageCache&) = delete;

  // Facts its owner derived from a file's pages; they go when the pages are forgotten.
  struct Annex {
    virtual ~Annex() = default;
  };

  // What the cache knows of one file.
  struct File {
    uint32_t id = 0;          // the key of its pages
    uint32_t generation = 0;  // pages of an older generation are forgotten
    int opens = 0;
    bool content_known = false;  // the pages belong to the file as content_tag describes it
    uint64_t content_tag = 0;
    bool closed_known = false;  // closed: the file's stamp when its last open closed
    FileStamp closed;
    std::unique_ptr<Annex> annex;
  };

  // The record of the file with this identity, made when there is none; every Attach is
  // paired with a Detach. A private record (no identity) is never found by another open.
  File* Attach(uint64_t device, uint64_t inode);
  File* AttachPrivate();
  void Detach(File* file);
  // The file with this identity may be gone or replaced (removed, renamed over): its record
  // and pages are forgotten, so that a new file given the same inode starts afresh.
  void ForgetIdentity(uint64_t device, uint64_t inode);

  // Copies the page at offset into page; false when it is not held.
  bool Find(const File& file, uint64_t offset, uint8_t* page);
  // Holds the page's bytes (replacing what was held for it).
  void Store(const File& file, uint64_t offset, const uint8_t* page);
  // Drops the page; true when it was held.
  bool Erase(const File& file, uint64_t offset);
  // Drops every page of the file, what was known of its content and its annex.
  void Forget(File& file);

  size_t pages_held() const { return used_; }

 private:
  static constexpr uint32_t kNoSlot = UINT32_MAX;
  // A position of the table: the page's key (file id and page number), its slot (kNoSlot
  // where the position is empty) and the generation of the file it was stored under.
  struct Entry {
    uint64_t key = 0;
    uint32_t slot = kNoSlot;
    uint32_t generation = 0;
  };
  struct Slot {
    uint64_t key = 0;
    bool used = false;
  };
  static constexpr size_t kSlotsPerChunk = 256;  // 256 KB of pages per allocation

  static uint64_t KeyOf(const File& file, uint64_t offset) {
    return uint64_t{file.id} << 32 | (offset / kPageSize);
  }
  uint8_t* PageOf(uint32_t slot) {
    return chunks_[slot / kSlotsPerChunk].get() + (slot % kSlotsPerChunk) * kPageSize;
  }
  size_t Bucket(uint64_t key) const;
  // The table position holding key, or the empty position where it would go.
  size_t Probe(uint64_t key) const;
  uint32_t Lookup(const File& file, uint64_t offset);
  uint32_t TakeSlot();
  void Unlink(size_t position);
  void Free(uint32_t slot);
  void Remove(uint64_t key);
  void EnsureTable();

  size_t max_slots_;
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::vector<Slot> slots_;
  std::vector<uint8_t> referenced_;  // by slot: read since the clock hand last passed
  std::vector<uint32_t> free_;       // slots given back
  std::vector<Entry> table_;
  size_t used_ = 0;
  size_t hand_ = 0;
  uint32_t next_id_ = 1;
  std::map<std::pair<uint64_t, uint64_t>, std::unique_ptr<File>> files_;
  std::vector<std::unique_ptr<File>> private_;
};

}  // namespace fidora
