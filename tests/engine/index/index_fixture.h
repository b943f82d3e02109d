// Helpers for index tests: an index file in memory over a model table, and the tree walk.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/ntx_check.h"
#include "engine/index/ntx_file.h"
#include "model_table.h"

namespace fidora::test {

struct MemoryIndex {
  TMemoryIndexStorage* storage = nullptr;  // owned by file
  std::unique_ptr<TNtxFile> file;
};

inline MemoryIndex CreateMemoryIndex(ModelTable& table, bool unique = false, bool ascending = true,
                                     const std::string& for_expr = "") {
  auto storage = std::make_unique<TMemoryIndexStorage>("test.ntx");
  MemoryIndex m;
  m.storage = storage.get();
  m.file =
      TNtxFile::Create(table, std::move(storage), "test.ntx", "KEY", for_expr, unique, ascending);
  return m;
}

// "KEY:recno" of every entry, walked straight from the file's pages.
inline std::vector<std::string> WalkedKeys(TIndexStorage& storage) {
  NtxWalk walk = WalkNtx(storage);
  std::vector<std::string> out;
  for (const auto& problem : walk.problems) out.push_back("PROBLEM " + problem);
  for (const auto& e : walk.entries) out.push_back(e.key + ":" + std::to_string(e.recno));
  return out;
}

// The same entries reached by walking the order with ReadKey.
inline std::vector<std::string> NavigatedKeys(TNtxTag& tag, bool backwards = false) {
  std::vector<std::string> out;
  for (uint32_t r = tag.ReadKey(backwards ? TxReadMode::kLast : TxReadMode::kFirst); r != 0;
       r = tag.ReadKey(backwards ? TxReadMode::kPrevious : TxReadMode::kNext))
    out.push_back(tag.CurrentKey() + ":" + std::to_string(r));
  return out;
}

struct PageView {
  NtxPage page;
  explicit PageView(TMemoryIndexStorage& s, uint32_t offset, uint16_t key_size) {
    const uint16_t max = NtxMaxItems(key_size);
    if (!NtxPage::Decode(s.bytes().data() + offset, key_size, max, &page))
      throw std::runtime_error("bad page");
  }
};

}  // namespace fidora::test

namespace fidora::test {

// Two handles on the same bytes, as two programs sharing one file (locks always granted).
class SharedMemoryStorage : public TIndexStorage {
 public:
  explicit SharedMemoryStorage(std::shared_ptr<std::vector<uint8_t>> bytes)
      : bytes_(std::move(bytes)) {}
  const std::string& Name() const override { return name_; }
  size_t Read(uint64_t offset, void* buffer, size_t count) override {
    if (offset >= bytes_->size()) return 0;
    const size_t n = std::min<uint64_t>(count, bytes_->size() - offset);
    std::memcpy(buffer, bytes_->data() + offset, n);
    return n;
  }
  void Write(uint64_t offset, const void* buffer, size_t count) override {
    if (bytes_->size() < offset + count) bytes_->resize(offset + count, 0);
    std::memcpy(bytes_->data() + offset, buffer, count);
  }
  uint64_t Size() override { return bytes_->size(); }
  void Truncate(uint64_t length) override { bytes_->resize(length); }
  void Flush() override {}
  bool Shared() const override { return true; }
  bool TryLock(uint64_t, uint64_t) override { return true; }
  void Unlock(uint64_t, uint64_t) override {}
  void Pause(std::chrono::milliseconds) override {}

 private:
  std::string name_ = "shared.ntx";
  std::shared_ptr<std::vector<uint8_t>> bytes_;
};

}  // namespace fidora::test
