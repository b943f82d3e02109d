// Navigation over the leaf lists of the key stack, seeks and re-positioning.
#include "engine/index/ntx_file.h"
#include "engine/index/ntx_tag.h"

namespace fidora {

// Goes to the first leaf entry below the current entry of `level - 1` (or of the root).
bool TNtxTag::DescendFirst(size_t level) {
  for (size_t l = level;; ++l) {
    TIndexPageList& list = levels_[l];
    list.pos = 0;
    if (list.leaf) break;
    if (list.empty()) Corrupted();
    LoadChild(l, list.Link(0));
  }
  return !levels_.back().empty() || StepNext();
}

bool TNtxTag::DescendLast(size_t level) {
  for (size_t l = level;; ++l) {
    TIndexPageList& list = levels_[l];
    if (list.leaf) {
      if (list.empty()) {
        list.pos = 0;
        return StepPrevious();
      }
      list.pos = list.size() - 1;
      return true;
    }
    if (list.empty()) Corrupted();
    list.pos = list.size() - 1;
    LoadChild(l, list.Link(list.pos));
  }
}

// Moves to the following leaf entry, climbing to the next subtree when the leaf list is done.
// Empty leaf lists (a rightmost leaf whose keys were all removed) are passed over.
bool TNtxTag::StepNext() {
  TIndexPageList& leaf = levels_.back();
  if (leaf.pos + 1 < leaf.size()) {
    ++leaf.pos;
    return true;
  }
  for (size_t l = levels_.size() - 1; l-- > 0;) {
    TIndexPageList& list = levels_[l];
    if (list.pos + 1 < list.size()) {
      ++list.pos;
      LoadChild(l, list.Link(list.pos));
      return DescendFirst(l + 1);
    }
  }
  leaf.pos = leaf.size();
  return false;
}

bool TNtxTag::StepPrevious() {
  TIndexPageList& leaf = levels_.back();
  if (leaf.pos > 0 && leaf.pos <= leaf.size()) {
    --leaf.pos;
    return true;
  }
  for (size_t l = levels_.size() - 1; l-- > 0;) {
    TIndexPageList& list = levels_[l];
    if (list.pos > 0 && list.pos <= list.size()) {
      --list.pos;
      LoadChild(l, list.Link(list.pos));
      return DescendLast(l + 1);
    }
  }
  return false;
}

bool TNtxTag::CurrentEntryValid() const {
  return !levels_.empty() && levels_.back().leaf && levels_.back().pos < levels_.back().size();
}

uint32_t TNtxTag::TakeCurrent() {
  const TIndexPageList& leaf = levels_.back();
  current_key_.assign(leaf.Key(leaf.pos));
  current_recno_ = leaf.Recno(leaf.pos);
  return current_recno_;
}

// Searches the key of the table's current record with its record number. Returns the search
// result; exact tells whether the record's own entry was found (it is then current).
int TNtxTag::RepositionOnRecord(bool* exact) {
  *exact = false;
  const uint32_t recno = table_.CurrentRecord();
  if (recno == 0 || recno > table_.RecordCount() || key_expr_.empty()) return 1;
  const std::string key = EvaluateKey(false);
  const int result = Search(key, recno, -1);
  if (result == 0) {
    *exact = true;
    TakeCurrent();
  }
  return result;
}

uint32_t TNtxTag::ReadKey(TxReadMode mode) {
  current_recno_ = 0;
  at_end_ = at_beginning_ = false;
  bool ok = false;
  switch (mode) {
    case TxReadMode::kFirst:
      ReloadKeyStack(Reposition::kNone);
      ok = DescendFirst(0);
      if (!ok) at_beginning_ = true;
      break;
    case TxReadMode::kLast:
      ReloadKeyStack(Reposition::kNone);
      ok = DescendLast(0);
      if (!ok) at_end_ = true;
      break;
    case TxReadMode::kNext:
    case TxReadMode::kPrevious:
    case TxReadMode::kCurrent: {
      // After another program changed the file the tree is read again and the order finds
      // the table's current record by key and record number. When that record's entry has
      // gone (its key was changed elsewhere), the order stands where that key would be, so a
      // move continues from there instead of from the first key.
      int result = 0;
      bool exact = true;
      if (levels_.empty() || file_.IndexChanged()) {
        ReloadKeyStack(Reposition::kNone);
        result = RepositionOnRecord(&exact);
      }
      const bool next = mode == TxReadMode::kNext;
      if (mode == TxReadMode::kCurrent) {
        ok = exact && CurrentEntryValid();
        if (!ok) at_end_ = at_beginning_ = true;
      } else if (exact) {
        ok = next ? StepNext() : StepPrevious();
        if (!ok) (next ? at_end_ : at_beginning_) = true;
      } else if (result > 0) {  // the record's key lies past every entry
        ok = !next && DescendLast(0);
        if (!ok) (next ? at_end_ : at_beginning_) = true;
      } else {  // standing on the first entry greater than the record's key
        ok = next ? CurrentEntryValid() : StepPrevious();
        if (!ok) (next ? at_end_ : at_beginning_) = true;
      }
      break;
    }
  }
  if (!ok) {
    current_key_.clear();
    return 0;
  }
  return TakeCurrent();
}

uint32_t TNtxTag::SeekKey(const std::string& key) {
  current_recno_ = 0;
  ReloadKeyStack(Reposition::kNone);
  const std::string formatted = FormatSeekKey(key, key_type_, key_size_, key_decimals_);
  at_end_ = at_beginning_ = false;
  const bool exact = table_.ExactSeek() || updating_;
  const int result = Search(formatted, kAnyRecord, exact ? -1 : 0);
  if (result == 0) return TakeCurrent();
  if (result > 0) {
    at_end_ = true;
    current_key_.clear();
    return 0;
  }
  // Standing on the next greater entry: it is current, but the seek found nothing.
  TakeCurrent();
  return 0;
}

uint32_t TNtxTag::LookupKey(const std::string& key) {
  const std::string saved_key = current_key_;
  const uint32_t saved_recno = current_recno_;
  const bool saved_end = at_end_, saved_begin = at_beginning_;
  ReloadKeyStack(Reposition::kNone);
  const std::string formatted = FormatSeekKey(key, key_type_, key_size_, key_decimals_);
  const int result = Search(formatted, kAnyRecord, -1);
  const uint32_t found = result == 0 ? levels_.back().Recno(levels_.back().pos) : 0;
  levels_.clear();
  current_key_ = saved_key;
  current_recno_ = saved_recno;
  at_end_ = saved_end;
  at_beginning_ = saved_begin;
  return found;
}

bool TNtxTag::HoldsRecord(uint32_t recno) {
  if (!ForAccepted(false)) return true;
  const std::string key = StoredForm(EvaluateKey(false));
  const std::string saved_key = current_key_;
  const uint32_t saved_recno = current_recno_;
  const bool saved_end = at_end_, saved_begin = at_beginning_;
  ReloadKeyStack(Reposition::kNone);
  bool held = false;
  if (unique_) {
    held = Search(key, kAnyRecord, -1) == 0;
  } else {
    // After every equal key, then backwards through them: a new key goes after its equals,
    // so a recently written record's entry is met first.
    Search(key, descending_ ? 0 : kAfterEqual, -1);
    while (!held && StepPrevious()) {
      const TIndexPageList& leaf = levels_.back();
      if (leaf.Key(leaf.pos) != key) break;
      held = leaf.Recno(leaf.pos) == recno;
    }
  }
  levels_.clear();
  current_key_ = saved_key;
  current_recno_ = saved_recno;
  at_end_ = saved_end;
  at_beginning_ = saved_begin;
  return held;
}

void TNtxTag::VerifyCurrentRecord() {
  if (current_recno_ == 0 || key_expr_.empty()) return;
  if (StoredForm(EvaluateKey(false)) != current_key_) Corrupted();
}

void TNtxTag::VerifyRecordKey(const std::string& found_key) {
  const std::string stored =
      StoredForm(FormatSeekKey(found_key, key_type_, key_size_, key_decimals_));
  if (StoredForm(EvaluateKey(false)) != stored) Corrupted();
}

uint32_t TNtxTag::SyncRecord(uint32_t n) {
  if (current_recno_ == n && !levels_.empty() && !file_.IndexChanged()) return n;
  ReloadKeyStack(Reposition::kNone);
  bool exact = false;
  RepositionOnRecord(&exact);
  if (!exact) {
    current_recno_ = 0;
    current_key_.clear();
  }
  return current_recno_;
}

}  // namespace fidora
