// TMemoFile: the DBT memo file of a table (Clipper dialect). The file is a sequence of
// 512-byte blocks; block 0 holds the next free block number (bytes 0-3) and the table's
// base name (from byte 8). A memo text fills whole blocks from its first one: the text,
// 0x1A 0x1A, then zeros. The record's memo field holds the first block number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/lock_protocol.h"

namespace fidora {

class TMemoFile : public TDiskFile {
 public:
  static constexpr uint32_t kBlockSize = 512;
  // The longest text that is read back.
  static constexpr uint32_t kMaxRead = 65519;

  TMemoFile(const std::string& path, bool shared, bool read_write, FileIo& io = SystemFileIo());

  // Creates (or replaces) the file: the header with next free block 1 and base_name,
  // followed by one 0x1A byte unless end_byte is false (the header alone, as a table copy
  // makes it); the file is then open.
  void CreateMemo(const std::string& base_name, bool end_byte = true);
  // Length of the text at block (bytes up to the first 0x1A, at most kMaxRead); 0 for 0.
  uint32_t MemoLength(uint32_t block);
  // Copies up to size bytes of the text at block into buffer; returns the count.
  size_t ReadMemo(uint32_t block, char* buffer, size_t size);
  std::string ReadMemo(uint32_t block);
  // Stores text for a field whose memo was at block (0: none) and returns the block to
  // put in the field (0 for empty text). A text that fits the old blocks stays there;
  // otherwise it goes to the end of the file. On a shared file the memo lock is held
  // throughout (retried 100 x 50 ms, "Can not Lock file %s").
  uint32_t WriteMemo(uint32_t block, std::string_view text);
  // Zap: next free block 1 and the file cut to the header. Needs full access.
  void Reset();
  // Renames the file and writes the first 8 characters of the new base name at byte 8.
  void Rename(const std::string& new_name) override;

  void SetLockProtocol(TxLokProtocol protocol) { protocol_ = protocol; }
  TxLokProtocol lock_protocol() const { return protocol_; }
  // Next free block as the header has it now.
  uint32_t NextFreeBlock();

 private:
  void WriteNextFree(uint32_t block);

  TxLokProtocol protocol_ = TxLokProtocol::Default;
};

}  // namespace fidora
