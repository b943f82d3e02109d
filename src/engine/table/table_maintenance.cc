// Whole-table operations: index creation, reindex, copy, pack and zap.
#include <fmt/format.h>
#include <fmt/printf.h>

#include <filesystem>
#include <random>

#include "engine/dbf/file_names.h"
#include "engine/dbf/memo_file.h"
#include "engine/dbf/xb_error.h"
#include "engine/index/index_disk_storage.h"
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
  const bool ahead = read_ahead_on_;
  SetReadAhead(true);
  const std::string full = IndexPath(file_name);
  std::string ext = std::filesystem::path(full).extension().string();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext != ".NTX") {
    SetReadAhead(ahead);
    throw EXbError(fmt::format("File {} could not be found", full));
  }
  BuildingState building(state_, [this, ahead] { SetReadAhead(ahead); });
  auto storage = std::make_unique<TIndexDiskStorage>(full, shared(), read_write(), true);
  const std::string name = storage->Name();
  auto file = TNtxFile::Create(index_view_, std::move(storage), name, key_expr, for_expr, unique,
                               ascending);
  file->Flush();
}

void TTableHandler::Reindex() {
  const std::string name = master_name_;
  SetOrder("", true);
  {
    const bool ahead = read_ahead_on_;
    SetReadAhead(true);
    BuildingState building(state_, [this, ahead] { SetReadAhead(ahead); });
    IndexLock lock(*this);
    for (auto& slot : slots_)
      if (slot) {
        slot->RebuildIndex();
        slot->Flush();
      }
  }
  SetOrder(name, false);
}

void TTableHandler::CopyFile(const std::string& target) {
  if (!LockRangeRetried(FullLockRange()))
    throw EXbError(fmt::sprintf("%s requires full access to file %s", "CopyFile", path()));
  struct Unlocker {
    TTableHandler& t;
    ~Unlocker() { t.TDiskFile::Unlock(); }
  } unlock{*this};
  RefreshHeader();
  StatusNotice(-1, 6, record_count());
  const uint32_t was = position_valid_ ? recno() : 0;

  // The target starts as this table's header and descriptors with no records.
  std::vector<uint8_t> header(header_length());
  if (TDiskFile::Read(header.data(), header.size(), 0) != header.size())
    throw EXbError(fmt::sprintf("Error on Read of file %s", path()));
  const std::string target_path = WithDefaultExtension(target, ".dbf");
  TDiskFile out(target_path, false, true);
  out.Create();
  std::unique_ptr<TMemoFile> memo;
  if (HasMemoFields(field_defs())) {
    memo = std::make_unique<TMemoFile>(ChangeFileExtension(out.path(), ".dbt"), false, true);
    memo->CreateMemo(FileBaseName(out.path()));
  }

  uint32_t copied = 0;
  std::vector<char> batch;
  uint64_t offset = header_length();
  const bool ahead = read_ahead_on_;
  SetReadAhead(true);
  for (bool ok = ReadRecord(kRecFirst); ok; ok = ReadRecord(kRecNext)) {
    StatusNotice(6, recno(), 0);
    std::vector<char> rec(record_buffer(), record_buffer() + record_length());
    for (const TDbfFieldDef& f : field_defs()) {
      if (!IsMemoType(f.type) || !memo) continue;
      const std::string text = GetMemo(static_cast<int>(f.number));
      const uint32_t block = text.empty() ? 0 : memo->WriteMemo(0, text);
      const std::string digits =
          block == 0 ? std::string(f.length, ' ') : fmt::format("{:>{}}", block, f.length);
      std::copy(digits.begin(), digits.end(), rec.begin() + f.offset);
    }
    batch.insert(batch.end(), rec.begin(), rec.end());
    ++copied;
    if (batch.size() >= kReadAheadBytes) {
      out.Write(batch.data(), batch.size(), offset);
      offset += batch.size();
      batch.clear();
    }
  }
  SetReadAhead(ahead);
  batch.push_back(0x1A);
  out.Write(batch.data(), batch.size(), offset);
  header[4] = static_cast<uint8_t>(copied);
  header[5] = static_cast<uint8_t>(copied >> 8);
  header[6] = static_cast<uint8_t>(copied >> 16);
  header[7] = static_cast<uint8_t>(copied >> 24);
  out.Write(header.data(), header.size(), 0);
  out.Flush();
  if (memo) memo->Flush();
  StatusNotice(0, 0, 0);
  if (was > 0) ReadRecord(static_cast<int64_t>(was));
}

void TTableHandler::Pack() {
  RequireExclusive("Pack");
  const std::string master = master_name_;
  const bool ahead = read_ahead_on_, filter_was = filter_on_, deleted_visible = use_deleted_;
  SetOrder("", true);
  filter_on_ = false;
  use_deleted_ = false;
  SetReadAhead(false);

  const std::string dir = path().substr(0, path().rfind('/') + 1);
  std::mt19937_64 rng(std::random_device{}());
  std::string temp;
  do {
    temp = dir + fmt::format("pk{:012x}.dbf", rng() & 0xFFFFFFFFFFFFull);
  } while (std::filesystem::exists(temp));
  const bool had_memo = HasMemoFields(field_defs());
  const std::string memo_path = ChangeFileExtension(path(), ".dbt");
  const std::string temp_memo = ChangeFileExtension(temp, ".dbt");
  const TxLokProtocol protocol = lock_protocol();
  try {
    CopyFile(temp);
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    std::filesystem::remove(temp_memo, ec);
    throw;
  }

  // The packed copy replaces the table by rename: at no moment is the table file missing.
  TDbfFields::Close();
  std::error_code ec;
  std::filesystem::rename(temp, path(), ec);
  if (ec) {
    TDbfFields::Open();
    TDbfFields::SetLockProtocol(protocol);
    throw EXbError(fmt::sprintf("Error on Rename of file %s", temp));
  }
  if (had_memo && std::filesystem::exists(temp_memo)) {
    TMemoFile packed_memo(temp_memo, false, true);
    packed_memo.Open();
    packed_memo.Rename(FileNamePart(memo_path));
  }
  TDbfFields::Open();
  TDbfFields::SetLockProtocol(protocol);
  StatusNotice(0, 0, 0);
  master_name_ = master;
  Reindex();
  read_ahead_on_ = ahead && read_ahead_allowed_;
  filter_on_ = filter_was;
  use_deleted_ = deleted_visible;
  if (filter_) RefreshFilter();
  ReadRecord(kRecFirst);
}

void TTableHandler::Zap() {
  RequireExclusive("Zap");
  if (HasMemoFields(field_defs())) Memo().Reset();
  const uint32_t header_bytes = header_length();
  const TxLokProtocol protocol = lock_protocol();
  TDbfFields::Close();
  {
    // No record: count 0 and the end-of-file byte just after the header.
    TDiskFile raw(path(), false, true);
    raw.Open();
    uint8_t header[TDbfFile::kHeaderSize];
    if (raw.Read(header, sizeof header, 0) != sizeof header)
      throw EXbError(fmt::sprintf("Error on Read of file %s", path()));
    header[4] = header[5] = header[6] = header[7] = 0;
    raw.Write(header, sizeof header, 0);
    const char eof_byte = 0x1A;
    raw.Write(&eof_byte, 1, header_bytes);
    raw.Truncate(header_bytes + 1);
    raw.Flush();
  }
  TDbfFields::Open();
  TDbfFields::SetLockProtocol(protocol);
  ahead_size_ = 0;
  filter_set_.Clear();
  ReadRecord(kRecFirst);
  Reindex();
}

}  // namespace fidora
