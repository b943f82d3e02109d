// One NTX index file: its storage, page allocation, the version counter shared with other
// programs, the index lock, and the whole-file operations (create, zap, rebuild).
//
// Invalid files. A header whose root page offset is 0 marks a file that must not be used: it
// opens as "Index file %s is corrupted" while its key expression, FOR condition and flags stay
// readable, so the file can be rebuilt from its own header. A pack marks the old index files
// so before it switches the table, and every change of keys marks its file while it rewrites
// pages (under the index lock, which keeps other programs out): a process that stops in the
// middle leaves a file that says it is damaged instead of one that silently lacks entries.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/file_page_cache.h"
#include "engine/dbf/lock_protocol.h"
#include "engine/index/index_storage.h"
#include "engine/index/index_table.h"
#include "engine/index/ntx_tag.h"

namespace fidora {

class TNtxFile {
 public:
  // Opens an existing index file: the tag name is the file's base name (at most 16
  // characters) and the header is read. An invalid file raises "Index file %s is corrupted";
  // on a shared file that is only decided under the index lock of the protocol, since another
  // program may be changing keys at that moment.
  static std::unique_ptr<TNtxFile> Open(TIndexTable& table, std::unique_ptr<TIndexStorage> storage,
                                        const std::string& file_name,
                                        TxLokProtocol protocol = TxLokProtocol::Default);
  // Creates the file's order on an emptied storage and builds it from the table's records
  // (CreateIndex): an empty root page when no key is produced.
  static std::unique_ptr<TNtxFile> Create(TIndexTable& table,
                                          std::unique_ptr<TIndexStorage> storage,
                                          const std::string& file_name, const std::string& key_expr,
                                          const std::string& for_expr, bool unique, bool ascending);
  ~TNtxFile();

  TNtxTag& Tag() { return *tag_; }
  const std::string& FileName() const { return file_name_; }
  TIndexStorage& Storage() { return *storage_; }

  // Page access. ReadPage raises "Index file %s is corrupted" on a page that is not there.
  // Pages other than the header are kept in memory (written through; file_page_cache.h, shared
  // with later opens of the same file) while the file's version counter and root, read by
  // AdoptFileVersion and IndexChanged, say that no other program changed the file; a shared
  // file is never read from memory on any other ground. Pages kept from an earlier open serve
  // only while the file also has the identity, change times and size it had when that open
  // closed. While the index lock is held nobody else changes the file, so its counter and
  // root are read once per hold.
  void ReadPage(uint32_t offset, uint8_t* page);
  void WritePage(uint32_t offset, const uint8_t* page);
  // count consecutive pages (not the header) from offset in one write.
  void WritePages(uint32_t offset, const uint8_t* pages, size_t count);
  uint32_t AllocPage();

  // The record numbers of the entries whose key is key, sorted, when this process has read
  // them all under the state the file has now (nullptr when not); RememberKeyRun keeps them.
  // Like the pages they are forgotten when another program changes the file, and whenever this
  // process writes a page of it.
  const std::vector<uint32_t>* KnownKeyRun(const std::string& key);
  const std::vector<uint32_t>& RememberKeyRun(const std::string& key, std::vector<uint32_t> recnos);

  // Version counter: whether another program has changed the file since this process last
  // knew its state, and the adoption of the file's counter after a reload (which raises
  // "corrupted" when the file has been marked invalid meanwhile).
  bool IndexChanged();
  // Returns the root offset the file has (0 when the file was not read: not shared, or during
  // this process's own change).
  uint32_t AdoptFileVersion();
  uint16_t HeldVersion() const { return version_; }
  void SetHeldVersion(uint16_t v) { version_ = v; }

  // A record was written (the index lock is held): the version counter steps first, then the
  // order's keys change. Returns whether the order changed.
  bool RecordWritten(uint32_t recno, bool is_new);
  // Adds the entry of record recno, whose values the table's record buffer holds, as the
  // write of a new record would (the index lock is held); false when the FOR condition or a
  // unique order refuses it.
  bool AddRecordKey(uint32_t recno);
  // Before a record write that will change this file's entry of the record (the index lock
  // is held): the version steps and the header goes out marked now, so that a stop between
  // the record and its entry leaves a file that says it is damaged. RecordWritten then
  // completes the change; AbandonChange ends it when the record write failed (record_written:
  // after the record went out, when the file stays invalid).
  void BeginChange();
  void AbandonChange(bool record_written);
  // Marks the file invalid (see above) and flushes it.
  void MarkInvalid();
  // True while the header written carries the mark: a change is under way, or the file was
  // marked invalid (by MarkInvalid, or by a change of keys that failed).
  bool Marked() const { return changing_keys_ || begun_ || invalid_; }

  // Empties the file to its header and an empty root page.
  void ZapIndex();
  // Zaps, then builds the order again from the table's records.
  void RebuildIndex();

  // The index lock, retried every retry interval until the timeout ("Can not Lock file %s").
  // Nests: only the outermost pair takes and releases the lock.
  void LockIndex();
  void UnlockIndex();
  // Chooses the index lock's byte range (Clipper: one byte at 1 000 000 000).
  void SetLockProtocol(TxLokProtocol protocol) { lock_range_ = IndexLockRange(protocol); }
  void SetLockRetry(std::chrono::milliseconds timeout, std::chrono::milliseconds interval) {
    lock_timeout_ = timeout;
    lock_interval_ = interval;
  }
  void Flush();

  // "Index file %s is corrupted" with this file's and tag's names.
  std::string CorruptedMessage() const;

 private:
  TNtxFile(TIndexTable& table, std::unique_ptr<TIndexStorage> storage, std::string file_name);
  void CreateOrder(const std::string& key_expr, const std::string& for_expr, bool unique,
                   bool ascending);
  void LoadHeaderSettled();
  // Finds this file's record in the page cache (one stamp of the open file) and takes the end
  // of the file from the stamp; fresh: the file was just emptied or made.
  void AttachCache(bool fresh);
  void WriteMark();
  // Version counter and root offset as the file has them now.
  void ReadFileState(uint16_t* version, uint32_t* root);
  uint16_t ReadFileVersion();
  // Steps the version counter (unless BeginChange did) and runs change, which rewrites pages:
  // the header goes out marked before the first page and unmarked after the last. When change
  // fails with the mark on disk, the mark stays.
  template <class F>
  bool ChangeKeys(F&& change);

  TIndexTable& table_;
  std::unique_ptr<TIndexStorage> storage_;
  std::string file_name_;
  std::unique_ptr<TNtxTag> tag_;
  uint32_t next_page_ = 0;
  bool next_page_known_ = false;
  uint16_t version_ = 0;
  bool changing_keys_ = false;  // a change of keys runs
  bool begun_ = false;          // BeginChange has marked the file for the coming change
  bool mark_on_disk_ = false;   // the header in the file carries this process's mark
  bool invalid_ = false;
  void StepVersion();
  void Truncate(uint64_t length);
  // The page cache belongs to the file state (version, root) it was filled under; another
  // state read from the file empties it. A state this process writes keeps the pages, which
  // are written through.
  void SawFileState(uint16_t version, uint32_t root);
  // Under the index lock: the state read or written is the file's until the lock goes.
  void HoldFileState(uint16_t version, uint32_t root);
  void CheckCachedState(uint16_t version, uint32_t root);
  void WroteFileState(uint16_t version, uint32_t root);
  void DropCache();
  bool CacheTrusted() const {
    return cached_ != nullptr && (cached_->content_known || !storage_->Shared());
  }

  // A file without identity on disk (a storage in memory) keeps its pages in a cache of its own.
  static constexpr size_t kOwnCacheBudget = size_t{4} << 20;
  std::unique_ptr<TFilePageCache> own_cache_;
  TFilePageCache* cache_ = nullptr;
  TFilePageCache::File* cached_ = nullptr;
  bool has_identity_ = false;
  std::vector<uint32_t> scratch_run_;  // a key run read while the pages were not trusted
  // The version counter at which next_page_ was last known to be the file's end.
  uint16_t end_version_ = 0;
  // The file's counter and root as read or written during the current hold of the index lock.
  bool hold_known_ = false;
  uint16_t hold_version_ = 0;
  uint32_t hold_root_ = 0;

  TLockRange lock_range_ = IndexLockRange(TxLokProtocol::Default);
  int lock_depth_ = 0;
  std::chrono::milliseconds lock_timeout_{5000}, lock_interval_{50};
};

}  // namespace fidora
