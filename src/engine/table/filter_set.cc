#include "engine/table/filter_set.h"

#include <cstring>

namespace fidora {

void TFilterSet::Include(uint32_t n) {
  const size_t page = n / kPageRecords;
  if (pages_.size() <= page) pages_.resize(page + 1);
  if (!pages_[page]) {
    pages_[page] = std::make_unique<uint8_t[]>(kPageBytes);
    std::memset(pages_[page].get(), 0, kPageBytes);
  }
  const uint32_t bit = n % kPageRecords;
  pages_[page][bit / 8] = static_cast<uint8_t>(pages_[page][bit / 8] | (1u << (bit % 8)));
  if (n > highest_) highest_ = n;
}

void TFilterSet::Exclude(uint32_t n) {
  const size_t page = n / kPageRecords;
  if (page >= pages_.size() || !pages_[page]) return;
  const uint32_t bit = n % kPageRecords;
  pages_[page][bit / 8] = static_cast<uint8_t>(pages_[page][bit / 8] & ~(1u << (bit % 8)));
}

bool TFilterSet::Test(uint32_t n) const {
  if (n > highest_) return false;
  const size_t page = n / kPageRecords;
  if (page >= pages_.size() || !pages_[page]) return false;
  const uint32_t bit = n % kPageRecords;
  return (pages_[page][bit / 8] >> (bit % 8)) & 1;
}

void TFilterSet::Clear() {
  pages_.clear();
  highest_ = 0;
}

}  // namespace fidora
