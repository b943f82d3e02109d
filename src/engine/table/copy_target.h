// TCopyTarget: the table file a copy (and so a pack) writes, with its memo file. It starts as
// the source table's header and descriptors; records go in in batches; Finish writes the end
// byte and the header with the record count, and flushes both files. A copy that is not
// finished removes both files when it goes, so a failed copy leaves no half table behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/file_io.h"
#include "engine/dbf/memo_file.h"

namespace fidora {

class TCopyTarget {
 public:
  // Creates path (replacing a file no other open holds) through io, and beside it a fresh
  // memo file when with_memo. header: the source's header and descriptors.
  TCopyTarget(FileIo& io, const std::string& path, std::vector<uint8_t> header, bool with_memo);
  ~TCopyTarget();
  TCopyTarget(const TCopyTarget&) = delete;
  TCopyTarget& operator=(const TCopyTarget&) = delete;

  // The copy's memo file, nullptr without memo fields.
  TMemoFile* memo() { return memo_.get(); }
  // Adds one record (record length bytes, deletion flag first).
  void Add(const std::vector<char>& record);
  void Finish();

 private:
  static constexpr size_t kBatchBytes = 32768;
  void WriteBatch();
  void Remove();

  FileIo& io_;
  TDiskFile out_;
  std::string memo_path_;
  std::unique_ptr<TMemoFile> memo_;
  std::vector<uint8_t> header_;
  std::vector<char> batch_;
  uint64_t offset_ = 0;
  uint32_t count_ = 0;
  bool finished_ = false;
};

}  // namespace fidora
