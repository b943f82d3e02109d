// The single order of an NTX file: its parameters, the key stack (one page list per level from
// the root to the current leaf) and every operation on the B-tree: search, navigation, seeks,
// key insertion and removal, page splits and the update of a written record.
//
// The tag never holds the tree: it holds one root-to-leaf path. Changes are made in the page
// lists and written back (splitting lists that outgrew a page) when the key stack is released.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/index_page_list.h"
#include "engine/index/index_table.h"
#include "engine/index/ntx_key.h"
#include "engine/index/ntx_layout.h"

namespace fidora {

class TNtxFile;

enum class TxReadMode { kFirst, kLast, kNext, kPrevious, kCurrent };

class TNtxTag {
 public:
  // Searches use these record numbers: kAnyRecord matches any entry of an equal key,
  // kAfterEqual positions after all equal keys.
  static constexpr int64_t kAnyRecord = -1;
  static constexpr int64_t kAfterEqual = 0x7FFFFFFF;

  TNtxTag(TNtxFile& file, TIndexTable& table, std::string tag_name);
  ~TNtxTag();
  TNtxTag(const TNtxTag&) = delete;
  TNtxTag& operator=(const TNtxTag&) = delete;

  // Reads the header page and compiles both expressions; the key type comes from the key
  // expression's value on the table's current record buffer. A header without a root page
  // (an invalid file) raises "Index file %s is corrupted".
  void LoadHeader();
  // Writes the header when it is dirty; while the file is marked, with root offset 0.
  void StoreHeader();
  void MarkHeaderDirty() { header_dirty_ = true; }
  // Sets the parameters of a new order (CreateIndex steps 3 and 4); the header is dirty.
  void Define(const std::string& key_expr, const std::string& for_expr, bool unique,
              bool ascending);

  // Navigation. Returns the record number reached or 0; AtEnd/AtBeginning tell why.
  uint32_t ReadKey(TxReadMode mode);
  // Seeks a key given as text (see FormatSeekKey); returns the record number of the matching
  // entry or 0, leaving the order on the match or the first greater entry (AtEnd past all).
  uint32_t SeekKey(const std::string& key);
  // Looks a key up exactly without moving the order; returns its record number or 0.
  uint32_t LookupKey(const std::string& key);
  // Positions the order on record n (the table's current record); returns the record number
  // the order stands on afterwards.
  uint32_t SyncRecord(uint32_t n);
  // Adds a key for a record (AddKey); false when a unique order already holds the key.
  bool AddKey(const std::string& key, uint32_t recno);
  // Brings the order up to date for one written record; true when the order changed.
  bool KeyUpdate(uint32_t recno, bool is_new);
  // Whether writing the record buffer over the record's before-image changes its entry (its
  // key, or whether the FOR condition admits it).
  bool WriteChangesEntry();
  // Adds the entry of record recno with the key of the record buffer when the FOR condition
  // admits it; false when it does not or a unique order holds the key already.
  bool InsertRecordEntry(uint32_t recno);
  // Whether the order holds the entry record recno should have, given the record buffer
  // holds that record: its key with its record number (in a unique order, the key), or no
  // entry when the FOR condition rejects it. Does not move the order. Entries of equal keys
  // are searched from the last one backwards, where recent records stand.
  bool HoldsRecord(uint32_t recno);
  // Raise "Index file %s is corrupted" when the record in the table's record buffer does not
  // carry the key of the entry it was reached by: the current entry's (the order stands on
  // that record), or the key a lookup found exactly. The entry is stale.
  void VerifyCurrentRecord();
  void VerifyRecordKey(const std::string& found_key);
  // Writes every dirty page list and a dirty header, then drops the key stack.
  void ReleaseKeyStack();
  // The same keeping the lists loaded when no page was split: they are then what the file
  // holds.
  void WriteKeyStack();

  // The stored key of the table's current record (key expression, FormatKey without trim).
  std::string CurrentRecordKey();
  bool ForAccepts() { return ForAccepted(false); }
  // The FOR condition on the record buffer, or on the before-image of a written record.
  bool ForAccepted(bool before_image);
  std::string FormatValue(const IndexKeyValue& value, bool trim) const {
    return FormatKey(value, key_type_, key_size_, key_decimals_, trim);
  }

  bool AtEnd() const { return at_end_; }
  bool AtBeginning() const { return at_beginning_; }
  uint32_t CurrentRecno() const { return current_recno_; }
  const std::string& CurrentKey() const { return current_key_; }

  const std::string& TagName() const { return tag_name_; }
  const std::string& KeyExpression() const { return key_expr_; }
  const std::string& ForExpression() const { return for_expr_; }
  NtxKeyType KeyType() const { return key_type_; }
  uint16_t KeySize() const { return key_size_; }
  uint16_t KeyDecimals() const { return key_decimals_; }
  uint16_t MaxItems() const { return max_items_; }
  bool Unique() const { return unique_; }
  bool Descending() const { return descending_; }
  bool HasFor() const { return has_for_; }
  uint32_t Root() const { return root_; }
  void SetRoot(uint32_t root) {
    root_ = root;
    header_dirty_ = true;
  }
  TIndexExpression* KeyExpr() { return key_compiled_.get(); }
  NtxHeader Header() const;

 private:
  friend class TNtxTagTestPeer;
  enum class Reposition { kNone, kOnCurrentRecord };

  // Key stack (ntx_tag.cc).
  void ReloadKeyStack(Reposition mode);
  void LoadRoot();
  void LoadChild(size_t level, uint32_t offset);
  // Reads the page at offset into list as the list of the given level (the levels above it
  // are on the stack).
  void LoadPage(TIndexPageList& list, uint32_t offset, size_t level);
  // Loads the page at offset as the stack's next level.
  void PushPage(uint32_t offset);
  bool OnRightmostPath(size_t level) const;
  bool StackDirty(size_t from_level) const;
  [[noreturn]] void Corrupted() const;

  // Search (ntx_tag.cc). Returns 0 for a match, -1 when stopped at a greater entry, 1 past
  // the last entry.
  int Search(const std::string& key, int64_t recno, int partial);
  int SearchLevel(size_t level, const std::string& key, int64_t recno, int partial);

  // Navigation steps on the leaf lists (ntx_tag_nav.cc).
  bool DescendFirst(size_t level);
  bool DescendLast(size_t level);
  bool StepNext();
  bool StepPrevious();
  bool CurrentEntryValid() const;
  uint32_t TakeCurrent();
  int RepositionOnRecord(bool* exact);

  // Changes and writing (ntx_tag_update.cc).
  void InsertInLeaf(size_t pos, TIndexEntry entry);
  void ReplaceParentSeparator(size_t level);
  void RemoveAt(size_t level, size_t pos);
  bool FindRecordAnywhere(uint32_t recno);
  // Adds the entry of a record to the order (the updating flag is set).
  bool AddEntry(const std::string& key, uint32_t recno);
  // The entry of an existing record after a write: the old one goes when the key (or the FOR
  // condition's verdict) changed, and the new one is added where the record has none;
  // *changed tells whether the order changed. True when nothing changed and the stack, which
  // the order had before, stands on the record's entry.
  bool ReplaceEntry(uint32_t recno, const std::string& new_key, bool accepted, bool had_stack,
                    bool* changed);
  // The sorted record numbers of the entries whose key is key.
  const std::vector<uint32_t>& EntriesOfKey(const std::string& key);
  // Whether a write that keeps the record's key finds its entry: under the key, or (as the
  // search of such a write falls back to) under any key.
  bool HoldsUnchangedEntry(const std::string& key, uint32_t recno);
  // Writes the list of a level; true when it had to be split.
  bool StorePage(size_t level);
  void WriteList(const TIndexPageList& list, uint16_t count);
  std::string EvaluateKey(bool before_image);
  // A key as the order stores it: cut to the key size, trailing blanks removed.
  std::string StoredForm(const std::string& key) const { return TrimKey(key.substr(0, key_size_)); }

  TNtxFile& file_;
  TIndexTable& table_;
  std::string tag_name_;
  std::string key_expr_, for_expr_;
  std::unique_ptr<TIndexExpression> key_compiled_, for_compiled_;
  NtxKeyType key_type_ = NtxKeyType::kText;
  uint16_t key_size_ = 0, key_decimals_ = 0, max_items_ = 0, half_page_ = 1;
  bool unique_ = false, descending_ = false, has_for_ = false;
  uint32_t root_ = 0;
  bool header_dirty_ = false;

  std::vector<TIndexPageList> levels_;  // levels_[0] is the root
  std::string current_key_;
  uint32_t current_recno_ = 0;
  bool at_end_ = false, at_beginning_ = false;
  bool updating_ = false;
};

}  // namespace fidora
