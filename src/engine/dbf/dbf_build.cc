#include "engine/dbf/dbf_build.h"

#include <fmt/printf.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/byte_order.h"
#include "engine/dbf/disk_file.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/memo_file.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

constexpr uint32_t kMaxHeaderLength = 65535;   // exclusive
constexpr uint32_t kMaxRecordLength = 65536;   // exclusive
constexpr uint32_t kMaxFieldPosition = 65520;  // exclusive

}  // namespace

TDbfBuild::TDbfBuild(std::string_view file_name, FileIo& io)
    : io_(io), path_(WithDefaultExtension(std::string(Trim(file_name)), ".DBF")) {}

void TDbfBuild::AddField(std::string_view name, char type, uint32_t length, uint32_t decimals) {
  Field f;
  f.name = AnsiUpperCase(Trim(name).substr(0, 10));
  f.type = AnsiUpper(type);
  if (f.name.empty()) throw EXbError(fmt::sprintf("Invalid field name %s", std::string(name)));
  switch (f.type) {
    case 'M':
    case 'B':
    case 'G':
      length = 10, decimals = 0;
      has_memo_ = true;
      break;
    case 'D':
      length = 8, decimals = 0;
      break;
    case 'L':
      length = 1, decimals = 0;
      break;
    case 'C':
      if (length < 1 || length > 65535)
        throw EXbError(fmt::sprintf("Invalid length for field %s", f.name));
      decimals = length >> 8;
      break;
    default:
      if (length < 1 || length > 255 || decimals > 255)
        throw EXbError(fmt::sprintf("Invalid length for field %s", f.name));
      // A number needs room for its point and a digit before it.
      if ((f.type == 'N' || f.type == 'F') && decimals > 0 && decimals + 2 > length)
        throw EXbError(fmt::sprintf("Invalid length for field %s", f.name));
  }
  f.length = length;
  f.length_byte = static_cast<uint8_t>(length & 0xFF);
  f.decimals_byte = static_cast<uint8_t>(decimals);
  if (record_length_ >= kMaxFieldPosition)
    throw EXbError(fmt::sprintf("Invalid length for field %s", f.name));
  record_length_ += length;
  fields_.push_back(std::move(f));
}

void TDbfBuild::Build() {
  const uint32_t header_length = 32 * static_cast<uint32_t>(fields_.size()) + 33;
  if (fields_.empty()) throw EXbError(fmt::sprintf("Table %s has no fields", path_));
  if (header_length >= kMaxHeaderLength)
    throw EXbError(fmt::sprintf("Too many fields for table %s", path_));
  if (record_length_ >= kMaxRecordLength)
    throw EXbError(fmt::sprintf("Record too long for table %s", path_));

  std::vector<uint8_t> bytes(header_length + 1, 0);
  const std::time_t now = std::chrono::system_clock::to_time_t(io_.Now());
  std::tm tm{};
  localtime_r(&now, &tm);
  bytes[0] = has_memo_ ? 0x83 : 0x03;
  bytes[1] = static_cast<uint8_t>(tm.tm_year % 100);
  bytes[2] = static_cast<uint8_t>(tm.tm_mon + 1);
  bytes[3] = static_cast<uint8_t>(tm.tm_mday);
  PutU16(&bytes[8], static_cast<uint16_t>(header_length));
  PutU16(&bytes[10], static_cast<uint16_t>(record_length_));
  for (size_t i = 0; i < fields_.size(); ++i) {
    uint8_t* d = &bytes[32 * (i + 1)];
    const Field& f = fields_[i];
    std::copy(f.name.begin(), f.name.end(), d);
    d[11] = static_cast<uint8_t>(f.type);
    d[16] = f.length_byte;
    d[17] = f.decimals_byte;
  }
  bytes[header_length - 1] = 0x0D;
  bytes[header_length] = 0x1A;

  TDiskFile file(path_, false, true, io_);
  file.Create();
  file.Write(bytes.data(), bytes.size(), 0);
  file.Close();
  if (has_memo_) {
    TMemoFile memo(ChangeFileExtension(file.path(), ".dbt"), false, true, io_);
    memo.CreateMemo(FileBaseName(file.path()));
  }
  path_ = file.path();
}

}  // namespace fidora
