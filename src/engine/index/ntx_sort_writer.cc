#include "engine/index/ntx_sort_writer.h"

#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_file.h"
#include "engine/index/ntx_tag.h"
#include "engine/index/tx_sort.h"

namespace fidora {

namespace {
constexpr size_t kMaxBuildLevels = 32;
// Pages written at once (4 KB, a memory page). Larger writes are cheaper for the build itself
// but let the kernel cache the file in large units, and then every one-page update that
// follows the build costs more: a shop's indexes are updated far more often than rebuilt.
constexpr size_t kBatchPages = 4;

// The stored key of the table's current record, without its trailing blanks (the sort drops
// them): straight from the record's fields when the key expression allows it.
std::string_view RecordKey(TNtxTag& tag, std::string& buffer) {
  if (tag.KeyType() == NtxKeyType::kText && tag.KeyExpr()->EvaluateText(buffer))
    return std::string_view(buffer).substr(0, tag.KeySize());
  buffer = tag.FormatValue(tag.KeyExpr()->Evaluate(false), true);
  return buffer;
}
}  // namespace

size_t TNtxSortWriter::KeysPerPage(size_t keys, size_t max_items) {
  const size_t pages = keys / max_items + 1;
  return (keys + pages - 1) / pages;
}

TNtxSortWriter::TNtxSortWriter(TNtxFile& file, TNtxTag& tag, size_t keys_per_page)
    : file_(file),
      tag_(tag),
      keys_per_page_(keys_per_page),
      key_size_(tag.KeySize()),
      max_items_(tag.MaxItems()),
      empty_page_(EmptyNtxPage(key_size_, max_items_)) {
  batch_.reserve(kBatchPages * kNtxPageSize);
}

uint8_t* TNtxSortWriter::Slot(Level& level, size_t k) {
  return NtxSlot(level.page.data(), k, key_size_, max_items_);
}

void TNtxSortWriter::Store(Level& level, uint32_t child, uint32_t recno, std::string_view key) {
  PutNtxSlot(Slot(level, level.count), child, recno, key, key_size_);
  ++level.count;
}

void TNtxSortWriter::Emit(uint32_t offset, Level& level) {
  PutU16(level.page.data(), level.count);
  if (!batch_.empty() && offset != batch_offset_ + batch_.size()) FlushBatch();
  if (batch_.empty()) batch_offset_ = offset;
  batch_.insert(batch_.end(), level.page.begin(), level.page.end());
  if (batch_.size() >= kBatchPages * kNtxPageSize) FlushBatch();
  level.page = empty_page_;
  level.count = 0;
}

void TNtxSortWriter::FlushBatch() {
  if (batch_.empty()) return;
  file_.WritePages(batch_offset_, batch_.data(), batch_.size() / kNtxPageSize);
  batch_.clear();
}

void TNtxSortWriter::Put(size_t level, uint32_t child, uint32_t recno, std::string_view key) {
  if (level >= kMaxBuildLevels) throw EXbError(XbErrorKind::kCorrupted, file_.CorruptedMessage());
  if (levels_.size() <= level) levels_.push_back({empty_page_, 0});
  Level& here = levels_[level];
  if (here.count < keys_per_page_) {
    Store(here, child, recno, key);
    return;
  }
  const uint32_t offset = file_.AllocPage();
  if (level == 0) {
    // The arriving key becomes the separator after this leaf; it lives one level up only.
    Emit(offset, here);
    Put(1, offset, recno, key);
    return;
  }
  // The last entry's slot keeps only its child, the page's rightmost one; its key goes up.
  uint8_t* last = Slot(here, here.count - 1u);
  const uint32_t up_recno = GetU32(last + 4);
  const std::string up(reinterpret_cast<const char*>(last + 8), key_size_);
  PutU32(last + 4, 0);
  --here.count;
  Emit(offset, here);
  Put(level + 1, offset, up_recno, up);
  // levels_ may have grown: take the buffer again.
  Store(levels_[level], child, recno, key);
}

void TNtxSortWriter::Finish() {
  if (levels_.empty()) levels_.push_back({empty_page_, 0});  // no key at all: an empty root
  for (size_t level = 0; level < levels_.size(); ++level) {
    const uint32_t offset = file_.AllocPage();
    const bool has_above = level + 1 < levels_.size();
    if (!has_above) tag_.SetRoot(offset);
    Level& here = levels_[level];
    // A leaf emptied by its last separator stays as an empty rightmost leaf.
    uint32_t last_recno = 0;
    std::string last_key;
    if (here.count > 0) {
      uint8_t* last = Slot(here, here.count - 1u);
      last_recno = GetU32(last + 4);
      last_key.assign(reinterpret_cast<const char*>(last + 8), key_size_);
      if (level > 0) {
        PutU32(last + 4, 0);
        --here.count;
        last_recno = 0;
      }
    }
    Emit(offset, here);
    if (has_above) Put(level + 1, offset, last_recno, last_key);
  }
  FlushBatch();
}

void TNtxSortWriter::Build(TIndexTable& table, TNtxFile& file, TNtxTag& tag) {
  const uint32_t total = table.RecordCount();
  TxSort sort(static_cast<size_t>(tag.KeySize()) + 1, tag.Unique(), !tag.Descending(),
              {table.BuildMemory(), [&table] { return table.OpenScratchFile(); }});
  if (total > 0) {
    sort.Reserve(total);
    table.Status(-1, 1, static_cast<int>(total));
    std::string buffer;
    for (table.BuildFirst(); !table.BuildAtEnd(); table.BuildNext()) {
      const uint32_t recno = table.CurrentRecord();
      if (tag.ForAccepts()) sort.Add(RecordKey(tag, buffer), recno);
      table.Status(1, static_cast<int>(recno), 0);
    }
    table.Status(0, 0, 0);
    table.Status(-1, 2, static_cast<int>(total));
  }
  TNtxSortWriter writer(file, tag, KeysPerPage(sort.Count(), std::max<size_t>(tag.MaxItems(), 1)));
  std::string key;
  uint32_t recno = 0;
  int count = 0;
  while (sort.Next(&key, &recno)) {
    table.Status(2, ++count, 0);
    writer.Put(0, 0, recno, key);
  }
  writer.Finish();
  if (total > 0) table.Status(0, 0, 0);
  tag.MarkHeaderDirty();
  tag.StoreHeader();
}

}  // namespace fidora
