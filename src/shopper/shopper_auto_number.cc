// Automatic shopper numbers: the first number at or above the settings' start that no shopper
// holds in the order TRAKNUM.
//
// Seeking number after number costs a few system calls per number (the index lock, the
// pages, the record), so a shop whose numbers are taken from the start on in one long run
// would wait seconds for each new shopper. After a few seeks, one pass over the shopper table
// in physical order (read in large blocks, no index open) finds the numbers that are taken;
// the first number the pass leaves free is then confirmed by its seek, as every number the
// seeks alone try.
#include <cstdint>
#include <vector>

#include "engine/table/xb_dataset.h"
#include "shopper/numbering_settings.h"
#include "shopper/shopper_module.h"
#include "tables/dataset_binding.h"

namespace fidora {

namespace {

constexpr int64_t kLastNumber = 999999;
constexpr int kSeeksBeforePass = 256;

// The number a stored ACCOUNTNUM is in decimal without leading zeros or blanks ("1002"), or
// -1 when it is anything else: only such a value has the key that the seek of a number finds.
int64_t PlainNumber(std::string_view stored) {
  while (!stored.empty() && stored.back() == ' ') stored.remove_suffix(1);
  if (stored.empty() || stored.size() > 6 || (stored.size() > 1 && stored.front() == '0'))
    return -1;
  int64_t number = 0;
  for (const char c : stored) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

// Which numbers from `first` to kLastNumber the visible shoppers of the table of `shoppers`
// hold. The table is read through a dataset of its own, in physical order and without index
// files, so that no record costs an index lock.
std::vector<bool> TakenNumbers(const TXbDataSet& shoppers, int64_t first) {
  std::vector<bool> taken(static_cast<size_t>(kLastNumber - first + 1));
  TXbDataSet table;
  ApplyModuleSettings(table);
  table.SetDatabaseName(shoppers.DatabaseName());
  table.SetTableName(shoppers.TableName());
  table.SetReadOnly(true);
  table.Open();
  table.SetIndexName("");  // physical order chosen by name reads ahead in large blocks
  for (table.First(); !table.Eof(); table.Next()) {
    const int64_t number = PlainNumber(table.RawFieldText("ACCOUNTNUM"));
    if (number >= first) taken[static_cast<size_t>(number - first)] = true;
  }
  table.Close();
  return taken;
}

}  // namespace

std::optional<std::string> TSDM::NextAutoNumber() {
  const TNumberingRows settings = ReadNumberingRows(tMorvex);
  if (!settings.AutoAssignAllowed()) return std::nullopt;
  const auto free = [&](int64_t n) {
    return !tTracker.Find(ShopperKey(std::to_string(n)), true, false);
  };
  // A negative start counts as 1, like one that is not a number: no card carries a minus
  // sign, and a start of minus two billion would otherwise hold the server for hours.
  int64_t n = settings.Start().value_or(1);
  if (n < 0) n = 1;
  for (int seeks = 0; n <= kLastNumber && seeks < kSeeksBeforePass; ++n, ++seeks)
    if (free(n)) return std::to_string(n);
  if (n > kLastNumber) return std::nullopt;
  const std::vector<bool> taken = TakenNumbers(tTracker, n);
  for (const int64_t first = n; n <= kLastNumber; ++n)
    if (!taken[static_cast<size_t>(n - first)] && free(n)) return std::to_string(n);
  return std::nullopt;
}

}  // namespace fidora
