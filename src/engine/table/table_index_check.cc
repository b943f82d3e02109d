// Index entries checked against the table's records: the completion of entries the last
// records lack (before every append) and the public check of one record.
#include <fmt/format.h>
#include <fmt/printf.h>

#include <vector>

#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"

namespace fidora {

namespace {
// How far back an append looks for records without their entries. One missing entry is what
// a stopped append leaves; a longer run comes from a program that appended without the index,
// which the reindex repairs.
constexpr uint32_t kTrailingWindow = 1000;
}  // namespace

// The files whose entry of record n the write changes are marked before the record goes out
// (TNtxFile::BeginChange): stopped in between, they open as corrupted instead of holding an
// entry with the old key.
void TTableHandler::BeforeRecordWrite(uint32_t n) {
  if (state_ != State::kNormal || recno() != n || before_recno() != n) return;
  for (auto& slot : slots_)
    if (slot && slot->Tag().WriteChangesEntry()) slot->BeginChange();
}

void TTableHandler::RecordWriteFailed(bool record_written) {
  for (auto& slot : slots_)
    if (slot) slot->AbandonChange(record_written);
}

void TTableHandler::ThrowShortRead() const {
  throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
}

void TTableHandler::BeforeAppend() {
  if (state_ != State::kNormal) return;
  for (auto& slot : slots_)
    if (slot) CompleteTrailingEntries(*slot);
}

// The index locks are held (AppendRecord takes them before the header lock), so every other
// program's append has finished with its indexes: a record at the end of the table without
// its entry can only be left by one that stopped in between.
void TTableHandler::CompleteTrailingEntries(TNtxFile& file) {
  std::vector<uint32_t> missing;
  const uint32_t last = record_count();
  for (uint32_t n = last; n >= 1 && last - n < kTrailingWindow; --n) {
    if (WithRecordInBuffer(n, [&] { return file.Tag().HoldsRecord(n); })) break;
    missing.push_back(n);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    WithRecordInBuffer(*it, [&] { return file.AddRecordKey(*it); });
}

bool TTableHandler::IndexHoldsRecord(const std::string& tag_name, uint32_t n) {
  TNtxFile* file = IndexFileOfTag(tag_name);
  if (!file)
    throw EXbError(XbErrorKind::kNotFound, fmt::format("Cannot find index tag {}", tag_name));
  if (n > record_count()) RefreshHeader();
  if (n == 0 || n > record_count())
    throw EXbError(XbErrorKind::kNotFound,
                   fmt::sprintf("Record number %d is not in table %s", n, path()));
  IndexLock lock(*this);
  return WithRecordInBuffer(n, [&] { return file->Tag().HoldsRecord(n); });
}

}  // namespace fidora
