#include "engine/index/ntx_tag.h"

#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_file.h"

namespace fidora {

namespace {
// Deeper than any real tree: 32 levels of even two keys hold 2^32 records.
constexpr size_t kMaxLevels = 32;
constexpr uint32_t kPageMask = kNtxPageSize - 1;
}  // namespace

TNtxTag::TNtxTag(TNtxFile& file, TIndexTable& table, std::string tag_name)
    : file_(file), table_(table), tag_name_(std::move(tag_name)) {}

TNtxTag::~TNtxTag() {
  try {
    ReleaseKeyStack();
  } catch (...) {
    // Destruction must not throw; a failed write was reported when it happened.
  }
}

void TNtxTag::Corrupted() const {
  throw EXbError(XbErrorKind::kCorrupted, file_.CorruptedMessage());
}

NtxHeader TNtxTag::Header() const {
  NtxHeader h;
  h.version = file_.HeldVersion();
  h.root = root_;
  h.item_size = NtxItemSize(key_size_);
  h.key_size = key_size_;
  h.key_decimals = key_decimals_;
  h.max_items = max_items_;
  h.half_page = half_page_;
  h.key_expr = key_expr_;
  h.for_expr = for_expr_;
  h.has_for = has_for_;
  h.unique = unique_;
  h.descending = descending_;
  return h;
}

void TNtxTag::LoadHeader() {
  std::vector<uint8_t> page(kNtxPageSize);
  file_.ReadPage(0, page.data());
  const NtxHeader h = NtxHeader::Decode(page.data());
  root_ = h.root;
  file_.SetHeldVersion(h.version);
  key_size_ = h.key_size;
  key_decimals_ = h.key_decimals;
  max_items_ = h.max_items;
  half_page_ = h.half_page;
  unique_ = h.unique;
  descending_ = h.descending;
  key_expr_ = h.key_expr;
  has_for_ = h.has_for && !h.for_expr.empty();
  for_expr_ = has_for_ ? h.for_expr : std::string();
  // A page must hold at least two keys and its slots must fit: anything else is damage.
  const size_t slots_end = 2 * static_cast<size_t>(max_items_) + 4 +
                           (static_cast<size_t>(max_items_) + 1) * NtxItemSize(key_size_);
  if (max_items_ < 2 || slots_end > kNtxPageSize || h.item_size != NtxItemSize(key_size_) ||
      root_ == 0 || (root_ & kPageMask) != 0)
    Corrupted();
  key_compiled_ = table_.Compile(key_expr_);
  for_compiled_ = has_for_ ? table_.Compile(for_expr_) : nullptr;
  key_type_ = KeyTypeOf(key_compiled_->Evaluate(false));
  header_dirty_ = false;
}

void TNtxTag::StoreHeader() {
  if (!header_dirty_) return;
  NtxHeader header = Header();
  if (file_.Marked()) header.root = 0;
  const std::vector<uint8_t> page = header.Encode();
  file_.WritePage(0, page.data());
  header_dirty_ = false;
}

void TNtxTag::Define(const std::string& key_expr, const std::string& for_expr, bool unique,
                     bool ascending) {
  key_expr_ = key_expr.substr(0, kNtxMaxKeyExpr);
  for_expr_ = for_expr.substr(0, kNtxMaxForExpr);
  unique_ = unique;
  descending_ = !ascending;
  has_for_ = !for_expr_.empty();
  key_compiled_ = table_.Compile(key_expr_);
  for_compiled_ = has_for_ ? table_.Compile(for_expr_) : nullptr;

  const IndexKeyValue value = key_compiled_->Evaluate(false);
  key_type_ = KeyTypeOf(value);
  key_decimals_ = 0;
  switch (key_type_) {
    case NtxKeyType::kText:
      key_size_ = static_cast<uint16_t>(value.kind == IndexKeyValue::Kind::kLogical
                                            ? 1
                                            : std::min<size_t>(value.text.size(), 0xFFFF));
      break;
    case NtxKeyType::kDate:
      key_size_ = 8;
      break;
    case NtxKeyType::kNumber: {
      key_size_ = 18;
      key_decimals_ = 4;
      const std::string name = key_expr_.substr(0, key_expr_.find(' '));
      uint16_t len = 0, dec = 0;
      if (table_.FieldSize(name, &len, &dec)) {
        key_size_ = len;
        key_decimals_ = dec;
      }
      break;
    }
  }
  // Keys of 240 bytes or more cannot be sorted and leave too few keys per page.
  if (key_size_ + 1 > 240 || key_size_ == 0)
    throw EXbError(fmt::format("Sort key length must be 1-{} bytes, is {}", 240, key_size_ + 1));
  max_items_ = NtxMaxItems(key_size_);
  half_page_ = 1;
  header_dirty_ = true;
}

std::string TNtxTag::CurrentRecordKey() {
  return FormatKey(key_compiled_->Evaluate(false), key_type_, key_size_, key_decimals_, false);
}

bool TNtxTag::ForAccepted(bool before_image) {
  if (!for_compiled_) return true;
  const IndexKeyValue v = for_compiled_->Evaluate(before_image);
  return v.kind == IndexKeyValue::Kind::kLogical ? v.logical : false;
}

std::string TNtxTag::EvaluateKey(bool before_image) {
  return FormatKey(key_compiled_->Evaluate(before_image), key_type_, key_size_, key_decimals_,
                   true);
}

// ---- key stack ---------------------------------------------------------------------------

bool TNtxTag::OnRightmostPath(size_t level) const {
  for (size_t i = 0; i < level; ++i)
    if (!levels_[i].AtLast()) return false;
  return true;
}

bool TNtxTag::StackDirty(size_t from_level) const {
  for (size_t i = from_level; i < levels_.size(); ++i)
    if (levels_[i].dirty) return true;
  return false;
}

void TNtxTag::LoadPage(TIndexPageList& list, uint32_t offset, size_t level) {
  if (offset == 0 || (offset & kPageMask) != 0 || level >= kMaxLevels) Corrupted();
  file_.ReadPage(offset, list.PageBuffer());
  if (!list.Load(offset, key_size_, max_items_)) Corrupted();
  const TIndexPageList* parent = level > 0 ? &levels_[level - 1] : nullptr;
  const bool parent_entry = parent != nullptr && parent->pos < parent->size();
  if (!list.leaf) {
    // The rightmost child's bound is the parent's entry for this page, also when the page has
    // no key of its own left (every other child was emptied and removed).
    if (!parent_entry)
      list.AddBound({std::string(1, '\xFF'), 0, list.RightmostChild()});
    else
      list.AddBound({std::string(parent->Key(parent->pos)), parent->Recno(parent->pos),
                     list.RightmostChild()});
  } else if (level > 0 && !OnRightmostPath(level) && parent_entry) {
    list.AddBound({std::string(parent->Key(parent->pos)), parent->Recno(parent->pos),
                   parent->Recno(parent->pos)});
  }
}

void TNtxTag::PushPage(uint32_t offset) {
  const size_t level = levels_.size();
  levels_.emplace_back();
  try {
    LoadPage(levels_.back(), offset, level);
  } catch (...) {
    levels_.pop_back();
    throw;
  }
}

void TNtxTag::LoadRoot() {
  if (root_ == 0) {
    std::vector<uint8_t> page(kNtxPageSize);
    file_.ReadPage(0, page.data());
    root_ = NtxHeader::Decode(page.data()).root;
    if (root_ == 0) Corrupted();
  }
  levels_.clear();
  levels_.reserve(kMaxLevels + 1);
  PushPage(root_);
}

void TNtxTag::LoadChild(size_t level, uint32_t offset) {
  if (levels_.size() > level + 1 && levels_[level + 1].offset == offset) return;
  if (StackDirty(level + 1))
    throw EXbError(XbErrorKind::kCorrupted,
                   file_.CorruptedMessage());  // never: changed lists are written first
  levels_.resize(level + 1);
  PushPage(offset);
}

void TNtxTag::ReloadKeyStack(Reposition mode) {
  // The pages of a clean stack stay valid while the file's version counter and root are the
  // ones they were read under: only the positions start again.
  const bool clean = !levels_.empty() && !StackDirty(0) && !header_dirty_;
  const uint16_t held = file_.HeldVersion();
  if (!clean) ReleaseKeyStack();
  const uint32_t root = file_.AdoptFileVersion();
  if (clean && file_.HeldVersion() == held && (root == 0 || root == root_)) {
    current_recno_ = 0;
  } else {
    levels_.clear();
    LoadRoot();
  }
  if (mode == Reposition::kOnCurrentRecord) {
    bool exact = false;
    RepositionOnRecord(&exact);
  }
}

// ---- search --------------------------------------------------------------------------------

int TNtxTag::Search(const std::string& key, int64_t recno, int partial) {
  // Changed lists are written first: the search moves the positions the writing relies on.
  if (StackDirty(0)) WriteKeyStack();
  if (levels_.empty()) LoadRoot();
  return SearchLevel(0, key, recno, partial);
}

int TNtxTag::SearchLevel(size_t level, const std::string& key, int64_t recno, int partial) {
  if (level >= kMaxLevels) Corrupted();
  TIndexPageList* list = &levels_[level];
  list->pos = 0;
  int result = 1;
  const size_t n = list->size();
  while (result > 0 && list->pos < n) {
    const size_t at = list->pos;
    result = list->CompareKey(at, key, partial);
    if (descending_) result = -result;
    if (result == 0 && recno == kAfterEqual) result = 1;
    if (result <= 0 || at + 1 == n) {
      if (!list->leaf) {
        LoadChild(level, list->Link(at));
        result = SearchLevel(level + 1, key, recno, partial);
        list = &levels_[level];
      } else if (result == 0 && recno != kAnyRecord && recno != kAfterEqual &&
                 list->Recno(at) != static_cast<uint64_t>(recno)) {
        result = 1;
      }
    }
    if (result > 0) ++list->pos;
  }
  return result;
}

}  // namespace fidora
