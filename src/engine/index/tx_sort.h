// The in-memory sort of an index build: keys with their record numbers come out in the order
// of the sort key (key text without trailing blanks, then the record number most significant
// byte first, compared as bytes, a shorter sort key before a longer one that begins with it),
// ascending or descending; a unique sort keeps the first of each key text.
//
// Each entry is one fixed-width row in a single array (sort key padded with zero bytes, then
// its length), so the keys are held once and compactly, and the sort is a radix sort over the
// rows' bytes that moves through memory in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

class TxSort {
 public:
  // key_limit: the longest key + 1 (at most 240).
  TxSort(size_t key_limit, bool unique, bool ascending);

  // Room for count keys (an estimate: more may be added).
  void Reserve(size_t count);
  // Adds a key (trailing blanks are dropped). Raises EXbError after the first Next or for a
  // key beyond the limit.
  void Add(std::string_view key, uint32_t recno);
  // The next key in order; false when none is left.
  bool Next(std::string* key, uint32_t* recno);
  size_t Count() const { return count_; }

 private:
  void Sort();
  void SortRows(uint8_t* rows, size_t n, size_t depth);
  void InsertionSort(uint8_t* rows, size_t n, size_t depth);
  void SwapRows(uint8_t* a, uint8_t* b);

  size_t key_limit_;
  bool unique_, ascending_;
  size_t width_;  // sort key bytes (key + 4) and the length byte
  bool retrieving_ = false;
  std::vector<uint8_t> rows_;
  std::vector<uint8_t> spare_row_;
  size_t count_ = 0;
  size_t next_ = 0;
  std::string previous_;
  bool have_previous_ = false;
};

}  // namespace fidora
