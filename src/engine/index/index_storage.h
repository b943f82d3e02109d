// The bytes of one index file, behind a small seam: the real file (a disk file with the lock
// protocol) in production, memory in unit tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/file_io.h"

namespace fidora {

class TFilePageCache;

class TIndexStorage {
 public:
  virtual ~TIndexStorage() = default;
  // File name for messages.
  virtual const std::string& Name() const = 0;
  // Reads up to count bytes at offset; returns the bytes read (short at the end of the file).
  virtual size_t Read(uint64_t offset, void* buffer, size_t count) = 0;
  virtual void Write(uint64_t offset, const void* buffer, size_t count) = 0;
  virtual uint64_t Size() = 0;
  virtual void Truncate(uint64_t length) = 0;
  virtual void Flush() = 0;
  // Shared files take byte-range locks; exclusive ones never need them.
  virtual bool Shared() const = 0;
  // One non-blocking attempt at a signal lock of the range, and its release (no nesting).
  virtual bool TryLock(uint64_t offset, uint64_t length) = 0;
  virtual void Unlock(uint64_t offset, uint64_t length) = 0;
  // Waits between two lock attempts.
  virtual void Pause(std::chrono::milliseconds interval) = 0;
  // Where pages of files on disk are kept across opens (nullptr: each open keeps its own),
  // and the file's identity, change times and size (false when it has none).
  virtual TFilePageCache* PageCache() { return nullptr; }
  virtual bool Stamp(FileStamp* stamp) {
    (void)stamp;
    return false;
  }
};

// An index file held in memory (tests, scratch builds). Never shared.
class TMemoryIndexStorage : public TIndexStorage {
 public:
  explicit TMemoryIndexStorage(std::string name = "memory.ntx") : name_(std::move(name)) {}
  const std::string& Name() const override { return name_; }
  size_t Read(uint64_t offset, void* buffer, size_t count) override;
  void Write(uint64_t offset, const void* buffer, size_t count) override;
  uint64_t Size() override { return bytes_.size(); }
  void Truncate(uint64_t length) override { bytes_.resize(length); }
  void Flush() override {}
  bool Shared() const override { return false; }
  bool TryLock(uint64_t, uint64_t) override { return true; }
  void Unlock(uint64_t, uint64_t) override {}
  void Pause(std::chrono::milliseconds) override {}  // never locked, so never waits

  std::vector<uint8_t>& bytes() { return bytes_; }
  // Number of pages written, whether one or several at a time (tests check that a build
  // writes each page once).
  size_t writes() const { return writes_; }

 private:
  std::string name_;
  std::vector<uint8_t> bytes_;
  size_t writes_ = 0;
};

}  // namespace fidora
