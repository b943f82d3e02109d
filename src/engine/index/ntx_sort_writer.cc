#include "engine/index/ntx_sort_writer.h"

#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_file.h"
#include "engine/index/ntx_tag.h"
#include "engine/index/tx_sort.h"

namespace fidora {

namespace {
constexpr size_t kMaxBuildLevels = 32;

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
    : file_(file), tag_(tag), keys_per_page_(keys_per_page) {}

void TNtxSortWriter::WriteLevel(size_t level, uint32_t offset, uint16_t count) {
  const std::vector<uint8_t> page =
      EncodeNtxPage(count, levels_[level].items, tag_.KeySize(), tag_.MaxItems());
  file_.WritePage(offset, page.data());
}

void TNtxSortWriter::Put(size_t level, NtxItem item) {
  if (level >= kMaxBuildLevels) throw EXbError(XbErrorKind::kCorrupted, file_.CorruptedMessage());
  if (levels_.size() <= level) levels_.resize(level + 1);
  std::vector<NtxItem>& items = levels_[level].items;
  if (items.size() == keys_per_page_) {
    const uint32_t offset = file_.AllocPage();
    if (level == 0) {
      // The arriving key becomes the separator after this leaf; it lives one level up only.
      WriteLevel(0, offset, static_cast<uint16_t>(items.size()));
      items.clear();
      item.child = offset;
      Put(1, std::move(item));
      return;
    }
    NtxItem up = items.back();
    items.back().recno = 0;  // the slot keeps only its child, the rightmost one
    WriteLevel(level, offset, static_cast<uint16_t>(items.size() - 1));
    items.clear();
    up.child = offset;
    Put(level + 1, std::move(up));
    // levels_ may have grown: take the buffer again.
    levels_[level].items.push_back(std::move(item));
    return;
  }
  items.push_back(std::move(item));
}

void TNtxSortWriter::Finish() {
  if (levels_.empty()) levels_.resize(1);  // no key at all: an empty root page
  for (size_t level = 0; level < levels_.size(); ++level) {
    const uint32_t offset = file_.AllocPage();
    const bool has_above = level + 1 < levels_.size();
    if (!has_above) tag_.SetRoot(offset);
    std::vector<NtxItem>& items = levels_[level].items;
    uint16_t count = static_cast<uint16_t>(items.size());
    // A leaf emptied by its last separator stays as an empty rightmost leaf.
    NtxItem last = items.empty() ? NtxItem{0, 0, std::string()} : items.back();
    if (level > 0) {
      --count;
      items.back().recno = 0;
      last.recno = 0;
    }
    WriteLevel(level, offset, count);
    if (has_above) {
      last.child = offset;
      Put(level + 1, std::move(last));
    }
  }
}

void TNtxSortWriter::Build(TIndexTable& table, TNtxFile& file, TNtxTag& tag) {
  const uint32_t total = table.RecordCount();
  TxSort sort(static_cast<size_t>(tag.KeySize()) + 1, tag.Unique(), !tag.Descending());
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
    writer.Put(0, NtxItem{0, recno, key});
  }
  writer.Finish();
  if (total > 0) table.Status(0, 0, 0);
  tag.MarkHeaderDirty();
  tag.StoreHeader();
}

}  // namespace fidora
