#include "engine/index/ntx_file.h"

#include <fmt/format.h>

#include <filesystem>
#include <thread>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_sort_writer.h"

namespace fidora {

namespace {
std::string TagNameOf(const std::string& file_name) {
  std::string base = std::filesystem::path(file_name).stem().string();
  if (base.size() > 16) base.resize(16);
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return base;
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
                                         const std::string& file_name) {
  std::unique_ptr<TNtxFile> file(new TNtxFile(table, std::move(storage), file_name));
  file->tag_->LoadHeader();
  file->next_page_known_ = false;
  return file;
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
  if (storage_->Read(offset, page, kNtxPageSize) != kNtxPageSize)
    throw EXbError(CorruptedMessage());
}

void TNtxFile::WritePage(uint32_t offset, const uint8_t* page) {
  storage_->Write(offset, page, kNtxPageSize);
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

uint16_t TNtxFile::ReadFileVersion() {
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (storage_->Read(0, bytes, sizeof bytes) != sizeof bytes) throw EXbError(CorruptedMessage());
  return GetU16(bytes + 2);
}

bool TNtxFile::IndexChanged() {
  if (!storage_->Shared()) return false;
  return ReadFileVersion() != version_;
}

void TNtxFile::AdoptFileVersion() {
  if (storage_->Shared()) version_ = ReadFileVersion();
}

bool TNtxFile::RecordWritten(uint32_t recno, bool is_new) {
  // Step from the counter in the file (the lock is held), so that every program that knew an
  // earlier state sees a different value, whoever wrote last.
  AdoptFileVersion();
  if (version_ > 0x7FFE) version_ = 0;
  ++version_;
  tag_->MarkHeaderDirty();
  tag_->StoreHeader();
  SetNextPageUnknown();
  return tag_->KeyUpdate(recno, is_new);
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
  const auto attempts = std::max<int64_t>(1, lock_timeout_ / lock_interval_);
  for (int64_t i = 0; i < attempts; ++i) {
    if (storage_->TryLock(lock_range_.offset, lock_range_.length)) {
      lock_depth_ = 1;
      return;
    }
    if (i + 1 < attempts) std::this_thread::sleep_for(lock_interval_);
  }
  throw EXbError(fmt::format("Can not Lock file {}", file_name_));
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
