#include "engine/dbf/dbf_file.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "engine/dbf/byte_order.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/memo_file.h"
#include "engine/dbf/pack_files.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

constexpr uint32_t kMaxDescriptors = 4096;
// Bytes read at once when a table is opened: the header and the field descriptors of up to
// 126 fields.
constexpr size_t kHeaderReadAhead = 4096;

bool KnownVersion(uint8_t v) {
  return v == 0x03 || v == 0x04 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5;
}

// Local date and the change stamp ((hour*64 + minute)*64 + second)*1024 + millisecond.
struct Now {
  std::tm tm{};
  uint32_t stamp = 0;
};

Now LocalNow(FileIo& io) {
  const auto since_epoch = io.Now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  Now now;
  const time_t secs = static_cast<time_t>(ms / 1000);
  localtime_r(&secs, &now.tm);
  const auto hour = static_cast<uint32_t>(now.tm.tm_hour);
  const auto minute = static_cast<uint32_t>(now.tm.tm_min);
  const auto second = static_cast<uint32_t>(now.tm.tm_sec);
  const auto millisecond = static_cast<uint32_t>(ms % 1000);
  now.stamp = ((hour * 64 + minute) * 64 + second) * 1024 + millisecond;
  return now;
}

void PutDate(uint8_t* p, const std::tm& tm) {
  p[0] = static_cast<uint8_t>(tm.tm_year % 100);
  p[1] = static_cast<uint8_t>(tm.tm_mon + 1);
  p[2] = static_cast<uint8_t>(tm.tm_mday);
}

}  // namespace

TDbfFile::TDbfFile(const std::string& path, bool shared, bool read_write, FileIo& io)
    : TDiskFile(WithDefaultExtension(path, ".DBF"), shared, read_write, io) {}

TDbfFile::~TDbfFile() {
  try {
    TDbfFile::Close();
  } catch (const std::exception&) {
    // A destructor cannot report; Close below has freed the handle anyway.
  }
}

std::string TDbfFile::table_name() const {
  return FileBaseName(path());
}

uint32_t TDbfFile::change_stamp() const {
  return GetU32(header_ + 16);
}

int64_t TDbfFile::last_update() const {
  int year = header_[1];
  year += year < 80 ? 2000 : 1900;
  return TxDBFDate::EncodeDay(year, header_[2], header_[3]);
}

void TDbfFile::Open() {
  if (is_open()) return;
  TDiskFile::Open();
  try {
    ReadHeaderAndFields();
    // A pack stopped between its renames left the packed table with the old memo file.
    for (const TDbfFieldDef& f : fields_)
      if (IsMemoType(f.type)) {
        FinishPackedMemoSwitch(path(), io());
        break;
      }
  } catch (...) {
    TDiskFile::Close();
    throw;
  }
  protocol_ = TxLokProtocol::Default;
  header_dirty_ = false;
  file_locked_ = false;
  header_locked_ = false;
  recno_ = 0;
  before_recno_ = 0;
  bof_ = eof_ = false;
}

void TDbfFile::ReadHeaderAndFields() {
  // One read brings the header with the field descriptors of any usual table.
  std::vector<uint8_t> start(kHeaderReadAhead);
  const size_t got = Read(start.data(), start.size(), 0);
  if (got < kHeaderSize)
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  std::memcpy(header_, start.data(), kHeaderSize);
  if (!KnownVersion(header_[0]))
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Table Header for %s is invalid", path()));
  if (header_[15] != 0)
    throw EXbError(XbErrorKind::kAccessDenied,
                   fmt::sprintf("No Password for encrypted file %s", path()));
  record_count_ = GetU32(header_ + 4);
  header_length_ = GetU16(header_ + 8);
  record_length_ = GetU16(header_ + 10);
  // Lengths that cannot hold a descriptor terminator or a deletion flag would make every
  // offset below meaningless.
  if (header_length_ < kHeaderSize + 1 || record_length_ < 1)
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Table Header for %s is invalid", path()));
  std::vector<uint8_t> block(header_length_ - kHeaderSize - 1);
  if (got >= header_length_ - 1u)
    std::copy_n(start.begin() + kHeaderSize, block.size(), block.begin());
  else if (Read(block.data(), block.size(), kHeaderSize) != block.size())
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  ParseFields(block);
  record_.assign(record_length_ + 1, ' ');
  record_[record_length_] = 0x1A;
  before_.assign(record_length_, ' ');
  modified_.assign(fields_.size() + 1, 0);
}

void TDbfFile::ParseFields(const std::vector<uint8_t>& block) {
  fields_.clear();
  const size_t count = std::min<size_t>(block.size() / 32, kMaxDescriptors);
  uint32_t offset = 1;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* d = block.data() + 32 * i;
    if (d[0] == 0x0D) break;  // a header longer than its descriptors
    TDbfFieldDef f;
    const auto* name = reinterpret_cast<const char*>(d);
    f.name.assign(name, strnlen(name, 11));
    f.type = static_cast<char>(d[11]);
    f.length = d[16];
    f.decimals = d[17];
    if (f.type == 'C') {
      f.length += 256u * f.decimals;
      f.decimals = 0;
    }
    f.offset = offset;
    f.number = static_cast<uint32_t>(i + 1);
    offset += f.length;
    // A field reaching past the record would read and write beyond the record buffer.
    if (offset > record_length_)
      throw EXbError(XbErrorKind::kCorrupted,
                     fmt::sprintf("Table Header for %s is invalid", path()));
    fields_.push_back(std::move(f));
  }
}

void TDbfFile::Close() {
  if (!is_open()) return;
  std::exception_ptr failure;
  try {
    if (file_locked_) ReleaseLocks();  // writes the header through Unlock
    if (!shared() && read_write() && header_dirty_) WriteHeader(true);
  } catch (...) {
    failure = std::current_exception();
  }
  HeaderUnlock();
  if (memo_) memo_->Close();
  memo_.reset();
  file_locked_ = false;
  TDiskFile::Close();
  if (failure) std::rethrow_exception(failure);
}

void TDbfFile::Flush() {
  TDiskFile::Flush();
  if (memo_) memo_->Flush();
  FilesFlushed();
}

void TDbfFile::Rename(const std::string& new_name) {
  const std::string new_path = WithDefaultExtension(new_name, ".DBF");
  const std::string old_memo = ChangeFileExtension(path(), ".dbt");
  const bool memo_was_open = memo_ != nullptr;
  if (memo_) memo_->Close();
  memo_.reset();
  TDiskFile::Rename(new_path);
  // The memo file follows the table, whether or not it was in use.
  TMemoFile memo(old_memo, shared(), read_write(), io());
  if (memo.exists()) {
    memo.Open();
    memo.Rename(ChangeFileExtension(path(), ".dbt"));
    memo.Close();
  }
  if (memo_was_open) Memo();
}

bool TDbfFile::Unlock() {
  if (file_locked_ && lock_count() == 1) WriteHeader(true);
  const bool ok = TDiskFile::Unlock();
  if (lock_count() <= 0) file_locked_ = false;
  return ok;
}

void TDbfFile::RefreshHeader() {
  // While this open holds the file lock nobody else can append, and the header on disk
  // lags behind (it is written at the unlock): the own copy is the truth then.
  if (!shared() || !is_open() || file_locked_) return;
  uint8_t fresh[kHeaderSize];
  if (Read(fresh, kHeaderSize, 0) != kHeaderSize)
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  std::memcpy(header_ + 4, fresh + 4, 4);
  std::memcpy(header_ + 16, fresh + 16, 4);
  record_count_ = GetU32(header_ + 4);
}

void TDbfFile::ThrowRecordNumber(int64_t n) const {
  throw EXbError(XbErrorKind::kNotFound,
                 fmt::sprintf("Record number %d is not in table %s", n, path()));
}

bool TDbfFile::ReadRecord(int64_t n) {
  if (record_count_ == 0) RefreshHeader();
  if (record_count_ == 0) {
    bof_ = eof_ = true;
    return false;
  }
  switch (n) {
    case kRecSame:
      if (recno_ == 0) return false;
      n = recno_;
      break;
    case kRecLast:
      n = record_count_;
      break;
    case kRecFirst:
      n = 1;
      break;
    case kRecPrevious:
      if (recno_ <= 1) {
        bof_ = true;
        return false;
      }
      n = recno_ - 1;
      break;
    case kRecNext:
      n = int64_t{recno_} + 1;
      break;
    default:
      if (n <= 0) ThrowRecordNumber(n);
  }
  if (n > record_count_) {
    RefreshHeader();
    if (n > int64_t{record_count_} + 1) ThrowRecordNumber(n);
    if (n == int64_t{record_count_} + 1) {
      eof_ = true;
      return false;
    }
  }
  const auto rec = static_cast<uint32_t>(n);
  if (ReadRecordBytes(record_.data(), rec) != record_length_)
    throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
  recno_ = rec;
  bof_ = eof_ = false;
  std::fill(modified_.begin(), modified_.end(), 0);
  RecordRead();
  KeepBeforeImage(rec);
  return true;
}

size_t TDbfFile::ReadRecordBytes(char* buffer, uint32_t n) {
  if (!read_ahead_) return Read(buffer, record_length_, RecordOffset(n));
  return read_ahead_->ReadRecord(
      buffer, record_length_, RecordOffset(n),
      [this](void* to, size_t count, uint64_t offset) { return Read(to, count, offset); });
}

void TDbfFile::KeepBeforeImage(uint32_t n) {
  std::copy(record_.begin(), record_.begin() + record_length_, before_.begin());
  before_recno_ = n;
}

void TDbfFile::WriteRecord(uint32_t n) {
  if (n < 1 || n > record_count_) ThrowRecordNumber(n);
  if (before_recno_ != n) {
    if (ReadRecordBytes(before_.data(), n) != record_length_)
      throw EXbError(XbErrorKind::kCorrupted, fmt::sprintf("Error on Read of file %s", path()));
    before_recno_ = n;
  }
  bool written = false;
  try {
    BeforeRecordWrite(n);
    header_dirty_ = true;
    Write(record_.data(), record_length_, RecordOffset(n));
    if (read_ahead_) read_ahead_->Written(record_.data(), record_length_, RecordOffset(n));
    written = true;
    recno_ = n;
    TouchHeader();
    RecordWritten(n);
    if (auto_flush_) Flush();
  } catch (...) {
    RecordWriteFailed(written);
    throw;
  }
  KeepBeforeImage(n);
}

uint32_t TDbfFile::AppendRecord() {
  HeaderLock();
  try {
    header_dirty_ = true;
    RefreshHeader();
    BeforeAppend();
    record_[0] = ' ';
    const uint32_t old_count = record_count_;
    const uint32_t n = old_count + 1;
    // The record (with the end-of-file byte) goes first: the count in the header only ever
    // names records that are completely in the file.
    Write(record_.data(), record_length_ + 1, RecordOffset(n));
    if (read_ahead_) read_ahead_->Written(record_.data(), record_length_ + 1, RecordOffset(n));
    record_count_ = n;
    try {
      WriteHeader();
    } catch (...) {
      record_count_ = old_count;
      throw;
    }
    recno_ = n;
    RecordWritten(0);
    Flush();
    HeaderUnlock();
    bof_ = eof_ = false;
    KeepBeforeImage(n);
    return n;
  } catch (...) {
    HeaderUnlock();
    throw;
  }
}

void TDbfFile::WriteHeader(bool force) {
  if (!read_write() || !header_dirty_ || !is_open()) return;
  if (file_locked_ && !force) return;
  const Now now = LocalNow(io());
  uint8_t h[kHeaderSize];
  std::memcpy(h, header_, kHeaderSize);
  PutDate(h + 1, now.tm);
  PutU32(h + 4, record_count_);
  h[15] = 0;
  PutU32(h + 16, now.stamp);
  PutU32(h + 20, user_id_);
  h[28] &= 0x07;
  Write(h, kHeaderSize, 0);
  std::memcpy(header_, h, kHeaderSize);
  header_dirty_ = false;
}

void TDbfFile::TouchHeader() {
  if (!read_write() || !header_dirty_ || file_locked_ || !is_open()) return;
  const Now now = LocalNow(io());
  uint8_t stamp[8];
  PutU32(stamp, now.stamp);
  PutU32(stamp + 4, user_id_);
  Write(stamp, sizeof stamp, 16);
  std::memcpy(header_ + 16, stamp, sizeof stamp);
  uint8_t date[4] = {header_[0]};
  PutDate(date + 1, now.tm);
  if (std::memcmp(date + 1, header_ + 1, 3) != 0) {
    Write(date, sizeof date, 0);
    std::memcpy(header_, date, sizeof date);
  }
}

bool TDbfFile::LockRecord(uint32_t n) {
  // There is no record 0; under the Clipper protocol its byte would be the header lock.
  if (n == 0) return false;
  if (file_locked_) {
    IncLockCount();
    return true;
  }
  const TLockRange r =
      RecordLockRange(protocol_, n, header_length_, record_length_, IndexInFirstSlot());
  return LockRange(r.offset, r.length);
}

void TDbfFile::HeaderLock() {
  if (!shared() || file_locked_) return;
  OsLockRetried(HeaderLockRange(protocol_));
  header_locked_ = true;
}

void TDbfFile::HeaderUnlock() {
  if (!header_locked_) return;
  OsUnlock(HeaderLockRange(protocol_));
  header_locked_ = false;
}

bool TDbfFile::FileLock() {
  const TLockRange r = FileLockRange(protocol_);
  if (!LockRange(r.offset, r.length)) return false;
  if (!file_locked_) {
    try {
      RefreshHeader();
    } catch (...) {
      TDiskFile::Unlock();
      throw;
    }
  }
  file_locked_ = true;
  return true;
}

void TDbfFile::SetLockProtocol(TxLokProtocol protocol) {
  protocol_ = protocol;
  if (memo_) memo_->SetLockProtocol(protocol);
}

TMemoFile& TDbfFile::Memo() const {
  if (!memo_) {
    auto memo = std::make_unique<TMemoFile>(ChangeFileExtension(path(), ".dbt"), shared(),
                                            read_write(), io());
    memo->SetLockProtocol(protocol_);
    memo->Open();
    memo_ = std::move(memo);
  }
  return *memo_;
}

}  // namespace fidora
