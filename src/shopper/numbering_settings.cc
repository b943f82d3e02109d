#include "shopper/numbering_settings.h"

#include <charconv>

#include "engine/dbf/text_trim.h"
#include "engine/table/xb_dataset.h"

namespace fidora {

namespace {

constexpr char kSectionField[] = "SECTION";
constexpr char kValueField[] = "VALUE";

// Closes the dataset when the scope ends, whatever happened in it.
class TOpenTable {
 public:
  explicit TOpenTable(TXbDataSet& dataset) : dataset_(dataset) { dataset_.Open(); }
  ~TOpenTable() { dataset_.Close(); }
  TOpenTable(const TOpenTable&) = delete;
  TOpenTable& operator=(const TOpenTable&) = delete;

 private:
  TXbDataSet& dataset_;
};

bool FindRow(TXbDataSet& settings, const char* section) {
  return settings.Locate(kSectionField, {TFieldValue(section)});
}

std::optional<std::string> RowValue(TXbDataSet& settings, const char* section) {
  if (!FindRow(settings, section)) return std::nullopt;
  return settings.FieldByName(kValueField).AsString();
}

void StoreRow(TXbDataSet& settings, const char* section, const std::string& value) {
  if (FindRow(settings, section)) {
    settings.Edit();
  } else {
    settings.Append();
    settings.FieldByName(kSectionField).SetAsString(section);
  }
  try {
    settings.FieldByName(kValueField).SetAsString(value);
    settings.Post();
  } catch (...) {
    settings.Cancel();
    throw;
  }
}

}  // namespace

std::optional<int64_t> TNumberingRows::Start() const {
  if (!auto_gen_start) return std::nullopt;
  return SettingInteger(*auto_gen_start);
}

std::optional<int64_t> SettingInteger(std::string_view value) {
  value = TrimBoth(value);
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  int64_t number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size())
    return std::nullopt;
  return number;
}

TNumberingRows ReadNumberingRows(TXbDataSet& settings) {
  const TOpenTable open(settings);
  TNumberingRows rows;
  rows.auto_gen_number = RowValue(settings, kAutoGenNumberSection);
  rows.auto_gen_start = RowValue(settings, kAutoGenStartSection);
  return rows;
}

void WriteNumberingRows(TXbDataSet& settings, bool auto_assign, int64_t start) {
  const TOpenTable open(settings);
  StoreRow(settings, kAutoGenNumberSection, auto_assign ? "1" : "0");
  StoreRow(settings, kAutoGenStartSection, std::to_string(start));
}

}  // namespace fidora
