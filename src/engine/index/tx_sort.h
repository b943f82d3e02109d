// The in-memory sort of an index build: keys with their record numbers come out in the order
// of the sort key (key text without trailing blanks, then the record number most significant
// byte first), ascending or descending; a unique sort keeps the first of each key text.
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

  // Adds a key (trailing blanks are dropped). Raises EXbError after the first Next or for a
  // key beyond the limit.
  void Add(std::string_view key, uint32_t recno);
  // The next key in order; false when none is left.
  bool Next(std::string* key, uint32_t* recno);
  size_t Count() const { return recnos_.size(); }

 private:
  struct Item {
    uint64_t prefix;  // first 8 bytes of the sort key, most significant first
    uint32_t index;
  };
  std::string_view KeyAt(uint32_t index) const {
    return std::string_view(arena_).substr(offsets_[index], lengths_[index]);
  }
  int CompareSortKeys(uint32_t a, uint32_t b) const;
  uint64_t PrefixOf(std::string_view text, uint32_t recno) const;
  void Sort();

  size_t key_limit_;
  bool unique_, ascending_;
  bool retrieving_ = false;
  std::string arena_;
  std::vector<uint32_t> offsets_;
  std::vector<uint8_t> lengths_;
  std::vector<uint32_t> recnos_;
  std::vector<Item> order_;
  size_t next_ = 0;
  std::string previous_;
  bool have_previous_ = false;
};

}  // namespace fidora
