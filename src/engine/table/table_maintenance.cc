// Whole-table operations: index creation, reindex, copy, pack and zap.
#include <fmt/format.h>
#include <fmt/printf.h>

#include <filesystem>
#include <optional>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/memo_file.h"
#include "engine/dbf/pack_files.h"
#include "engine/dbf/xb_error.h"
#include "engine/index/index_disk_storage.h"
#include "engine/index/ntx_check.h"
#include "engine/table/copy_target.h"
#include "engine/table/each_index_file.h"
#include "engine/table/index_replace.h"
#include "engine/table/table_handler.h"

namespace fidora {

namespace {

// Leaves the building state (and restores read-ahead) on every path.
class BuildingState {
 public:
  BuildingState(TTableHandler::State& state, std::function<void()> restore)
      : state_(state), restore_(std::move(restore)) {
    state_ = TTableHandler::State::kBuilding;
  }
  ~BuildingState() {
    state_ = TTableHandler::State::kNormal;
    restore_();
  }

 private:
  TTableHandler::State& state_;
  std::function<void()> restore_;
};

bool HasMemoFields(const std::vector<TDbfFieldDef>& defs) {
  for (const TDbfFieldDef& f : defs)
    if (TDbfFields::IsMemoType(f.type)) return true;
  return false;
}

}  // namespace

void TTableHandler::IndexOn(const std::string& file_name, const std::string& tag_name,
                            const std::string& key_expr, const std::string& for_expr, bool unique,
                            bool ascending) {
  (void)tag_name;  // an NTX file's tag is its base name
  CloseIndexes();
  const bool ahead = read_ahead_.On();
  SetReadAhead(true, TRecordReadAhead::kPassBlockBytes);
  const std::string full = IndexPath(file_name);
  if (!AnsiSameText(std::filesystem::path(full).extension().string(), ".NTX")) {
    SetReadAhead(ahead);
    throw EXbError(XbErrorKind::kNotFound, fmt::format("File {} could not be found", full));
  }
  BuildingState building(state_, [this, ahead] { SetReadAhead(ahead); });
  bool replaced = false;
  ReplaceIndexFile(index_view_, io(), full, FileNamePart(ResolveFileName(full, io())),
                   {key_expr, for_expr, unique, ascending}, nullptr, &replaced);
}

void TTableHandler::RebuildSlot(std::unique_ptr<TNtxFile>& slot) {
  TNtxFile& old = *slot;
  const TNtxTag& tag = old.Tag();
  const TIndexDefinition definition{tag.KeyExpression(), tag.ForExpression(), tag.Unique(),
                                    !tag.Descending()};
  TDiskFile& current = static_cast<TIndexDiskStorage&>(old.Storage()).file();
  const std::string path = current.path();
  const std::string name = old.FileName();
  bool replaced = false;
  std::exception_ptr failure;
  try {
    ReplaceIndexFile(index_view_, io(), path, name, definition, &current, &replaced);
  } catch (...) {
    failure = std::current_exception();
  }
  // Without a replacement the slot keeps its file (and may try again); with one it opens the
  // file that carries the name now.
  if (replaced) {
    slot.reset();
    try {
      slot = OpenNtx(path);
    } catch (...) {
      if (!failure) throw;
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TTableHandler::Reindex() {
  const std::string name = master_name_;
  SetOrder("", true);
  {
    const bool ahead = read_ahead_.On();
    SetReadAhead(true, TRecordReadAhead::kPassBlockBytes);
    BuildingState building(state_, [this, ahead] { SetReadAhead(ahead); });
    // A rebuild that failed left the old file in place (or none): it may be tried again.
    ForEachIndexFile(
        slots_, [this](auto& slot) { RebuildSlot(slot); }, [](TNtxFile&) { return true; });
  }
  SetOrder(name, false);
}

void TTableHandler::ReindexFile(const std::string& file_name, const TIndexDefinition* fallback) {
  const std::string full = ResolveFileName(IndexPath(file_name), io());
  std::optional<NtxHeader> header;
  if (io().Exists(full)) {
    TIndexDiskStorage storage(full, true, false, false, io());
    header = ReadNtxHeader(storage);
  }
  const auto build = [&](const TIndexDefinition& d) {
    IndexOn(full, "", d.key_expr, d.for_expr, d.unique, d.ascending);
  };
  if (!header) {
    if (!fallback && !io().Exists(full))
      throw EXbError(XbErrorKind::kNotFound, fmt::format("File {} could not be found", full));
    if (!fallback)
      throw EXbError(XbErrorKind::kCorrupted,
                     fmt::format("Index file {} is corrupted", FileNamePart(full)));
    build(*fallback);
    return;
  }
  try {
    build({header->key_expr, header->for_expr, header->unique, !header->descending});
  } catch (const EXbError& e) {
    // A damaged header may name something that is no expression of this table.
    if (e.kind() != XbErrorKind::kExpression || !fallback) throw;
    build(*fallback);
  }
}

void TTableHandler::MarkIndexesInvalid() {
  for (auto& slot : slots_)
    if (slot) slot->MarkInvalid();
}

void TTableHandler::CopyFile(const std::string& target) {
  if (!LockRangeRetried(FullLockRange()))
    throw EXbError(XbErrorKind::kAccessDenied,
                   fmt::sprintf("%s requires full access to file %s", "CopyFile", path()));
  struct Unlocker {
    TTableHandler& t;
    ~Unlocker() {
      try {
        t.TDiskFile::Unlock();
      } catch (const EXbError&) {
        // Closing the table frees the range anyway.
      }
    }
  } unlock{*this};
  RefreshHeader();
  StatusNotice(-1, 6, record_count());
  const uint32_t was = position_valid_ ? recno() : 0;

  // The target starts as this table's header and descriptors with no records.
  std::vector<uint8_t> header(header_length());
  if (TDiskFile::Read(header.data(), header.size(), 0) != header.size())
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  TCopyTarget out(io(), WithDefaultExtension(target, ".dbf"), std::move(header),
                  HasMemoFields(field_defs()));
  const bool ahead = read_ahead_.On();
  SetReadAhead(true);
  for (bool ok = ReadRecord(kRecFirst); ok; ok = ReadRecord(kRecNext)) {
    StatusNotice(6, recno(), 0);
    std::vector<char> rec(record_buffer(), record_buffer() + record_length());
    if (out.memo()) CopyMemoTexts(*out.memo(), rec);
    out.Add(rec);
  }
  SetReadAhead(ahead);
  out.Finish();
  StatusNotice(0, 0, 0);
  if (was > 0) ReadRecord(static_cast<int64_t>(was));
}

// Each memo text of the current record goes into the copy's memo file; the copied record
// takes the new block numbers.
void TTableHandler::CopyMemoTexts(TMemoFile& memo, std::vector<char>& rec) {
  for (const TDbfFieldDef& f : field_defs()) {
    if (!IsMemoType(f.type)) continue;
    const std::string text = GetMemo(static_cast<int>(f.number));
    const uint32_t block = text.empty() ? 0 : memo.WriteMemo(0, text);
    const std::string digits =
        block == 0 ? std::string(f.length, ' ') : fmt::format("{:>{}}", block, f.length);
    std::copy(digits.begin(), digits.end(), rec.begin() + f.offset);
  }
}

void TTableHandler::Pack() {
  RequireExclusive("Pack");
  const std::string master = master_name_;
  const bool ahead = read_ahead_.On(), filter_was = filter_on_, deleted_visible = use_deleted_;
  SetOrder("", true);
  filter_on_ = false;
  use_deleted_ = false;
  SetReadAhead(false);

  // One set of names per table: copies left by a pack that was stopped before its switch are
  // removed and written anew.
  const TPackFiles files = PackFilesOf(path());
  const bool had_memo = HasMemoFields(field_defs());
  const TxLokProtocol protocol = lock_protocol();
  RemovePackCopies(files);
  CopyFile(files.table_copy);

  // From here on a stop at any moment leaves the old table with its old (or invalid)
  // indexes, or the packed table with invalid or new indexes: the old index files are
  // marked invalid before the table changes, and rebuilt after it.
  try {
    MarkIndexesInvalid();
    SwitchToPackedCopy(files, had_memo, protocol);
  } catch (...) {
    // The table in place, old or packed, gets valid indexes before the error is raised. The
    // copies go when the table was not switched to them.
    if (io().Exists(files.table_copy)) RemovePackCopies(files);
    try {
      if (!is_open()) {
        TDbfFields::Open();
        TDbfFields::SetLockProtocol(protocol);
      }
      Reindex();
    } catch (const EXbError&) {
      // They stay invalid: they open as corrupted and the reindex rebuilds them.
    }
    throw;
  }
  StatusNotice(0, 0, 0);
  master_name_ = master;
  Reindex();
  read_ahead_.SetOn(ahead && read_ahead_allowed_);
  filter_on_ = filter_was;
  use_deleted_ = deleted_visible;
  if (filter_) RefreshFilter();
  ReadRecord(kRecFirst);
}

// The ready memo goes first: left alone, it would be taken for the memo file of a switched
// table (pack_files.h).
void TTableHandler::RemovePackCopies(const TPackFiles& files) {
  io().Unlink(files.ready_memo);
  io().Unlink(files.memo_copy);
  io().Unlink(files.table_copy);
}

// The packed copy replaces the table, and its memo file the table's, by rename: at no moment
// is the table file missing, and a table switched without its memo file is paired with it
// by the next open (FinishPackedMemoSwitch). The copy is held exclusively from before it takes
// the table's name until the memo file has followed, so no other program opens the pair
// half switched. This handler's file is the old table until it is opened again at the end.
void TTableHandler::SwitchToPackedCopy(const TPackFiles& files, bool had_memo,
                                       TxLokProtocol protocol) {
  const bool memo = had_memo && io().Exists(files.memo_copy);
  if (memo) {
    if (io().Rename(files.memo_copy, files.ready_memo) != 0)
      throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Rename of file %s", files.memo_copy));
    SyncDirectory();
  }
  TDiskFile hold(files.table_copy, false, false, io());
  hold.Open();
  if (io().Rename(files.table_copy, path()) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Rename of file %s", files.table_copy));
  try {
    if (memo) FinishPackedMemoSwitch(path(), io());
  } catch (const EXbError&) {
    // Opening the table below tries once more, and raises the error when it fails again.
  }
  std::exception_ptr failure;
  try {
    SyncDirectory();
  } catch (const EXbError&) {
    failure = std::current_exception();
  }
  TDbfFields::Close();
  hold.Close();
  TDbfFields::Open();
  TDbfFields::SetLockProtocol(protocol);
  if (failure) std::rethrow_exception(failure);
}

void TTableHandler::Zap() {
  RequireExclusive("Zap");
  // The indexes would name records that are gone: invalid until rebuilt below.
  MarkIndexesInvalid();
  if (HasMemoFields(field_defs())) Memo().Reset();
  const uint32_t header_bytes = header_length();
  const TxLokProtocol protocol = lock_protocol();
  TDbfFields::Close();
  {
    // No record: count 0 and the end-of-file byte just after the header.
    TDiskFile raw(path(), false, true, io());
    raw.Open();
    uint8_t header[TDbfFile::kHeaderSize];
    if (raw.Read(header, sizeof header, 0) != sizeof header)
      throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
    header[4] = header[5] = header[6] = header[7] = 0;
    raw.Write(header, sizeof header, 0);
    const char eof_byte = 0x1A;
    raw.Write(&eof_byte, 1, header_bytes);
    raw.Truncate(header_bytes + 1);
    raw.Flush();
  }
  TDbfFields::Open();
  TDbfFields::SetLockProtocol(protocol);
  read_ahead_.Drop();
  filter_set_.Clear();
  Reindex();  // ends on the first record
}

}  // namespace fidora
