#include "engine/index/ntx_file.h"

#include <fmt/format.h>

#include <filesystem>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/lock_retry.h"
#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_sort_writer.h"

namespace fidora {

namespace {
std::string TagNameOf(const std::string& file_name) {
  std::string base = std::filesystem::path(file_name).stem().string();
  if (base.size() > 16) base.resize(16);
  return AnsiUpperCase(base);
}
}  // namespace

TNtxFile::TNtxFile(TIndexTable& table, std::unique_ptr<TIndexStorage> storage,
                   std::string file_name)
    : table_(table), storage_(std::move(storage)), file_name_(std::move(file_name)) {
  tag_ = std::make_unique<TNtxTag>(*this, table_, TagNameOf(file_name_));
}

TNtxFile::~TNtxFile() {
  tag_.reset();  // writes what the order still holds
}

std::unique_ptr<TNtxFile> TNtxFile::Open(TIndexTable& table, std::unique_ptr<TIndexStorage> storage,
                                         const std::string& file_name, TxLokProtocol protocol) {
  std::unique_ptr<TNtxFile> file(new TNtxFile(table, std::move(storage), file_name));
  file->SetLockProtocol(protocol);
  file->LoadHeaderSettled();
  file->next_page_known_ = false;
  return file;
}

void TNtxFile::LoadHeaderSettled() {
  try {
    tag_->LoadHeader();
    return;
  } catch (const EXbError& e) {
    if (e.kind() != XbErrorKind::kCorrupted || !storage_->Shared()) throw;
  }
  // Another program may be changing keys right now, with the file marked: once its index
  // lock is free the header is final.
  LockIndex();
  struct Release {
    TNtxFile& f;
    ~Release() { f.UnlockIndex(); }
  } release{*this};
  tag_->LoadHeader();
}

std::unique_ptr<TNtxFile> TNtxFile::Create(TIndexTable& table,
                                           std::unique_ptr<TIndexStorage> storage,
                                           const std::string& file_name,
                                           const std::string& key_expr, const std::string& for_expr,
                                           bool unique, bool ascending) {
  std::unique_ptr<TNtxFile> file(new TNtxFile(table, std::move(storage), file_name));
  file->Truncate(0);
  file->next_page_ = 0;
  file->next_page_known_ = true;
  file->version_ = 0;
  file->AllocPage();  // the header page
  file->CreateOrder(key_expr, for_expr, unique, ascending);
  return file;
}

// CreateIndex steps 3 to 7 on a file whose header page is allocated.
void TNtxFile::CreateOrder(const std::string& key_expr, const std::string& for_expr, bool unique,
                           bool ascending) {
  tag_->Define(key_expr, for_expr, unique, ascending);
  const std::vector<uint8_t> zero(kNtxPageSize, 0);
  WritePage(0, zero.data());
  TNtxSortWriter::Build(table_, *this, *tag_);
}

std::string TNtxFile::CorruptedMessage() const {
  return fmt::format("Index file {} is corrupted", file_name_ + "->" + tag_->TagName());
}

void TNtxFile::ReadPage(uint32_t offset, uint8_t* page) {
  const bool cacheable = offset != 0 && (cache_state_known_ || !storage_->Shared());
  if (cacheable) {
    const auto hit = page_cache_.find(offset);
    if (hit != page_cache_.end()) {
      std::copy(hit->second.begin(), hit->second.end(), page);
      return;
    }
  }
  if (storage_->Read(offset, page, kNtxPageSize) != kNtxPageSize)
    throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  if (!cacheable) return;
  // Full: start again; the few pages near the root come back at once.
  if (page_cache_.size() >= kMaxCachedPages) page_cache_.clear();
  page_cache_[offset].assign(page, page + kNtxPageSize);
}

void TNtxFile::WritePage(uint32_t offset, const uint8_t* page) {
  if (offset != 0) {
    WritePages(offset, page, 1);
    return;
  }
  storage_->Write(0, page, kNtxPageSize);
  // The header carries the root: the state this process writes is the one the cache holds.
  const NtxHeader header = NtxHeader::Decode(page);
  cache_version_ = header.version;
  cache_root_ = header.root;
  cache_state_known_ = header.root != 0;
}

void TNtxFile::WritePages(uint32_t offset, const uint8_t* pages, size_t count) {
  // The first page of a change: the header with the new version and the mark goes first.
  if (changing_keys_ && !mark_on_disk_) WriteMark();
  // A page this process has read stays cached with its new bytes; a failed write leaves no
  // stale copy. Pages only written (a build) are not kept.
  std::vector<size_t> cached;
  for (size_t i = 0; i < count; ++i)
    if (page_cache_.erase(offset + static_cast<uint32_t>(i * kNtxPageSize)) > 0)
      cached.push_back(i);
  storage_->Write(offset, pages, count * kNtxPageSize);
  for (size_t i : cached) {
    const uint8_t* page = pages + i * kNtxPageSize;
    page_cache_[offset + static_cast<uint32_t>(i * kNtxPageSize)].assign(page, page + kNtxPageSize);
  }
}

void TNtxFile::CheckCachedState(uint16_t version, uint32_t root) {
  if (cache_state_known_ && version == cache_version_ && root == cache_root_) return;
  page_cache_.clear();
  cache_version_ = version;
  cache_root_ = root;
  cache_state_known_ = root != 0;
}

void TNtxFile::DropCache() {
  page_cache_.clear();
  cache_state_known_ = false;
}

void TNtxFile::WriteMark() {
  tag_->MarkHeaderDirty();
  tag_->StoreHeader();  // Marked(): with root 0
  mark_on_disk_ = true;
}

uint32_t TNtxFile::AllocPage() {
  if (!next_page_known_) {
    // Another program may have appended pages: continue after the file's last whole page.
    const uint64_t size = storage_->Size();
    next_page_ = static_cast<uint32_t>((size + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize);
    next_page_known_ = true;
  }
  const uint32_t page = next_page_;
  next_page_ += kNtxPageSize;
  return page;
}

void TNtxFile::ReadFileState(uint16_t* version, uint32_t* root) {
  uint8_t bytes[8] = {};
  if (storage_->Read(0, bytes, sizeof bytes) != sizeof bytes)
    throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  *version = GetU16(bytes + 2);
  *root = GetU32(bytes + 4);
  CheckCachedState(*version, *root);
}

uint16_t TNtxFile::ReadFileVersion() {
  uint16_t version = 0;
  uint32_t root = 0;
  ReadFileState(&version, &root);
  return version;
}

bool TNtxFile::IndexChanged() {
  if (!storage_->Shared()) return false;
  return ReadFileVersion() != version_;
}

void TNtxFile::AdoptFileVersion() {
  if (invalid_) throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  // During a change the counter is this process's own step, which may not be written yet.
  if (!storage_->Shared() || changing_keys_ || begun_) return;
  uint32_t root = 0;
  ReadFileState(&version_, &root);
  // The mark of a program that stopped while it changed keys (or of a pack).
  if (root == 0) throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
}

// Steps from the counter in the file (the lock is held), so that every program that knew an
// earlier state sees a different value, whoever wrote last. The end of the file is found now
// too (another program may have appended pages), so that inside a mark nothing but page reads
// and writes happens.
void TNtxFile::StepVersion() {
  AdoptFileVersion();
  if (version_ > 0x7FFE) version_ = 0;
  ++version_;
  next_page_known_ = false;
  AllocPage();
  next_page_ -= kNtxPageSize;
}

void TNtxFile::BeginChange() {
  if (begun_) return;
  StepVersion();
  begun_ = true;
  try {
    WriteMark();
  } catch (...) {
    invalid_ = true;  // the header may be half written
    throw;
  }
}

void TNtxFile::AbandonChange(bool record_written) {
  if (!begun_) return;
  begun_ = false;
  if (record_written) {
    // The record has its new values and this file its old entry: it stays marked.
    invalid_ = true;
    return;
  }
  mark_on_disk_ = false;
  try {
    tag_->MarkHeaderDirty();
    tag_->StoreHeader();
  } catch (...) {
    invalid_ = true;
  }
}

template <class F>
bool TNtxFile::ChangeKeys(F&& change) {
  if (!begun_) StepVersion();
  begun_ = false;
  changing_keys_ = true;
  try {
    // The header goes out marked before the first page written (WritePage), or before the
    // record itself (BeginChange), and unmarked here.
    const bool changed = change();
    changing_keys_ = false;
    mark_on_disk_ = false;
    tag_->MarkHeaderDirty();
    tag_->StoreHeader();
    return changed;
  } catch (...) {
    changing_keys_ = false;
    // With the mark on disk, pages may be half written, or the record may stand without its
    // entry: the file stays marked, here as on disk. Otherwise nothing changed (a key that did
    // not evaluate): the version step goes out alone.
    invalid_ = mark_on_disk_;
    if (!invalid_) {
      try {
        tag_->MarkHeaderDirty();
        tag_->StoreHeader();
      } catch (...) {
        invalid_ = true;
      }
    }
    throw;
  }
}

bool TNtxFile::RecordWritten(uint32_t recno, bool is_new) {
  return ChangeKeys([&] { return tag_->KeyUpdate(recno, is_new); });
}

bool TNtxFile::AddRecordKey(uint32_t recno) {
  return ChangeKeys([&] { return tag_->InsertRecordEntry(recno); });
}

void TNtxFile::MarkInvalid() {
  tag_->ReleaseKeyStack();
  invalid_ = true;
  NtxHeader header = tag_->Header();
  header.root = 0;
  WritePage(0, header.Encode().data());
  storage_->Flush();
}

void TNtxFile::ZapIndex() {
  tag_->ReleaseKeyStack();
  Truncate(2 * kNtxPageSize);
  tag_->SetRoot(kNtxPageSize);
  next_page_ = kNtxPageSize;
  next_page_known_ = true;
  version_ = 1;
  tag_->MarkHeaderDirty();
  tag_->StoreHeader();
  const std::vector<uint8_t> empty = EncodeNtxPage(0, {}, tag_->KeySize(), tag_->MaxItems());
  WritePage(kNtxPageSize, empty.data());
  // A rebuild writes its pages from 1024 on; record writes find the end of the file first.
}

void TNtxFile::RebuildIndex() {
  const std::string key = tag_->KeyExpression();
  const std::string cond = tag_->ForExpression();
  const bool unique = tag_->Unique();
  const bool ascending = !tag_->Descending();
  ZapIndex();
  CreateOrder(key, cond, unique, ascending);
}

void TNtxFile::Truncate(uint64_t length) {
  DropCache();
  storage_->Truncate(length);
  // Cutting a shared file takes and releases the full lock, which on this system's byte-range
  // locks also releases the index lock byte: take it again when it was held.
  if (lock_depth_ > 0 && storage_->Shared())
    storage_->TryLock(lock_range_.offset, lock_range_.length);
}

void TNtxFile::LockIndex() {
  if (!storage_->Shared()) return;
  if (lock_depth_ > 0) {
    ++lock_depth_;
    return;
  }
  const bool locked = RetryLockPausing(
      TLockRetry::Within(lock_timeout_, lock_interval_),
      [this] { return storage_->TryLock(lock_range_.offset, lock_range_.length); },
      [this](std::chrono::milliseconds pause) { storage_->Pause(pause); });
  if (locked) {
    lock_depth_ = 1;
    return;
  }
  throw EXbError(XbErrorKind::kLock, fmt::format("Can not Lock file {}", file_name_));
}

void TNtxFile::UnlockIndex() {
  if (!storage_->Shared() || lock_depth_ == 0) return;
  if (--lock_depth_ == 0) storage_->Unlock(lock_range_.offset, lock_range_.length);
}

void TNtxFile::Flush() {
  tag_->ReleaseKeyStack();
  storage_->Flush();
}

}  // namespace fidora
