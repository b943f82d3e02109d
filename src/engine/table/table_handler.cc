// Opening and closing, index slots, the master order, writes and their notices, read-ahead.
#include "engine/table/table_handler.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"
#include "engine/index/index_disk_storage.h"
#include "engine/table/each_index_file.h"

namespace fidora {

namespace {
std::string Trim(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}
}  // namespace

TTableHandler::TTableHandler(const std::string& path, bool shared, bool read_write, FileIo& io)
    : TDbfFields(path, shared, read_write, io), access_(*this), index_view_(*this) {
  UseReadAhead(&read_ahead_);
}

TTableHandler::~TTableHandler() {
  try {
    TTableHandler::Close();
  } catch (...) {
  }
}

void TTableHandler::Open() {
  TDbfFields::Open();
  link_ = std::make_unique<TxExpUserLink>(access_, table_name(), io());
  at_end_ = at_begin_ = false;
  read_ahead_.SetOn(false);
}

void TTableHandler::Close() {
  CloseIndexes();
  filter_.reset();
  filter_set_.Clear();
  filter_on_ = false;
  read_ahead_.SetOn(false);
  TDbfFields::Close();
  link_.reset();
}

void TTableHandler::SetLockProtocol(TxLokProtocol protocol) {
  TDbfFields::SetLockProtocol(protocol);
  lock_indexes_ = protocol == TxLokProtocol::ClipLock;
  for (auto& slot : slots_)
    if (slot) slot->SetLockProtocol(protocol);
}

void TTableHandler::StatusNotice(long, long, long) {}

void TTableHandler::Rename(const std::string& new_name) {
  // The table's close inside the rename closes the index files: note them, rename those
  // named like the table, and open them all again.
  const std::string old_base = AnsiUpperCase(FileBaseName(path()));
  const std::string master = master_name_;
  const TxLokProtocol protocol = lock_protocol();
  std::vector<std::string> index_paths;
  for (auto& slot : slots_)
    if (slot) index_paths.push_back(static_cast<TIndexDiskStorage&>(slot->Storage()).file().path());
  CloseIndexes();
  TDbfFields::Rename(new_name);
  SetLockProtocol(protocol);
  const std::string new_base = FileBaseName(path());
  for (std::string& index_path : index_paths) {
    if (AnsiUpperCase(FileBaseName(index_path)) != old_base) continue;
    TDiskFile file(index_path, shared(), read_write(), io());
    file.Open();
    file.Rename(new_base + std::filesystem::path(index_path).extension().string());
    index_path = file.path();
  }
  for (const std::string& index_path : index_paths) OpenIndex(index_path);
  const std::string renamed_master =
      AnsiUpperCase(master) == old_base ? AnsiUpperCase(new_base) : master;
  if (!renamed_master.empty()) SetOrder(renamed_master, false);
}

// ---- index files ---------------------------------------------------------------------------

std::string TTableHandler::IndexPath(const std::string& name) const {
  std::string full = Trim(name);
  if (full.find('/') == std::string::npos) {
    const std::string& table = path();
    full = table.substr(0, table.rfind('/') + 1) + full;
  }
  return WithDefaultExtension(full, ".ndx");
}

std::unique_ptr<TNtxFile> TTableHandler::OpenNtx(const std::string& path) {
  return OpenNtx(ResolveName(path, io()));
}

std::unique_ptr<TNtxFile> TTableHandler::OpenNtx(const TResolvedName& path) {
  auto storage = std::make_unique<TIndexDiskStorage>(path, shared(), read_write(), io());
  const std::string name = storage->Name();
  return TNtxFile::Open(index_view_, std::move(storage), name, lock_protocol());
}

int TTableHandler::OpenIndex(const std::string& name) {
  const std::string full = IndexPath(name);
  return OpenIndex(full, ResolveName(full, io()));
}

int TTableHandler::OpenIndex(const std::string& full, const TResolvedName& resolved) {
  for (auto& slot : slots_)
    if (slot &&
        AnsiSameText(static_cast<TIndexDiskStorage&>(slot->Storage()).file().path(), resolved.path))
      return -1;
  auto free_slot = std::find(slots_.begin(), slots_.end(), nullptr);
  if (free_slot == slots_.end())
    throw EXbError(fmt::format("Too many index files open on {}", path()));
  if (!resolved.exists || !AnsiSameText(std::filesystem::path(full).extension().string(), ".NTX"))
    throw EXbError(XbErrorKind::kNotFound, fmt::format("File {} could not be found", full));
  try {
    *free_slot = OpenNtx(resolved);
  } catch (const EXbError& e) {
    // A file that opens but cannot be read as an index is reported as damaged; refused
    // access, expression errors and damage already named pass through.
    if (e.kind() == XbErrorKind::kExpression || e.kind() == XbErrorKind::kCorrupted ||
        e.kind() == XbErrorKind::kAccessDenied)
      throw;
    throw EXbError(XbErrorKind::kCorrupted, fmt::format("Index file {} is corrupted", full));
  }
  return 0;
}

int TTableHandler::OpenIndexes(const std::string& list, const std::string& tag_name) {
  CloseIndexes();
  std::vector<std::string> names;
  std::string current;
  bool quoted = false;
  for (char c : list) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ',' || c == ';' || c == '\t')) {
      names.push_back(Trim(current));
      current.clear();
    } else {
      current += c;
    }
  }
  names.push_back(Trim(current));
  for (const std::string& name : names) {
    if (name.empty()) continue;
    const int result = OpenIndex(name);
    if (result > 0) return result;
  }
  SetOrder(tag_name, false);
  return 0;
}

void TTableHandler::CloseIndexes() {
  master_ = nullptr;
  master_name_.clear();
  for (auto& slot : slots_) slot.reset();
}

std::vector<TNtxFile*> TTableHandler::IndexFiles() {
  std::vector<TNtxFile*> files;
  for (auto& slot : slots_)
    if (slot) files.push_back(slot.get());
  return files;
}

int TTableHandler::TagCount() const {
  return static_cast<int>(
      std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s != nullptr; }));
}

TNtxTag* TTableHandler::TagByNumber(int n) {
  for (auto& slot : slots_)
    if (slot && --n == 0) return &slot->Tag();
  return nullptr;
}

TNtxFile* TTableHandler::IndexFileOfTag(const std::string& tag_name) {
  const std::string wanted = AnsiUpperCase(Trim(tag_name));
  for (auto& slot : slots_)
    if (slot && AnsiUpperCase(slot->Tag().TagName()) == wanted) return slot.get();
  return nullptr;
}

int TTableHandler::SetOrder(const std::string& tag_name, bool keep_position) {
  const std::string name = AnsiUpperCase(Trim(tag_name));
  if (name.empty()) {
    if (master_) master_->ReleaseKeyStack();
    master_ = nullptr;
    master_name_.clear();
    if (read_ahead_allowed_) SetReadAhead(true);
    if (!keep_position) ReadRecord(kRecFirst);
    return 0;
  }
  int slot_number = 0;
  TNtxFile* file = nullptr;
  for (int i = 0; i < kIndexSlots; ++i)
    if (slots_[i] && AnsiUpperCase(slots_[i]->Tag().TagName()) == name) {
      file = slots_[i].get();
      slot_number = i + 1;
      break;
    }
  if (!file) throw EXbError(XbErrorKind::kNotFound, fmt::format("Cannot find index tag {}", name));
  if (master_) master_->ReleaseKeyStack();
  SetReadAhead(false);
  master_ = &file->Tag();
  master_name_ = name;
  if (keep_position && recno() > 0 && !at_end_ && !at_begin_) {
    ReadRecord(kRecSame);
    if (!position_valid_) ReadRecord(kRecFirst);
  } else {
    ReadRecord(kRecFirst);
  }
  return slot_number;
}

// ---- locks ---------------------------------------------------------------------------------

TTableHandler::IndexLock::IndexLock(TTableHandler& table) : table_(table) {
  if (!table_.lock_indexes_) return;
  try {
    for (auto& slot : table_.slots_)
      if (slot) {
        slot->LockIndex();
        ++locked_;
      }
  } catch (...) {
    Release();
    throw;
  }
}

TTableHandler::IndexLock::~IndexLock() {
  Release();
}

void TTableHandler::IndexLock::Release() {
  for (auto& slot : table_.slots_) {
    if (locked_ == 0) break;
    if (slot) {
      slot->UnlockIndex();
      --locked_;
    }
  }
}

// ---- writes and their notices --------------------------------------------------------------

void TTableHandler::WriteRecord(uint32_t n) {
  IndexLock lock(*this);
  TDbfFields::WriteRecord(n);
}

uint32_t TTableHandler::AppendRecord() {
  IndexLock lock(*this);
  const uint32_t n = TDbfFields::AppendRecord();
  at_end_ = at_begin_ = false;
  return n;
}

void TTableHandler::Delete() {
  IndexLock lock(*this);
  TDbfFields::Delete();
}

void TTableHandler::Recall() {
  IndexLock lock(*this);
  TDbfFields::Recall();
}

void TTableHandler::RecordRead() {}

void TTableHandler::RecordWritten(uint32_t recno_written) {
  const uint32_t n = recno_written == 0 ? recno() : recno_written;
  struct Flag {
    bool& f;
    explicit Flag(bool& b) : f(b) { f = true; }
    ~Flag() { f = false; }
  } in_notice(in_write_notice_);
  if (filter_) {
    TxExpValue v = filter_->Evaluate();
    const bool pass = v.type == TxExpType::Boolean && v.logical;
    if (pass)
      filter_set_.Include(n);
    else
      filter_set_.Exclude(n);
  }
  // A file left marked by its failure is invalid until rebuilt; one left unchanged is tried
  // again.
  ForEachIndexFile(
      slots_, [&](auto& file) { file->RecordWritten(n, recno_written == 0); },
      [](TNtxFile& file) { return !file.Marked(); });
  if (master_ && state_ == State::kNormal) {
    master_->SyncRecord(n);
    at_end_ = at_begin_ = false;
  }
}

void TTableHandler::FilesFlushed() {
  for (auto& slot : slots_)
    if (slot) slot->Flush();
}

// ---- read-ahead ----------------------------------------------------------------------------

void TTableHandler::AllowReadAhead(bool allowed) {
  read_ahead_allowed_ = allowed;
  if (!allowed) SetReadAhead(false);
}

void TTableHandler::SetReadAhead(bool on, size_t block_bytes) {
  read_ahead_.SetOn(on && read_ahead_allowed_, block_bytes);
}

void TTableHandler::RequireExclusive(const char* operation) const {
  if (shared())
    throw EXbError(XbErrorKind::kAccessDenied,
                   fmt::sprintf("%s requires full access to file %s", operation, path()));
}

}  // namespace fidora
