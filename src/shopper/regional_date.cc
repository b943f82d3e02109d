#include "shopper/regional_date.h"

#include <clocale>
#include <ctime>
#include <string_view>

#include "engine/dbf/dbf_date.h"

namespace fidora {

namespace {

bool WithoutRegionalFormat(std::string_view locale) {
  return locale == "C" || locale == "POSIX" || locale.starts_with("C.");
}

}  // namespace

std::string RegionalDateText(int64_t day_number) {
  if (day_number <= 0) return {};
  const char* locale = std::setlocale(LC_TIME, nullptr);
  if (!locale || WithoutRegionalFormat(locale))
    return TxDBFDate::Instance().DayToDisplay(day_number);
  std::tm date{};
  TxDBFDate::DecodeDay(day_number, &date.tm_year, &date.tm_mon, &date.tm_mday);
  date.tm_year -= 1900;
  date.tm_mon -= 1;
  char text[64];
  const size_t length = std::strftime(text, sizeof text, "%x", &date);
  return std::string(text, length);
}

}  // namespace fidora
