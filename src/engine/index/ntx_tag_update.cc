// Changes to the order: key insertion and removal in the page lists, writing the lists back
// with page splits, and the update of the order for one written record.
#include <algorithm>
#include <array>

#include "engine/index/ntx_file.h"
#include "engine/index/ntx_tag.h"

namespace fidora {

// The last entry of a list stands for the page in its parent: after it changed, the parent's
// entry for the page becomes a copy of it, and so on upwards while that entry is the parent's
// last as well.
void TNtxTag::ReplaceParentSeparator(size_t level) {
  while (level > 0) {
    TIndexPageList& list = levels_[level];
    TIndexPageList& parent = levels_[level - 1];
    if (list.empty() || parent.pos >= parent.size()) return;
    const size_t last = list.size() - 1;
    parent.Set(parent.pos, {std::string(list.Key(last)), list.Recno(last), list.offset});
    parent.dirty = true;
    if (!parent.AtLast()) return;
    --level;
  }
}

void TNtxTag::InsertInLeaf(size_t pos, TIndexEntry entry) {
  TIndexPageList& leaf = levels_.back();
  leaf.Insert(pos, std::move(entry));
  leaf.pos = pos;
  leaf.dirty = true;
  if (pos + 1 == leaf.size()) ReplaceParentSeparator(levels_.size() - 1);
}

void TNtxTag::RemoveAt(size_t level, size_t pos) {
  TIndexPageList& list = levels_[level];
  const bool was_last = pos + 1 == list.size();
  list.Erase(pos);
  list.dirty = true;
  if (!was_last || level == 0) return;
  if (!list.empty()) {
    ReplaceParentSeparator(level);
    return;
  }
  // An emptied page on the rightmost path stays in the tree as an empty page: removing its
  // entry from the parent would make the parent's last separator the rightmost child pointer
  // and so drop that separator's key from the order.
  if (OnRightmostPath(level)) return;
  levels_.resize(level);  // the page leaves the tree
  RemoveAt(level - 1, levels_[level - 1].pos);
}

bool TNtxTag::AddKey(const std::string& key, uint32_t recno) {
  if (!updating_) ReloadKeyStack(Reposition::kNone);
  const std::string formatted = TrimKey(key.substr(0, key_size_));
  if (unique_ && Search(formatted, kAnyRecord, -1) == 0) return false;
  const int result = Search(formatted, descending_ ? 0 : kAfterEqual, -1);
  TIndexPageList& leaf = levels_.back();
  size_t pos = leaf.pos;
  if (result > 0) {
    // Past every entry: the search went down the rightmost path; append to its leaf.
    for (auto& list : levels_) list.pos = list.empty() ? 0 : list.size() - 1;
    pos = leaf.size();
  }
  InsertInLeaf(pos, {formatted, recno, recno});
  TakeCurrent();
  return true;
}

bool TNtxTag::FindRecordAnywhere(uint32_t recno) {
  if (!DescendFirst(0)) return false;
  do {
    if (levels_.back().Recno(levels_.back().pos) == recno) return true;
  } while (StepNext());
  return false;
}

const std::vector<uint32_t>& TNtxTag::EntriesOfKey(const std::string& key) {
  if (const std::vector<uint32_t>* known = file_.KnownKeyRun(key)) return *known;
  ReloadKeyStack(Reposition::kNone);
  std::vector<uint32_t> recnos;
  // The search stands on the first entry of the key in the order; the rest follow it.
  if (Search(key, kAnyRecord, -1) == 0) {
    do {
      const TIndexPageList& leaf = levels_.back();
      if (leaf.Key(leaf.pos) != key) break;
      recnos.push_back(leaf.Recno(leaf.pos));
    } while (StepNext());
  }
  std::sort(recnos.begin(), recnos.end());
  return file_.RememberKeyRun(key, std::move(recnos));
}

bool TNtxTag::HoldsUnchangedEntry(const std::string& key, uint32_t recno) {
  const std::vector<uint32_t>& recnos = EntriesOfKey(key);
  if (std::binary_search(recnos.begin(), recnos.end(), recno)) return true;
  // As a write that changes no key does: the record is looked for under any key before its
  // entry is added again.
  if (!ForAccepted(true)) return false;
  ReloadKeyStack(Reposition::kNone);
  return FindRecordAnywhere(recno);
}

bool TNtxTag::WriteChangesEntry() {
  const bool was = ForAccepted(true), is = ForAccepted(false);
  return was != is || (is && EvaluateKey(true) != EvaluateKey(false));
}

bool TNtxTag::InsertRecordEntry(uint32_t recno) {
  if (!ForAccepted(false)) return false;
  const std::string key = EvaluateKey(false);
  updating_ = true;
  bool added = false;
  try {
    ReloadKeyStack(Reposition::kNone);
    added = AddKey(key, recno);
    ReleaseKeyStack();
  } catch (...) {
    updating_ = false;
    levels_.clear();
    throw;
  }
  updating_ = false;
  return added;
}

bool TNtxTag::KeyUpdate(uint32_t recno, bool is_new) {
  if (!table_.HasBeforeImage() || !(has_for_ || table_.RecordModified())) return false;
  const bool had_stack = !levels_.empty();
  updating_ = true;
  bool changed = false;
  try {
    const bool accepted = ForAccepted(false);
    const std::string new_key = EvaluateKey(false);
    if (is_new) {
      changed = accepted && AddEntry(new_key, recno);
    } else if (accepted && !had_stack && EvaluateKey(true) == new_key) {
      // The entry keeps its key: only whether it is there matters. Without a key stack to
      // restore, that is asked of the record numbers of the key's entries, read once while the
      // file stays as it is, instead of walking them on every write.
      changed = !HoldsUnchangedEntry(new_key, recno) && AddEntry(new_key, recno);
    } else if (ReplaceEntry(recno, new_key, accepted, had_stack, &changed)) {
      updating_ = false;  // the stack stands where re-positioning on the record would put it
      return false;
    }
    // The stack it had is restored from the lists just written where they still stand.
    if (had_stack)
      WriteKeyStack();
    else
      ReleaseKeyStack();
    updating_ = false;
    if (had_stack) ReloadKeyStack(Reposition::kOnCurrentRecord);
  } catch (...) {
    updating_ = false;
    levels_.clear();  // never keep page lists of a failed change
    throw;
  }
  return changed;
}

bool TNtxTag::AddEntry(const std::string& key, uint32_t recno) {
  ReloadKeyStack(Reposition::kNone);
  return AddKey(key, recno);
}

bool TNtxTag::ReplaceEntry(uint32_t recno, const std::string& new_key, bool accepted,
                           bool had_stack, bool* changed) {
  const std::string old_key = EvaluateKey(true);
  ReloadKeyStack(Reposition::kNone);
  const bool searched = Search(old_key, recno, -1) == 0;
  bool found = searched;
  // The whole order is searched for the record only when its old state could have had an
  // entry: a record outside the FOR condition had none, and scanning every page for it on
  // each write would make such orders unusable on large tables.
  if (!found && ForAccepted(true)) found = FindRecordAnywhere(recno);
  if (new_key != old_key || !accepted) {
    if (found) {
      RemoveAt(levels_.size() - 1, levels_.back().pos);
      *changed = true;
    }
  } else if (found) {
    // The entry is already there with this key.
    if (!searched || !had_stack) return false;
    TakeCurrent();
    return true;
  }
  if (accepted) *changed = AddKey(new_key, recno) || *changed;
  return false;
}

// ---- writing the key stack -----------------------------------------------------------------

void TNtxTag::WriteList(const TIndexPageList& list, uint16_t count) {
  std::array<uint8_t, kNtxPageSize> page{};
  list.Encode(page.data(), count, key_size_, max_items_);
  file_.WritePage(list.offset, page.data());
}

bool TNtxTag::StorePage(size_t level) {
  TIndexPageList* list = &levels_[level];
  list->dirty = false;
  const bool rightmost = OnRightmostPath(level);
  auto page_count = [&](size_t entries, bool rightmost_leaf) {
    const size_t uncounted = list->leaf && rightmost_leaf ? 0 : 1;
    return static_cast<uint16_t>(entries >= uncounted ? entries - uncounted : 0);
  };
  const size_t n = list->size();
  if (n <= max_items_) {
    WriteList(*list, page_count(n, rightmost));
    return false;
  }
  bool root_split = false;
  if (level == 0) {
    // The root keeps its offset: its entries move to a new page below a new root.
    root_split = true;
    const uint32_t moved = file_.AllocPage();
    TIndexPageList root(list->offset, false,
                        {{std::string(list->Key(n - 1)), list->Recno(n - 1), moved}});
    root.dirty = true;
    root.pos = 0;
    list->offset = moved;
    levels_.insert(levels_.begin(), std::move(root));
    level = 1;
    list = &levels_[level];
    header_dirty_ = true;
  }
  const size_t first_half = (n + 1) / 2;
  const uint32_t split_offset = file_.AllocPage();
  TIndexPageList first(split_offset, list->leaf, list->TakeFront(first_half));
  WriteList(first, static_cast<uint16_t>(first_half - 1));
  WriteList(*list, page_count(list->size(), rightmost));

  TIndexPageList& parent = levels_[level - 1];
  TIndexEntry separator = first.Entry(first_half - 1);
  separator.link = split_offset;
  parent.Insert(parent.pos, std::move(separator));
  ++parent.pos;
  parent.dirty = true;
  if (root_split) StorePage(0);
  return true;
}

void TNtxTag::WriteKeyStack() {
  bool split = false;
  for (size_t level = levels_.size(); level-- > 0;)
    if (levels_[level].dirty) split = StorePage(level) || split;
  // A split moved entries to pages the lists do not stand for.
  if (split) levels_.clear();
  StoreHeader();
}

void TNtxTag::ReleaseKeyStack() {
  WriteKeyStack();
  levels_.clear();
  current_recno_ = 0;
}

}  // namespace fidora
