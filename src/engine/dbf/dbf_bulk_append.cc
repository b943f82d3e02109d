#include "engine/dbf/dbf_bulk_append.h"

#include <cstring>

#include "engine/dbf/byte_order.h"

namespace fidora {

namespace {
constexpr size_t kBatchBytes = 1 << 20;
}  // namespace

std::string AlignedFieldText(char type, uint32_t length, std::string_view text) {
  const bool left = type == 'C' || type == 'D' || type == 'L';
  if (!left)
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::string stored(text.substr(0, length));
  if (stored.size() < length) {
    if (left)
      stored.append(length - stored.size(), ' ');
    else
      stored.insert(0, length - stored.size(), ' ');
  }
  return stored;
}

TDbfBulkAppend::TDbfBulkAppend(const std::string& path, FileIo& io)
    : table_(path, false, true, io) {
  table_.Open();
  counted_ = table_.record_count();
  written_to_ = table_.header_length() + uint64_t{counted_} * table_.record_length();
  table_.BlankRecord();
}

TDbfBulkAppend::~TDbfBulkAppend() {
  try {
    table_.Close();
  } catch (const std::exception&) {
    // Nothing more can be done for a table that is being given up.
  }
}

void TDbfBulkAppend::SetAligned(int n, std::string_view text) {
  table_.SetFieldRaw(n, AlignedFieldText(table_.FieldType(n), table_.FieldLength(n), text));
}

void TDbfBulkAppend::Add() {
  table_.record_buffer()[0] = ' ';
  batch_.append(table_.record_buffer(), table_.record_length());
  ++pending_;
  if (batch_.size() >= kBatchBytes) WritePending();
  table_.BlankRecord();
}

void TDbfBulkAppend::WritePending() {
  if (batch_.empty()) return;
  table_.Write(batch_.data(), batch_.size(), written_to_);
  written_to_ += batch_.size();
  batch_.clear();
}

void TDbfBulkAppend::Finish() {
  batch_.push_back('\x1A');
  WritePending();
  --written_to_;  // the next records go over the end-of-file mark
  counted_ += pending_;
  pending_ = 0;
  uint8_t header[TDbfFile::kHeaderSize];
  std::memcpy(header, table_.header_bytes(), sizeof header);
  PutU32(header + 4, counted_);
  table_.Write(header, sizeof header, 0);
  table_.Flush();
}

}  // namespace fidora
