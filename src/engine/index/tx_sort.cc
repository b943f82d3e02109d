#include "engine/index/tx_sort.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "engine/dbf/xb_error.h"

namespace fidora {

TxSort::TxSort(size_t key_limit, bool unique, bool ascending)
    : key_limit_(key_limit), unique_(unique), ascending_(ascending) {
  if (key_limit_ < 1 || key_limit_ > 240)
    throw EXbError(fmt::format("Sort key length must be 1-{} bytes, is {}", 240, key_limit_));
}

void TxSort::Add(std::string_view key, uint32_t recno) {
  if (retrieving_) throw EXbError("Cannot add sort keys after beginning retrieval");
  while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
  if (key.size() + 1 > key_limit_)
    throw EXbError(
        fmt::format("Sort key length must be 1-{} bytes, is {}", key_limit_, key.size() + 1));
  offsets_.push_back(static_cast<uint32_t>(arena_.size()));
  lengths_.push_back(static_cast<uint8_t>(key.size()));
  recnos_.push_back(recno);
  arena_.append(key);
}

uint64_t TxSort::PrefixOf(std::string_view text, uint32_t recno) const {
  uint8_t bytes[8] = {0};
  size_t n = 0;
  for (; n < 8 && n < text.size(); ++n) bytes[n] = static_cast<uint8_t>(text[n]);
  for (int shift = 24; n < 8 && shift >= 0; shift -= 8)
    bytes[n++] = static_cast<uint8_t>(recno >> shift);
  uint64_t v = 0;
  for (uint8_t b : bytes) v = (v << 8) | b;
  return v;
}

// Compares the sort keys text + record number (4 bytes, most significant first) as bytes.
int TxSort::CompareSortKeys(uint32_t a, uint32_t b) const {
  const std::string_view ka = KeyAt(a), kb = KeyAt(b);
  const size_t common = std::min(ka.size(), kb.size());
  if (const int c = std::memcmp(ka.data(), kb.data(), common); c != 0) return c < 0 ? -1 : 1;
  auto byte_at = [this](std::string_view k, uint32_t index, size_t i) -> unsigned {
    if (i < k.size()) return static_cast<unsigned char>(k[i]);
    return (recnos_[index] >> (8 * (3 - (i - k.size())))) & 0xFF;
  };
  const size_t la = ka.size() + 4, lb = kb.size() + 4;
  for (size_t i = common; i < std::min(la, lb); ++i) {
    const unsigned x = byte_at(ka, a, i), y = byte_at(kb, b, i);
    if (x != y) return x < y ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

void TxSort::Sort() {
  order_.resize(recnos_.size());
  for (uint32_t i = 0; i < order_.size(); ++i) order_[i] = {PrefixOf(KeyAt(i), recnos_[i]), i};
  auto less = [this](const Item& x, const Item& y) {
    if (x.prefix != y.prefix) return x.prefix < y.prefix;
    return CompareSortKeys(x.index, y.index) < 0;
  };
  if (ascending_)
    std::sort(order_.begin(), order_.end(), less);
  else
    std::sort(order_.begin(), order_.end(),
              [&](const Item& x, const Item& y) { return less(y, x); });
}

bool TxSort::Next(std::string* key, uint32_t* recno) {
  if (!retrieving_) {
    retrieving_ = true;
    Sort();
  }
  while (next_ < order_.size()) {
    const uint32_t index = order_[next_++].index;
    const std::string_view text = KeyAt(index);
    if (unique_) {
      if (have_previous_ && text == previous_) continue;
      previous_.assign(text);
      have_previous_ = true;
    }
    key->assign(text);
    *recno = recnos_[index];
    return true;
  }
  return false;
}

}  // namespace fidora
