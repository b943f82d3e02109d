#include "engine/table/copy_target.h"

#include "engine/dbf/byte_order.h"
#include "engine/dbf/file_names.h"

namespace fidora {

TCopyTarget::TCopyTarget(FileIo& io, const std::string& path, std::vector<uint8_t> header,
                         bool with_memo)
    : io_(io),
      out_(path, false, true, io),
      memo_path_(with_memo ? ChangeFileExtension(out_.path(), ".dbt") : std::string()),
      header_(std::move(header)) {
  try {
    out_.Create();
    offset_ = header_.size();
    if (with_memo) {
      memo_ = std::make_unique<TMemoFile>(memo_path_, false, true, io);
      memo_->CreateMemo(FileBaseName(out_.path()));
    }
  } catch (...) {
    Remove();
    throw;
  }
}

TCopyTarget::~TCopyTarget() {
  if (!finished_) Remove();
}

void TCopyTarget::Remove() {
  memo_.reset();
  out_.Close();
  io_.Unlink(out_.path());
  if (!memo_path_.empty()) io_.Unlink(memo_path_);
}

void TCopyTarget::Add(const std::vector<char>& record) {
  batch_.insert(batch_.end(), record.begin(), record.end());
  ++count_;
  if (batch_.size() >= kBatchBytes) WriteBatch();
}

void TCopyTarget::Finish() {
  batch_.push_back(0x1A);
  WriteBatch();
  PutU32(header_.data() + 4, count_);
  out_.Write(header_.data(), header_.size(), 0);
  out_.Flush();
  if (memo_) memo_->Flush();
  finished_ = true;
}

void TCopyTarget::WriteBatch() {
  out_.Write(batch_.data(), batch_.size(), offset_);
  offset_ += batch_.size();
  batch_.clear();
}

}  // namespace fidora
