// The set of record numbers a filter admits: a bitmap in pages of 16 384 bytes (131 072
// records each), added as needed.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace fidora {

class TFilterSet {
 public:
  static constexpr uint32_t kPageBytes = 16384;
  static constexpr uint32_t kPageRecords = kPageBytes * 8;

  void Include(uint32_t n);
  void Exclude(uint32_t n);
  // False for numbers above the highest ever included.
  bool Test(uint32_t n) const;
  // The highest number ever included; it does not go down when a number is excluded.
  uint32_t Highest() const { return highest_; }
  void Clear();

 private:
  std::vector<std::unique_ptr<uint8_t[]>> pages_;
  uint32_t highest_ = 0;
};

}  // namespace fidora
