// TDbfFile: one open DBF table at the file level — the 32-byte header, the field
// descriptors, raw records, appends under the header lock, and the table's lock operations.
// The field level (typed access to the record buffer) is TDbfFields; navigation in index
// order is the table handler above, which hears of reads, writes and flushes through the
// protected hooks.
//
// File layout: header (32 bytes), one 32-byte descriptor per field, 0x0D, the records
// (record_length bytes each, byte 0 the deletion flag " " or "*"), then 0x1A.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/lock_protocol.h"
#include "engine/dbf/record_read_ahead.h"

namespace fidora {

class TMemoFile;

// One field descriptor as read from the file.
struct TDbfFieldDef {
  std::string name;       // as stored (upper case), without the NUL padding
  char type = 'C';        // type letter
  uint32_t length = 0;    // bytes in the record; for C the low and high byte together
  uint32_t decimals = 0;  // 0 for C
  uint32_t offset = 0;    // position in the record (1 for the first field)
  uint32_t number = 0;    // 1 for the first field
};

// Relative record positions for ReadRecord, in physical order.
inline constexpr int64_t kRecSame = -5;
inline constexpr int64_t kRecLast = -4;
inline constexpr int64_t kRecFirst = -3;
inline constexpr int64_t kRecPrevious = -2;
inline constexpr int64_t kRecNext = -1;

class TDbfFile : public TDiskFile {
 public:
  static constexpr size_t kHeaderSize = 32;

  // A closed table; ".DBF" is added when the name has no extension. Its memo file uses io too.
  TDbfFile(const std::string& path, bool shared, bool read_write, FileIo& io = SystemFileIo());
  ~TDbfFile() override;

  // Opens and checks the header ("File %s could not be found", "Error on Read of file %s",
  // "Table Header for %s is invalid", "No Password for encrypted file %s"), reads the
  // descriptors, sets the Default lock protocol; positioned on no record.
  void Open() override;
  // An exclusive read-write table writes its header first; the memo file closes too.
  void Close() override;
  // Flushes the table, then its memo file, then tells the handler (FilesFlushed).
  void Flush() override;
  // Renames the table and its memo file (".DBF" added when the name has no extension).
  void Rename(const std::string& new_name) override;
  // The unlock the dataset calls: when the file lock ends, the full header is written first.
  bool Unlock() override;

  // Shared tables only: re-reads the record count and the change stamp from the file
  // (not while this open holds the file lock: its own count is ahead of the file then).
  void RefreshHeader();
  // Reads record n into the record buffer, or a position kRec*. Returns false when nothing
  // was read (empty table; previous of record 1: read_before_first(); count + 1:
  // read_past_last()); raises
  // "Record number %d is not in table %s" for other numbers out of range.
  bool ReadRecord(int64_t n);
  // Writes the record buffer as record n (1..record count).
  void WriteRecord(uint32_t n);
  // Appends the record buffer as a new live record under the header lock and returns its
  // number; the header (count, date, stamp) is written and the files are flushed. The
  // record count is re-read under the lock, so records other programs appended are kept;
  // when the record cannot be written the header is left as it was.
  uint32_t AppendRecord();
  // Writes the full header when read-write and dirty, unless the file lock is held
  // (then it waits for the unlock) and force is false.
  void WriteHeader(bool force = false);
  // After a record write: fresh change stamp and user id (and the date, when it changed).
  void TouchHeader();
  // Deletion flag of the record buffer is not blank.
  bool IsDeleted() const { return record_[0] != ' '; }

  // Record lock of record n (one attempt; nests while the file lock is held); false for 0.
  bool LockRecord(uint32_t n);
  bool LockCurrentRecord() { return LockRecord(recno_); }
  // Header lock around appends: retried 100 x 50 ms, "Can not Lock file %s".
  void HeaderLock();
  void HeaderUnlock();
  // Lock of the whole table through the nesting count; re-reads the header on success.
  bool FileLock();
  virtual void SetLockProtocol(TxLokProtocol protocol);
  TxLokProtocol lock_protocol() const { return protocol_; }

  // The memo file beside the table (".dbt"), opened on first use with the table's settings
  // (reading a memo through a const table opens it too).
  TMemoFile& Memo() const;

  uint8_t version() const { return header_[0]; }
  const uint8_t* header_bytes() const { return header_; }
  uint32_t record_count() const { return record_count_; }
  uint32_t header_length() const { return header_length_; }
  uint32_t record_length() const { return record_length_; }
  uint32_t change_stamp() const;
  // Last update date from header bytes 1-3 (year counted from 1900 when below 80).
  int64_t last_update() const;
  const std::vector<TDbfFieldDef>& field_defs() const { return fields_; }
  static bool IsMemoType(char type) { return type == 'M' || type == 'B' || type == 'G'; }
  // Base name of the table file ("TRACKER"), as error texts name it.
  std::string table_name() const;

  uint32_t recno() const { return recno_; }
  // Whether the last ReadRecord asked for the record before the first or after the last (the
  // physical file, unlike the handler's Bof/Eof, which follow its order and filter).
  bool read_before_first() const { return bof_; }
  bool read_past_last() const { return eof_; }
  // record_length() bytes, then 0x1A.
  char* record_buffer() { return record_.data(); }
  const char* record_buffer() const { return record_.data(); }
  const char* before_image() const { return before_.data(); }
  uint32_t before_recno() const { return before_recno_; }
  // Modified flag of field n (0: the deletion flag).
  bool modified(size_t n) const { return n < modified_.size() && modified_[n]; }
  void set_modified(size_t n) {
    if (n < modified_.size()) modified_[n] = 1;
  }
  bool file_locked() const { return file_locked_; }

  uint32_t user_id() const { return user_id_; }
  void set_user_id(uint32_t id) { user_id_ = id; }
  void set_auto_flush(bool on) { auto_flush_ = on; }

 protected:
  // Handler hooks.
  virtual void RecordRead() {}
  // recno is 0 for a new record.
  virtual void RecordWritten(uint32_t recno) { (void)recno; }
  virtual void FilesFlushed() {}
  // Before record n is written over (its before-image is loaded), and when that write then
  // failed (record_written: after the record itself went out).
  virtual void BeforeRecordWrite(uint32_t n) { (void)n; }
  virtual void RecordWriteFailed(bool record_written) { (void)record_written; }
  // During an append, under the header lock, with the record count just re-read, before the
  // new record (which the record buffer holds) is written.
  virtual void BeforeAppend() {}
  // True while an index file is open in the handler's first slot (Default record locks).
  virtual bool IndexInFirstSlot() const { return false; }

  uint64_t RecordOffset(uint32_t n) const {
    return header_length_ + uint64_t{n - 1} * record_length_;
  }
  // Record reads go through read_ahead from now on (nullptr: straight to the file); the
  // caller keeps it alive while it is in use.
  void UseReadAhead(TRecordReadAhead* read_ahead) { read_ahead_ = read_ahead; }
  // Reads record n's bytes (record_length()) into buffer; returns how many were read.
  size_t ReadRecordBytes(char* buffer, uint32_t n);

 private:
  void ReadHeaderAndFields();
  void ParseFields(const std::vector<uint8_t>& block);
  [[noreturn]] void ThrowRecordNumber(int64_t n) const;
  void KeepBeforeImage(uint32_t n);

  uint8_t header_[kHeaderSize] = {};
  uint32_t record_count_ = 0;
  uint32_t header_length_ = 0;
  uint32_t record_length_ = 0;
  std::vector<TDbfFieldDef> fields_;
  std::vector<char> record_;
  std::vector<char> before_;
  uint32_t before_recno_ = 0;
  std::vector<uint8_t> modified_;
  uint32_t recno_ = 0;
  bool bof_ = false;
  bool eof_ = false;
  bool header_dirty_ = false;
  bool file_locked_ = false;
  bool header_locked_ = false;
  TxLokProtocol protocol_ = TxLokProtocol::Default;
  uint32_t user_id_ = 0;
  bool auto_flush_ = false;
  TRecordReadAhead* read_ahead_ = nullptr;
  mutable std::unique_ptr<TMemoFile> memo_;
};

}  // namespace fidora
