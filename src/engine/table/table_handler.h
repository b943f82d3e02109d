// TTableHandler: one open table with its open index files. It keeps the master order (a tag
// of an open index file, or physical order), moves through records in that order hiding
// deleted records and records outside the filter, seeks keys, keeps every open index current
// when records are written, locks the index files under the Clipper protocol, and performs
// pack, zap, copy, index creation and reindex.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/pack_files.h"
#include "engine/expr/exp_handler.h"
#include "engine/expr/exp_user_link.h"
#include "engine/index/ntx_file.h"
#include "engine/table/filter_set.h"
#include "engine/table/index_replace.h"
#include "engine/table/table_bindings.h"

namespace fidora {

class TTableHandler : public TDbfFields {
 public:
  static constexpr int kIndexSlots = 63;
  enum class State { kNormal, kBuilding };

  // The table, its memo and index files and the copies a pack makes all go through io, which
  // must outlive the handler.
  TTableHandler(const std::string& path, bool shared, bool read_write, FileIo& io = SystemFileIo());
  ~TTableHandler() override;

  void Open() override;
  void Close() override;
  void SetLockProtocol(TxLokProtocol protocol) override;
  // Renames the table and its memo file, and every open index file named like the table
  // (which keeps its extension).
  void Rename(const std::string& new_name) override;

  // ---- index files ----
  // Closes every index file, opens each name of the list (split at ",", ";" and TAB, double
  // quotes dropped) and selects the tag. Returns 0 on success.
  int OpenIndexes(const std::string& list, const std::string& tag_name);
  // Opens one index file into the lowest free slot; -1 when it is already open.
  int OpenIndex(const std::string& name);
  // The same for the path IndexPath gave for a name, already resolved.
  int OpenIndex(const std::string& full, const TResolvedName& resolved);
  // The path an index name stands for: in the table's directory unless it names one, with
  // ".ndx" unless it has an extension.
  std::string IndexPath(const std::string& name) const;
  void CloseIndexes();
  int TagCount() const;
  // Tag number n (1-based, across the open files in slot order), nullptr when none.
  TNtxTag* TagByNumber(int n);
  TNtxFile* IndexFileOfTag(const std::string& tag_name);
  std::vector<TNtxFile*> IndexFiles();
  // Selects the master order (empty: physical order); returns the slot of the file, 0 for
  // physical order. Raises "Cannot find index tag %s".
  int SetOrder(const std::string& tag_name, bool keep_position);
  TNtxTag* MasterTag() { return master_; }
  const std::string& MasterName() const { return master_name_; }

  // ---- navigation ----
  // n > 0: that record as it is; 0: blank and at end; kRecNext, kRecPrevious, kRecFirst,
  // kRecLast, kRecSame: in master order, deleted and filtered records passed over.
  bool ReadRecord(int64_t n);
  void Skip(int64_t n);
  // Seeks a key in the master order (exact and near settings below).
  bool Find(const std::string& key);
  // Looks a key up exactly in a named tag without moving the table; the record number, or 0.
  // Raises "Cannot find index tag %s".
  uint32_t SeekInTag(const std::string& tag_name, const std::string& key);
  // Whether the tag's index holds the entry record n should have (its current key with its
  // record number, or none when the tag's FOR condition rejects it), without moving the table:
  // one record read and one descent of the tree. For a quick check of an index against the
  // last records of its table. Raises "Cannot find index tag %s", "Record number %d is not in
  // table %s", and "Index file %s is corrupted" for an invalid index.
  bool IndexHoldsRecord(const std::string& tag_name, uint32_t n);
  // Finds the first record whose listed fields (";"-separated) hold the values.
  bool Locate(const std::string& fields, const std::vector<std::string>& values,
              uint32_t start_record, bool partial, bool case_insensitive);
  uint32_t CountRecords(bool exact);

  bool Eof() const { return at_end_; }
  bool Bof() const { return at_begin_; }
  bool Found() const { return found_; }
  void set_exact(bool on) { exact_ = on; }
  bool exact() const { return exact_; }
  void set_near(bool on) { near_ = on; }
  void set_use_deleted(bool on) { use_deleted_ = on; }

  // ---- filter ----
  // Compiles the filter and builds its record set; "Filter expression must return boolean
  // result" when it is not logical. Empty text drops it.
  void SetFilter(const std::string& text, bool case_insensitive, bool partial);
  void SetFilterRequested(bool on);
  bool FilterOn() const { return filter_on_; }
  void RefreshFilter();

  // ---- writes (index files locked around each) ----
  void WriteRecord(uint32_t n);
  // Before the new record is written, under the header lock, the open indexes get the
  // entries that the table's last records lack (an append that stopped between writing its
  // record and updating the indexes, or a program that appended without them); see
  // CompleteTrailingEntries.
  uint32_t AppendRecord();
  void Delete();
  void Recall();

  // ---- whole-table operations ----
  // Every rebuild writes the new index file beside the old one and renames it over it
  // (index_replace.h): the old file is never emptied in place, and replacing it needs that
  // no other program has it open ("Access denied to file %s").
  void IndexOn(const std::string& file_name, const std::string& tag_name,
               const std::string& key_expr, const std::string& for_expr, bool unique,
               bool ascending);
  // Rebuilds every open index file from its own definition.
  void Reindex();
  // Rebuilds one index file (closing every open one, as IndexOn does) from the definition in
  // its own header, which an index marked invalid or otherwise damaged keeps. Where the header
  // has none, or one that is no expression of this table, the fallback is built when given;
  // otherwise "Index file %s is corrupted" (or the expression's error) is raised.
  void ReindexFile(const std::string& file_name, const TIndexDefinition* fallback = nullptr);
  void CopyFile(const std::string& target);
  // Copies the live records beside the table, marks the open index files invalid, renames the
  // copy over the table, then rebuilds the indexes.
  void Pack();
  void Zap();

  void SetReadAhead(bool on, size_t block_bytes = TRecordReadAhead::kBlockBytes);
  void AllowReadAhead(bool allowed);
  // The memory an index build's sort may hold (IndexOn, Reindex); past it the build writes
  // sorted runs to scratch files beside the table and merges them.
  void SetBuildMemory(size_t bytes) { build_memory_ = bytes; }
  size_t build_memory() const { return build_memory_; }

  // Progress notices (stat1, stat2, stat3) of long operations.
  void StatusNotice(long stat1, long stat2, long stat3) override;

  // Every open index file locked for the guard's life (with the lock-indexes flag).
  class IndexLock {
   public:
    explicit IndexLock(TTableHandler& table);
    ~IndexLock();
    IndexLock(const IndexLock&) = delete;
    IndexLock& operator=(const IndexLock&) = delete;

   private:
    void Release();
    TTableHandler& table_;
    size_t locked_ = 0;
  };

  // Expression and index views of this table.
  TxExpUserLink& Link() { return *link_; }
  TTableIndexView& IndexView() { return index_view_; }
  // Runs f with the before-image of the written record in the record buffer.
  template <class F>
  auto WithBeforeImage(F&& f);
  State state() const { return state_; }
  bool in_write_notice() const { return in_write_notice_; }

 protected:
  void RecordRead() override;
  void RecordWritten(uint32_t recno) override;
  void FilesFlushed() override;
  void BeforeAppend() override;
  void BeforeRecordWrite(uint32_t n) override;
  void RecordWriteFailed(bool record_written) override;
  bool IndexInFirstSlot() const override { return slots_[0] != nullptr; }
  // Whether the current record passes the filter (slot 58).
  virtual bool RecordVisible();

 private:
  friend class TTableIndexView;
  bool Visible();
  uint32_t StepTag(int64_t code);
  uint32_t StepFilterSet(int64_t code);
  std::unique_ptr<TNtxFile> OpenNtx(const std::string& path);
  std::unique_ptr<TNtxFile> OpenNtx(const TResolvedName& path);
  void BuildFilterSet();
  bool LocateByTag(TNtxTag& tag, const std::string& fields, const std::vector<std::string>& values,
                   bool partial);
  bool LocateByScan(const std::string& fields, const std::vector<std::string>& values,
                    uint32_t start_record, bool partial, bool case_insensitive);
  void RequireExclusive(const char* operation) const;
  void VerifyMasterEntry();
  void CompleteTrailingEntries(TNtxFile& file);
  // Runs f with record n's stored bytes in the record buffer, then puts the buffer back.
  template <class F>
  auto WithRecordInBuffer(uint32_t n, F&& f);
  [[noreturn]] void ThrowShortRead() const;
  void CopyMemoTexts(TMemoFile& memo, std::vector<char>& rec);
  void RebuildSlot(std::unique_ptr<TNtxFile>& slot);
  void MarkIndexesInvalid();
  void RemovePackCopies(const TPackFiles& files);
  void SwitchToPackedCopy(const TPackFiles& files, bool had_memo, TxLokProtocol protocol);

  TTableFieldAccess access_;
  TTableIndexView index_view_;
  std::unique_ptr<TxExpUserLink> link_;

  std::array<std::unique_ptr<TNtxFile>, kIndexSlots> slots_;
  TNtxTag* master_ = nullptr;
  std::string master_name_;

  bool at_end_ = false, at_begin_ = false, found_ = false;
  bool exact_ = false, near_ = false, position_valid_ = false;
  bool use_deleted_ = false;
  bool lock_indexes_ = false;
  State state_ = State::kNormal;
  bool in_write_notice_ = false;
  bool before_image_mode_ = false;

  // Read-ahead while records are read in record order, where allowed.
  bool read_ahead_allowed_ = true;
  size_t build_memory_ = kDefaultBuildMemory;
  TRecordReadAhead read_ahead_;

  // Filter.
  std::string filter_text_;
  std::unique_ptr<TxExpHandler> filter_;
  bool filter_ci_ = false, filter_partial_ = true;
  TFilterSet filter_set_;
  bool filter_requested_ = false, filter_on_ = false;
};

template <class F>
auto TTableHandler::WithBeforeImage(F&& f) {
  std::vector<char> saved(record_buffer(), record_buffer() + record_length());
  std::copy(before_image(), before_image() + record_length(), record_buffer());
  before_image_mode_ = true;
  struct Restore {
    TTableHandler& t;
    std::vector<char>& saved;
    ~Restore() {
      std::copy(saved.begin(), saved.end(), t.record_buffer());
      t.before_image_mode_ = false;
    }
  } restore{*this, saved};
  return f();
}

template <class F>
auto TTableHandler::WithRecordInBuffer(uint32_t n, F&& f) {
  std::vector<char> saved(record_buffer(), record_buffer() + record_length());
  if (ReadRecordBytes(record_buffer(), n) != record_length()) {
    std::copy(saved.begin(), saved.end(), record_buffer());
    ThrowShortRead();
  }
  struct Restore {
    TTableHandler& t;
    std::vector<char>& saved;
    ~Restore() { std::copy(saved.begin(), saved.end(), t.record_buffer()); }
  } restore{*this, saved};
  return f();
}

// A handler owned by a dataset: the dataset's filter-record and status callbacks.
class TDataSetHandler : public TTableHandler {
 public:
  using TTableHandler::TTableHandler;
  std::function<bool()> on_filter_record;  // false rejects the current record
  std::function<void(int, int, int)> on_status;

  void StatusNotice(long stat1, long stat2, long stat3) override {
    if (on_status)
      on_status(static_cast<int>(stat1), static_cast<int>(stat2), static_cast<int>(stat3));
  }

 protected:
  bool RecordVisible() override {
    if (on_filter_record && !on_filter_record()) return false;
    return TTableHandler::RecordVisible();
  }
};

}  // namespace fidora
