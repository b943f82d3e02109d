// TDbfBulkAppend: fills a table that no other program uses yet — a copy built beside a table
// under a temporary name — with many records. AppendRecord takes the header lock and flushes
// the files for every record, as a table in use needs; a table being built needs neither. The
// records go to the file in large writes after those the header counts, and Finish writes the
// new count (with the end-of-file mark) and flushes: until then the header counts none of the
// added records, so the file always opens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/file_io.h"

namespace fidora {

// A field's stored text as a raw copy puts it: left-aligned for C, D and L, right-aligned
// (leading blanks of the text dropped) for other types, cut or padded to the length.
std::string AlignedFieldText(char type, uint32_t length, std::string_view text);

class TDbfBulkAppend {
 public:
  // Opens the table exclusively, read-write ("Access denied to file %s" when another open
  // has it). The record starts blank (numbers 0). `io` must outlive this.
  TDbfBulkAppend(const std::string& path, FileIo& io);
  TDbfBulkAppend(const TDbfBulkAppend&) = delete;
  TDbfBulkAppend& operator=(const TDbfBulkAppend&) = delete;
  // Closes the table; records added since the last Finish are not counted.
  ~TDbfBulkAppend();

  // The record to fill before each Add.
  TDbfFields& Record() { return table_; }
  // Stores text in field n of the record, aligned as AlignedFieldText says.
  void SetAligned(int n, std::string_view text);
  // Appends the record as a live one and blanks it again.
  void Add();
  // Writes what is pending, the record count and the end-of-file mark, and flushes the table
  // to the disk. The table stays open for more.
  void Finish();
  uint32_t RecordCount() const { return counted_ + pending_; }

 private:
  void WritePending();

  TDbfFields table_;
  std::string batch_;
  uint32_t counted_ = 0;  // records the header counts
  uint32_t pending_ = 0;  // records added since
  uint64_t written_to_ = 0;
};

}  // namespace fidora
