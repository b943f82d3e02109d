// One NTX index file: its storage, page allocation, the version counter shared with other
// programs, the index lock, and the whole-file operations (create, zap, rebuild).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/dbf/lock_protocol.h"
#include "engine/index/index_storage.h"
#include "engine/index/index_table.h"
#include "engine/index/ntx_tag.h"

namespace fidora {

class TNtxFile {
 public:
  // Opens an existing index file: the tag name is the file's base name (at most 16
  // characters) and the header is read.
  static std::unique_ptr<TNtxFile> Open(TIndexTable& table, std::unique_ptr<TIndexStorage> storage,
                                        const std::string& file_name);
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
  void ReadPage(uint32_t offset, uint8_t* page);
  void WritePage(uint32_t offset, const uint8_t* page);
  uint32_t AllocPage();
  void SetNextPageUnknown() { next_page_known_ = false; }

  // Version counter: whether another program has changed the file since this process last
  // knew its state, and the adoption of the file's counter after a reload.
  bool IndexChanged();
  void AdoptFileVersion();
  uint16_t HeldVersion() const { return version_; }
  void SetHeldVersion(uint16_t v) { version_ = v; }

  // A record was written (the index lock is held): the version counter steps first, then the
  // order's keys change. Returns whether the order changed.
  bool RecordWritten(uint32_t recno, bool is_new);

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
  uint16_t ReadFileVersion();

  TIndexTable& table_;
  std::unique_ptr<TIndexStorage> storage_;
  std::string file_name_;
  std::unique_ptr<TNtxTag> tag_;
  uint32_t next_page_ = 0;
  bool next_page_known_ = false;
  uint16_t version_ = 0;
  void Truncate(uint64_t length);

  TLockRange lock_range_ = IndexLockRange(TxLokProtocol::Default);
  int lock_depth_ = 0;
  std::chrono::milliseconds lock_timeout_{5000}, lock_interval_{50};
};

}  // namespace fidora
