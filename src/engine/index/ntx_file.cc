#include "engine/index/ntx_file.h"

#include <fmt/format.h>

#include <filesystem>
#include <unordered_map>

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
  if (!cached_) return;
  // The stamp the next open compares with: any change by another program since shows in it.
  FileStamp stamp;
  cached_->closed_known = has_identity_ && storage_->Stamp(&stamp);
  if (cached_->closed_known) cached_->closed = stamp;
  cache_->Detach(cached_);
}

void TNtxFile::AttachCache(bool fresh) {
  FileStamp stamp;
  cache_ = storage_->PageCache();
  has_identity_ = cache_ != nullptr && storage_->Stamp(&stamp);
  if (!has_identity_) {
    own_cache_ = std::make_unique<TFilePageCache>(kOwnCacheBudget);
    cache_ = own_cache_.get();
    cached_ = cache_->AttachPrivate();
    return;
  }
  cached_ = cache_->Attach(stamp.device, stamp.inode);
  // With another open of the file in this process the record is current; otherwise its pages
  // are of the file as the last open left it.
  const bool alone = cached_->opens == 1;
  if (fresh || (alone && !(cached_->closed_known && cached_->closed == stamp)))
    cache_->Forget(*cached_);
  if (fresh) return;
  CheckCachedState(version_, tag_->Root());
  // The stamp was taken after the header was read: pages appended meanwhile step the counter.
  next_page_ = static_cast<uint32_t>((static_cast<uint64_t>(stamp.size) + kNtxPageSize - 1) /
                                     kNtxPageSize * kNtxPageSize);
  next_page_known_ = true;
  end_version_ = version_;
}

std::unique_ptr<TNtxFile> TNtxFile::Open(TIndexTable& table, std::unique_ptr<TIndexStorage> storage,
                                         const std::string& file_name, TxLokProtocol protocol) {
  std::unique_ptr<TNtxFile> file(new TNtxFile(table, std::move(storage), file_name));
  file->SetLockProtocol(protocol);
  file->LoadHeaderSettled();
  file->next_page_known_ = false;
  file->AttachCache(false);
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
  file->AttachCache(true);
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
  const bool cacheable = offset != 0 && CacheTrusted();
  if (cacheable && cache_->Find(*cached_, offset, page)) return;
  if (storage_->Read(offset, page, kNtxPageSize) != kNtxPageSize)
    throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  if (offset == 0) {
    SawFileState(GetU16(page + 2), GetU32(page + 4));
    return;
  }
  if (cacheable) cache_->Store(*cached_, offset, page);
}

void TNtxFile::WritePage(uint32_t offset, const uint8_t* page) {
  if (offset != 0) {
    WritePages(offset, page, 1);
    return;
  }
  storage_->Write(0, page, kNtxPageSize);
  WroteFileState(GetU16(page + 2), GetU32(page + 4));
}

void TNtxFile::WritePages(uint32_t offset, const uint8_t* pages, size_t count) {
  // The first page of a change: the header with the new version and the mark goes first.
  if (changing_keys_ && !mark_on_disk_) WriteMark();
  // A page this process has read stays cached with its new bytes; a failed write leaves no
  // stale copy. Pages only written (a build) are not kept.
  std::vector<size_t> cached;
  if (cached_ != nullptr) {
    cached_->annex.reset();  // the key runs may change
    for (size_t i = 0; i < count; ++i)
      if (cache_->Erase(*cached_, offset + i * kNtxPageSize)) cached.push_back(i);
  }
  storage_->Write(offset, pages, count * kNtxPageSize);
  for (size_t i : cached)
    cache_->Store(*cached_, offset + i * kNtxPageSize, pages + i * kNtxPageSize);
}

void TNtxFile::HoldFileState(uint16_t version, uint32_t root) {
  if (lock_depth_ == 0) return;
  hold_known_ = true;
  hold_version_ = version;
  hold_root_ = root;
}

void TNtxFile::SawFileState(uint16_t version, uint32_t root) {
  HoldFileState(version, root);
  CheckCachedState(version, root);
}

void TNtxFile::CheckCachedState(uint16_t version, uint32_t root) {
  if (!cached_) return;
  const uint64_t tag = uint64_t{version} << 32 | root;
  if (cached_->content_known && cached_->content_tag == tag) return;
  cache_->Forget(*cached_);
  cached_->content_known = root != 0;
  cached_->content_tag = tag;
}

void TNtxFile::WroteFileState(uint16_t version, uint32_t root) {
  HoldFileState(version, root);
  if (!cached_) return;
  // While this process changes keys the mark hides the root, but the pages stay its own.
  if (root == 0 && (changing_keys_ || begun_) && !invalid_) root = tag_->Root();
  if (root == 0) {
    cache_->Forget(*cached_);
    return;
  }
  cached_->content_known = true;
  cached_->content_tag = uint64_t{version} << 32 | root;
}

namespace {
// The entries of keys read in full, by key; bounded in record numbers.
struct TKeyRuns : TFilePageCache::Annex {
  static constexpr size_t kMaxRecords = size_t{1} << 20;
  std::unordered_map<std::string, std::vector<uint32_t>> runs;
  size_t records = 0;
};
}  // namespace

const std::vector<uint32_t>* TNtxFile::KnownKeyRun(const std::string& key) {
  if (!CacheTrusted() || !cached_->annex) return nullptr;
  const auto& runs = static_cast<const TKeyRuns&>(*cached_->annex).runs;
  const auto it = runs.find(key);
  return it == runs.end() ? nullptr : &it->second;
}

const std::vector<uint32_t>& TNtxFile::RememberKeyRun(const std::string& key,
                                                      std::vector<uint32_t> recnos) {
  if (!CacheTrusted()) {
    scratch_run_ = std::move(recnos);
    return scratch_run_;
  }
  if (!cached_->annex) cached_->annex = std::make_unique<TKeyRuns>();
  auto& annex = static_cast<TKeyRuns&>(*cached_->annex);
  if (annex.records + recnos.size() > TKeyRuns::kMaxRecords) {
    annex.runs.clear();
    annex.records = 0;
  }
  annex.records += recnos.size();
  return annex.runs.insert_or_assign(key, std::move(recnos)).first->second;
}

void TNtxFile::DropCache() {
  if (cached_) cache_->Forget(*cached_);
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
  if (lock_depth_ > 0 && hold_known_) {
    *version = hold_version_;
    *root = hold_root_;
    return;
  }
  uint8_t bytes[8] = {};
  if (storage_->Read(0, bytes, sizeof bytes) != sizeof bytes)
    throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  *version = GetU16(bytes + 2);
  *root = GetU32(bytes + 4);
  SawFileState(*version, *root);
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

uint32_t TNtxFile::AdoptFileVersion() {
  if (invalid_) throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  // During a change the counter is this process's own step, which may not be written yet.
  if (!storage_->Shared() || changing_keys_ || begun_) return 0;
  uint32_t root = 0;
  ReadFileState(&version_, &root);
  // The mark of a program that stopped while it changed keys (or of a pack).
  if (root == 0) throw EXbError(XbErrorKind::kCorrupted, CorruptedMessage());
  return root;
}

// Steps from the counter in the file (the lock is held), so that every program that knew an
// earlier state sees a different value, whoever wrote last. Pages are appended only by a
// change of keys, which steps the counter: while it is the one at which this process last
// knew the end of the file, that end holds; otherwise it is found now (another program
// appended pages), so that inside a mark nothing but page reads and writes happens.
void TNtxFile::StepVersion() {
  AdoptFileVersion();
  if (version_ != end_version_) next_page_known_ = false;
  if (version_ > 0x7FFE) version_ = 0;
  ++version_;
  AllocPage();
  next_page_ -= kNtxPageSize;
  end_version_ = version_;
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
  end_version_ = version_;
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
  hold_known_ = false;
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
    hold_known_ = false;
    return;
  }
  throw EXbError(XbErrorKind::kLock, fmt::format("Can not Lock file {}", file_name_));
}

void TNtxFile::UnlockIndex() {
  if (!storage_->Shared() || lock_depth_ == 0) return;
  if (--lock_depth_ > 0) return;
  hold_known_ = false;
  storage_->Unlock(lock_range_.offset, lock_range_.length);
}

void TNtxFile::Flush() {
  tag_->ReleaseKeyStack();
  storage_->Flush();
}

}  // namespace fidora
